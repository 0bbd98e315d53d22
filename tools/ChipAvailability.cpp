#include "ChipAvailability.h"

#include "NextSteps.h"

using Availability = LxTurntableChip::Availability;

QString availabilityWord(Availability availability) {
    switch (availability) {
    case Availability::Free:
        return QStringLiteral("free");
    case Availability::OpenElsewhere:
        return QStringLiteral("open-elsewhere");
    case Availability::NotPermitted:
        return QStringLiteral("not-permitted");
    }
    return {};
}

QString availabilityPhrase(Availability availability) {
    switch (availability) {
    case Availability::Free:
        return QStringLiteral("can be opened");
    case Availability::OpenElsewhere:
        return QStringLiteral("held by another program");
    case Availability::NotPermitted:
        return QStringLiteral("this user may not open it");
    }
    return {};
}

QString availabilityNextStep(Availability availability) {
    switch (availability) {
    case Availability::Free:
        return {};
    case Availability::OpenElsewhere:
        return QStringLiteral("- close the other program that uses the turntable (a host "
                              "application, the console program, another kalvera-turntable)\n");
    case Availability::NotPermitted:
        return QString::fromStdString(nextStepsWithoutTurntable(true));
    }
    return {};
}
