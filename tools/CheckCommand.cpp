// check: the hardware from the backend to the chip's clock, a line each, safe
// with a product on the table.
#include "ChipAvailability.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "NextSteps.h"
#include "TerminationSignals.h"
#include "TurntableModels.h"
#include "TurntableSession.h"

#include <LxD2xxBackend.h>

#include <QJsonObject>

#include <algorithm>

namespace {

// The short move of --turn: a tenth of a turn at most, one count at least.
constexpr unsigned int kTurnFraction = 36;

// The lines of the check, each ok or a problem with the next thing to try.
class CheckReport {
public:
    explicit CheckReport(EventOutput& output)
        : output(output) {}

    void ok(const QString& item, const QString& text) { line(item, true, text, {}); }
    void problem(const QString& item, const QString& text, const QString& next) {
        line(item, false, text, next);
        allWell = false;
    }
    bool isAllWell() const { return allWell; }

private:
    void line(const QString& item, bool isOk, const QString& text, const QString& next) {
        QJsonObject fields{{QStringLiteral("item"), item},
                           {QStringLiteral("ok"), isOk},
                           {QStringLiteral("text"), text}};
        if (!next.isEmpty()) {
            fields.insert(QStringLiteral("next"), next.trimmed());
        }
        QString shown = QStringLiteral("%1 %2 %3")
                            .arg(isOk ? QStringLiteral("ok     ") : QStringLiteral("PROBLEM"))
                            .arg(item, -10)
                            .arg(text);
        if (!next.isEmpty()) {
            shown += QStringLiteral("\n        next: ") +
                     next.trimmed().replace(QLatin1Char('\n'), QStringLiteral("\n              "));
        }
        output.event(QStringLiteral("check"), fields, shown);
    }

    EventOutput& output;
    bool allWell = true;
};

bool checkBackend(CheckReport& report) {
    const QString name = QString::fromStdString(LxD2xxBackend::chosen());
    std::string failure;
    if (!LxD2xxBackend::load(&failure)) {
        report.problem(QStringLiteral("backend"),
                       QStringLiteral("%1: %2").arg(name, QString::fromStdString(failure)),
                       QStringLiteral("install the package libkalveraturntablesdk-backends, or "
                                      "choose another backend with --backend"));
        return false;
    }
    report.ok(
        QStringLiteral("backend"),
        QStringLiteral("%1 (%2), its library loaded")
            .arg(name, QString::fromStdString(LxD2xxBackend::description(name.toStdString()))));
    return true;
}

// The chips found; the status to end with when none can be a turntable.
std::optional<int> checkChips(CheckReport& report, const LxKalveraTurntableControl& control) {
    bool turntable = false;
    bool openable = false;
    for (const LxTurntableChip& chip : control.attachedChips()) {
        if (!chip.isTurntableChip) {
            continue;
        }
        turntable = true;
        const QString name =
            chip.description.empty()
                ? QStringLiteral("(no description)")
                : QString::fromStdString(chip.description + ' ' + chip.serialNumber).trimmed();
        const QString text = name + QStringLiteral(": ") + availabilityPhrase(chip.availability);
        if (chip.availability == LxTurntableChip::Availability::Free) {
            openable = true;
            report.ok(QStringLiteral("chip"), text);
        } else {
            report.problem(QStringLiteral("chip"), text, availabilityNextStep(chip.availability));
        }
    }
    if (!turntable) {
        report.problem(QStringLiteral("chip"), QStringLiteral("no turntable chip is attached"),
                       QString::fromStdString(nextStepsWithoutTurntable(false)));
        return NoTurntable;
    }
    return openable ? std::nullopt : std::optional<int>(CannotOpen);
}

void checkSetUp(CheckReport& report, const LxKalveraTurntableControl& control) {
    for (const LxChipSetUpStep& step : control.chipSetUpSteps()) {
        const QString call = QString::fromStdString(step.call);
        if (step.status == 0) {
            report.ok(QStringLiteral("set-up"), call);
        } else {
            // FT_Open cannot tell another program's claim from this user's
            // permission; a later call is the chip or its cable.
            const QString next =
                step.call == "FT_Open"
                    ? availabilityNextStep(LxTurntableChip::Availability::OpenElsewhere) +
                          availabilityNextStep(LxTurntableChip::Availability::NotPermitted)
                    : QStringLiteral("unplug the turntable's USB cable and plug it in again; "
                                     "try another USB port or cable");
            report.problem(QStringLiteral("set-up"),
                           QStringLiteral("%1 failed with status %2 (%3)")
                               .arg(call)
                               .arg(step.status)
                               .arg(step.statusText),
                           next);
        }
    }
}

void checkByteClock(CheckReport& report, const LxKalveraTurntableControl& control, int model) {
    if (model == kStandardModel) {
        report.ok(QStringLiteral("clock"),
                  QStringLiteral("the DC table's moves need no step trains"));
        return;
    }
    const int factor = control.chipByteClockFactor();
    if (factor > 0) {
        report.ok(QStringLiteral("clock"),
                  QStringLiteral("the chip clocks %1 bit-bang bytes per baud period; stepper "
                                 "moves are %2")
                      .arg(factor)
                      .arg(control.isChipClockedStepTrains()
                               ? QStringLiteral("chip-clocked step trains")
                               : QStringLiteral("per-edge writes, as asked")));
        return;
    }
    report.problem(QStringLiteral("clock"),
                   QStringLiteral("the chip's bit-bang clock is unknown (%1): stepper moves are "
                                  "per-edge writes, each step some 2 ms slower")
                       .arg(control.chipByteClockProblem()),
                   QStringLiteral("when the USB was busy, check again with no other device "
                                  "busy on it; otherwise docs/chip-clocked-step-trains.md tells "
                                  "how to look at the steps with a logic analyser"));
}

// `chosen`: the user named the model. Custom, checked only because no model
// was named, is no fault of the hardware when it has no counts.
void checkSettings(CheckReport& report, const LxKalveraTurntableControl& control,
                   const QString& model, bool dcTable, bool chosen) {
    const unsigned int counts = control.countsPerRevolution();
    if (counts == 0 && !chosen) {
        report.ok(QStringLiteral("settings"),
                  QStringLiteral("%1: no counts per revolution given; --counts-per-revolution N "
                                 "checks them")
                      .arg(model));
        return;
    }
    if (counts == 0) {
        report.problem(QStringLiteral("settings"),
                       QStringLiteral("%1 has no counts per revolution").arg(model),
                       QStringLiteral("give them with --counts-per-revolution N"));
        return;
    }
    // The DC table's driver has neither a step time nor motor lines.
    if (dcTable) {
        report.ok(QStringLiteral("settings"),
                  QStringLiteral("%1: %2 counts of its position counter per revolution")
                      .arg(model)
                      .arg(counts));
        return;
    }
    report.ok(
        QStringLiteral("settings"),
        QStringLiteral("%1: %2 counts per revolution, step time %3 ms, motor enabled on a "
                       "%4 line, clockwise on a %5 direction line, %6 when idle")
            .arg(model)
            .arg(counts)
            .arg(control.rotationSpeed())
            .arg(control.isMotorEnableActiveHigh() ? QStringLiteral("high") : QStringLiteral("low"),
                 control.isClockwiseActiveHigh() ? QStringLiteral("high") : QStringLiteral("low"),
                 control.isLockMotorWhenIdle() ? QStringLiteral("held") : QStringLiteral("free")));
}

void checkTurn(CheckReport& report, TurntableSession& session,
               const TerminationSignals& termination) {
    LxKalveraTurntableControl& control = session.control();
    if (control.countsPerRevolution() == 0) {
        report.problem(
            QStringLiteral("turn"),
            QStringLiteral("%1 has no counts per revolution to turn by").arg(session.modelName()),
            QStringLiteral("give them with --counts-per-revolution N"));
        return;
    }
    const int counts =
        static_cast<int>(std::max(1u, control.countsPerRevolution() / kTurnFraction));
    for (const bool clockwise : {true, false}) {
        if (clockwise) {
            control.SetRotationClockwise();
        } else {
            control.SetRotationCounterClockwise();
        }
        control.SetRotationIncrementInCounts(counts);
        const QString way =
            clockwise ? QStringLiteral("clockwise") : QStringLiteral("counterclockwise");
        if (!control.startRotation()) {
            report.problem(
                QStringLiteral("turn"),
                QStringLiteral("the move %1 did not start: %2").arg(way, control.lastError()),
                QStringLiteral("open the turntable again"));
            return;
        }
        session.waitForMove(termination);
        if (termination.received() != 0) {
            return;
        }
        if (session.isChipLost()) {
            report.problem(QStringLiteral("turn"),
                           QStringLiteral("the move %1 ended: %2").arg(way, control.lastError()),
                           QStringLiteral("check the turntable's USB cable and run the check "
                                          "again"));
            return;
        }
        report.ok(QStringLiteral("turn"), QStringLiteral("%1 counts %2").arg(counts).arg(way));
    }
}

} // namespace

int runCheck(const ToolOptions& options, EventOutput& output,
             const TerminationSignals& termination) {
    CheckReport report(output);
    if (!checkBackend(report)) {
        return NoTurntable;
    }
    TurntableSession session(output);
    if (const auto status = checkChips(report, session.control())) {
        return *status;
    }
    if (const auto status =
            session.find(options.model.empty() ? QString::number(kCustomModel)
                                               : QString::fromStdString(options.model))) {
        return *status;
    }
    LxKalveraTurntableControl& control = session.control();
    bool opened = false;
    control.openDevice(static_cast<unsigned long>(session.modelIndex()), &opened);
    checkSetUp(report, control);
    if (!opened) {
        // A set-up step that failed has said what to try.
        report.problem(
            QStringLiteral("open"),
            QStringLiteral("%1 cannot be opened: %2").arg(session.modelName(), control.lastError()),
            control.chipSetUpSteps().empty()
                ? QString::fromStdString(nextStepsWithoutTurntable(true))
                : QStringLiteral("see the set-up step that failed, above"));
        return CannotOpen;
    }
    report.ok(QStringLiteral("open"), QStringLiteral("%1 opened").arg(session.modelName()));
    const double roundTrip = control.measureUsbRoundTripMilliseconds();
    if (roundTrip > 0.0) {
        report.ok(QStringLiteral("usb"),
                  QStringLiteral("a read of the pins takes %1 ms").arg(roundTrip, 0, 'f', 3));
    } else {
        report.problem(QStringLiteral("usb"), control.lastError(),
                       QStringLiteral("unplug the turntable's USB cable and plug it in again"));
    }
    checkByteClock(report, control, session.modelIndex());
    if (options.countsPerRevolution) {
        control.SetCountsPerRevolution(*options.countsPerRevolution);
    }
    checkSettings(report, control, session.modelName(), session.modelIndex() == kStandardModel,
                  !options.model.empty());
    // A signal during the open: no move starts after it.
    if (termination.received() != 0) {
        return termination.exitStatus();
    }
    if (options.turn && report.isAllWell()) {
        checkTurn(report, session, termination);
    }
    return report.isAllWell() ? Success : Failed;
}
