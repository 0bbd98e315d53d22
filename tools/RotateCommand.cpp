// rotate: one move, and where the table stands after it.
#include "Commands.h"
#include "ExitStatus.h"
#include "TerminationSignals.h"
#include "TurntableModels.h"
#include "TurntableSession.h"

namespace {

// Plans the move the options ask for; false, told, when it rounds to nothing.
bool planMove(const ToolOptions& options, LxKalveraTurntableControl& control, EventOutput& output) {
    if (options.counterclockwise) {
        control.SetRotationCounterClockwise();
    } else {
        control.SetRotationClockwise();
    }
    switch (options.moveKind) {
    case MoveKind::Degrees:
        if (control.SetRotationIncrementInDegrees(options.amount) > 0.0) {
            return true;
        }
        output.error(QStringLiteral("bad-move"),
                     QStringLiteral("%1 degrees are less than half a count of this table: "
                                    "nothing to turn.")
                         .arg(options.amount),
                     BadInput);
        return false;
    case MoveKind::Counts:
        control.SetRotationIncrementInCounts(static_cast<int>(options.amount));
        return true;
    case MoveKind::ToAngle:
        // Positions grow counterclockwise in the SDK; the program counts
        // clockwise, as a shoot does.
        control.SetRotationNextGlobalPositionInDegrees(-options.amount);
        return true;
    case MoveKind::Continuous:
        control.SetRotationIncrementInCounts(0);
        return true;
    }
    return false;
}

} // namespace

int runRotate(const ToolOptions& options, EventOutput& output,
              const TerminationSignals& termination) {
    TurntableSession session(output);
    if (const auto status = session.find(QString::fromStdString(options.model))) {
        return *status;
    }
    if (session.modelNeedsCounts() && !options.countsPerRevolution &&
        options.moveKind != MoveKind::Continuous) {
        return output.error(QStringLiteral("no-counts-per-revolution"),
                            QStringLiteral("%1 needs --counts-per-revolution for this move.")
                                .arg(session.modelName()),
                            BadInput);
    }
    if (const auto status = session.open()) {
        return *status;
    }
    LxKalveraTurntableControl& control = session.control();
    if (options.countsPerRevolution) {
        control.SetCountsPerRevolution(*options.countsPerRevolution);
    }
    control.SetRotationSpeed(stepTimeMs(options.speed.value_or(kFastestSpeed)));
    control.SetLockMotorWhenIdle(options.lockWhenIdle.value_or(false));
    if (!planMove(options, control, output)) {
        return BadInput;
    }
    // A signal during the search or the open: nothing starts after it.
    if (termination.received() != 0 || !control.startRotation()) {
        return termination.received() != 0
                   ? termination.exitStatus()
                   : output.error(
                         QStringLiteral("move-failed"),
                         QStringLiteral("The move did not start: %1").arg(control.lastError()),
                         Failed);
    }
    session.waitForMove(termination);
    if (termination.received() == 0 && session.isChipLost()) {
        return output.error(QStringLiteral("turntable-lost"),
                            QStringLiteral("The move ended: %1").arg(control.lastError()), Failed);
    }
    const bool stopped = termination.received() != 0;
    const std::optional<double> angle = session.angleFromOrigin();
    QJsonObject fields{{QStringLiteral("stopped"), stopped}};
    QString text = stopped ? QStringLiteral("Stopped") : QStringLiteral("The move ended");
    if (angle) {
        fields.insert(QStringLiteral("position"), *angle);
        text += QStringLiteral(": the table stands at %1\u00B0 clockwise from where it started.")
                    .arg(*angle, 0, 'f', 1);
    } else {
        text += QStringLiteral(".");
    }
    output.event(QStringLiteral("moved"), fields, text);
    return stopped ? termination.exitStatus() : Success;
}
