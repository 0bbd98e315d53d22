// list: every chip the USB backend lists, and whether it can be a turntable.
#include "ChipAvailability.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "NextSteps.h"

#include <LxKalveraTurntableControl.h>

#include <QJsonObject>

int runList(const ToolOptions&, EventOutput& output) {
    const LxKalveraTurntableControl control;
    const std::vector<LxTurntableChip> chips = control.attachedChips();
    if (chips.empty() && !control.lastError().isEmpty()) {
        return output.error(QStringLiteral("no-backend"), control.lastError(), NoTurntable);
    }
    bool turntable = false;
    bool openable = false;
    QString nextSteps;
    for (const LxTurntableChip& chip : chips) {
        const QString description = QString::fromStdString(chip.description);
        const QString serial = QString::fromStdString(chip.serialNumber);
        output.event(
            QStringLiteral("chip"),
            {{QStringLiteral("index"), chip.listIndex},
             {QStringLiteral("description"), description},
             {QStringLiteral("serial"), serial},
             {QStringLiteral("turntable"), chip.isTurntableChip},
             {QStringLiteral("availability"), availabilityWord(chip.availability)}},
            QStringLiteral("%1  %2  %3  %4: %5")
                .arg(chip.listIndex)
                .arg(description.isEmpty() ? QStringLiteral("(no description)") : description,
                     serial.isEmpty() ? QStringLiteral("(no serial)") : serial,
                     chip.isTurntableChip ? QStringLiteral("turntable chip")
                                          : QStringLiteral("not a turntable chip"),
                     availabilityPhrase(chip.availability)));
        if (chip.isTurntableChip) {
            turntable = true;
            openable = openable || chip.availability == LxTurntableChip::Availability::Free;
            const QString step = availabilityNextStep(chip.availability);
            if (!nextSteps.contains(step)) {
                nextSteps += step;
            }
        }
    }
    if (!turntable) {
        const int status =
            output.error(QStringLiteral("no-turntable"),
                         QStringLiteral("No turntable chip is attached."), NoTurntable);
        output.note(QString::fromStdString(nextStepsWithoutTurntable(false)));
        return status;
    }
    const int status =
        openable ? Success
                 : output.error(QStringLiteral("cannot-open"),
                                QStringLiteral("No turntable chip can be opened."), CannotOpen);
    if (!nextSteps.isEmpty()) {
        output.note(QStringLiteral("\nFor the turntable chips that cannot be opened:\n") +
                    nextSteps);
    }
    return status;
}
