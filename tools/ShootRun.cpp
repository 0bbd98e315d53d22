#include "ShootRun.h"

#include "ExitStatus.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"
#include "TurntableSession.h"

#include <LxThreadMailbox.h>

#include <QJsonValue>
#include <QTimer>

#include <cmath>

namespace {

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

// The mailbox's values.
constexpr int kTableStands = 0;
constexpr int kTableLost = 1;

QString degrees(double angle) {
    return QString::number(angle, 'f', 1) + QStringLiteral("\u00B0");
}

} // namespace

ShootRun::ShootRun(TurntableSession& session, const ToolOptions& options, EventOutput& output,
                   const TerminationSignals& termination)
    : session(session)
    , options(options)
    , output(output)
    , termination(termination) {
    if (!options.exec.empty()) {
        captureCommand =
            std::make_unique<CaptureCommand>(QString::fromStdString(options.exec), options.retries,
                                             options.json, output, termination);
    }
    notices = std::make_unique<LxThreadMailbox>([this](int notice) {
        if (notice == kTableLost) {
            stopWith(
                this->output.error(QStringLiteral("turntable-lost"),
                                   QStringLiteral("The turntable was lost during the shoot: %1")
                                       .arg(this->session.control().lastError()),
                                   Failed));
        } else {
            tableStands();
        }
    });
    // Never blocks inside the notice: the rotation thread only posts.
    LxThreadMailbox* const box = notices.get();
    Callbacks::turntableRotationStopped = [box](LxTurntableHardware*) { box->send(kTableStands); };
    Callbacks::hardwareDisconnected = [box](LxTurntableHardware*, unsigned long) {
        box->send(kTableLost);
    };
}

ShootRun::~ShootRun() {
    // No rotation thread runs once the move is stopped: none may call the
    // notice while it goes.
    session.control().stopRotation();
    Callbacks::turntableRotationStopped = nullptr;
    Callbacks::hardwareDisconnected = nullptr;
    // A notice that began before may still be sending to the mailbox, which
    // goes after this.
    Callbacks::waitForNotices();
}

int ShootRun::run() {
    if (!notices->isValid()) {
        // Without its pipe the mailbox drops every notice: the shoot would
        // wait for the table forever.
        return output.error(QStringLiteral("no-notices"),
                            QStringLiteral("The shoot cannot hear the turntable: the system gave "
                                           "no pipe (too many open files?)."),
                            Failed);
    }
    if (const int refused = plan(); refused != Success) {
        return refused;
    }
    const auto watch = watchTerminationSignals(&termination, [this] { interrupt(); });
    if (termination.received() != 0) {
        return termination.exitStatus();
    }
    QTimer::singleShot(0, &loop, [this] { begin(); });
    loop.exec();
    return status;
}

int ShootRun::plan() {
    LxKalveraTurntableControl& control = session.control();
    unsigned short captures = 0;
    float* angles = nullptr;
    if (!control.complete360ProductPhotographyWillStart(&captures, &angles)) {
        return output.error(
            QStringLiteral("plan-refused"),
            QStringLiteral("The shoot cannot be planned: %1").arg(control.lastError()), BadInput);
    }
    count = captures;
    for (int k = 1; k <= count; ++k) {
        targets.push_back(angles ? static_cast<double>(angles[k - 1]) : 360.0 * k / count);
    }
    const int resumeFrom = options.resumeFrom;
    if (resumeFrom > count) {
        return output.error(QStringLiteral("bad-resume"),
                            QStringLiteral("--resume-from %1: the shoot has %2 captures.")
                                .arg(resumeFrom)
                                .arg(count),
                            BadInput);
    }
    start = options.fromAngle.value_or(position(resumeFrom > 1 ? resumeFrom - 1 : 1));
    if (start > position(resumeFrom) + halfCount()) {
        return output.error(QStringLiteral("bad-resume"),
                            QStringLiteral("--from-angle %1 is past capture %2, at %3.")
                                .arg(start)
                                .arg(resumeFrom)
                                .arg(degrees(position(resumeFrom))),
                            BadInput);
    }
    next = resumeFrom;
    return Success;
}

void ShootRun::begin() {
    clock.start();
    const double turn = position(next) - start;
    output.event(
        QStringLiteral("started"),
        {{QStringLiteral("count"), count}, {QStringLiteral("first"), next}},
        next == 1
            ? QStringLiteral("Shooting %1 captures on %2.").arg(count).arg(session.modelName())
            : QStringLiteral("Resuming at capture %1 of %2 on %3.")
                  .arg(next)
                  .arg(count)
                  .arg(session.modelName()));
    if (turn <= halfCount()) {
        takeCapture();
        return;
    }
    // On to capture K: a move of the planned sequence, whose end the
    // turntable reports after the pre-capture delay, as every move's.
    LxKalveraTurntableControl& control = session.control();
    control.SetRotationClockwise();
    control.SetRotationNextGlobalPositionInDegrees(-turn);
    if (!control.startRotation()) {
        stopWith(output.error(QStringLiteral("move-failed"),
                              QStringLiteral("The move to capture %1 did not start: %2")
                                  .arg(next)
                                  .arg(control.lastError()),
                              Failed));
    }
}

void ShootRun::tableStands() {
    if (interrupted || status != Success) {
        return;
    }
    if (next > count) {
        finish();
    } else {
        takeCapture();
    }
}

void ShootRun::takeCapture() {
    if (!captureCommand) {
        turnOn();
        return;
    }
    captureCommand->start(next, count, angleText(next), [this](bool succeeded) {
        // A signal ends the command too, whether or not its notice has come
        // yet: the capture it failed is the one to resume from.
        if (termination.received() != 0) {
            if (succeeded) {
                captureTaken(tablePosition());
            }
            interrupt();
        } else if (!succeeded) {
            session.control().LxTurntableHardware::stopsSpinning();
            stopWith(output.error(QStringLiteral("capture-command-failed"),
                                  QStringLiteral("The capture command failed at capture %1 of "
                                                 "%2: the shoot stopped, with the table there.")
                                      .arg(next)
                                      .arg(count),
                                  Failed));
        } else {
            turnOn();
        }
    });
}

void ShootRun::turnOn() {
    LxKalveraTurntableControl& control = session.control();
    const std::optional<double> standing = tablePosition();
    // Fires the camera on the shutter cable first, when the settings ask.
    if (!control.rotateDeviceToAngle(static_cast<float>(targets[next - 1] - start))) {
        stopWith(output.error(QStringLiteral("shoot-failed"),
                              QStringLiteral("The shoot ended at capture %1 of %2: %3")
                                  .arg(next)
                                  .arg(count)
                                  .arg(control.lastError()),
                              Failed));
        return;
    }
    captureTaken(standing);
}

void ShootRun::captureTaken(const std::optional<double>& standing) {
    QJsonObject fields{{QStringLiteral("index"), next},
                       {QStringLiteral("count"), count},
                       {QStringLiteral("angle"), position(next)}};
    if (standing) {
        fields.insert(QStringLiteral("position"), *standing);
    }
    output.progress(
        next, count, fields,
        QStringLiteral("capture %1/%2 at %3").arg(next).arg(count).arg(degrees(position(next))));
    ++next;
}

void ShootRun::finish() {
    LxKalveraTurntableControl& control = session.control();
    if (options.resumeFrom == 1 && start == 0.0) {
        // The call after the last capture ends the sequence; the last move
        // was the whole turn, so the table stays.
        if (control.rotateDeviceToAngle(0.0f) ||
            control.lastErrorCode() != LxAbstractPlugin::ErrorCode::SequenceCompleted) {
            stopWith(output.error(QStringLiteral("shoot-failed"),
                                  QStringLiteral("The shoot did not end after its last capture: %1")
                                      .arg(control.lastError()),
                                  Failed));
            return;
        }
    } else {
        // The table stands at the interrupted shoot's start; the SDK's own
        // start, where this run began, is not where it should go back to.
        control.LxTurntableHardware::stopsSpinning();
    }
    const int taken = count - options.resumeFrom + 1;
    output.event(QStringLiteral("finished"),
                 {{QStringLiteral("captures"), taken},
                  {QStringLiteral("count"), count},
                  {QStringLiteral("seconds"), clock.elapsed() / 1000.0}},
                 QStringLiteral("Shoot complete: %1 captures in %2 s.")
                     .arg(taken)
                     .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    loop.quit();
}

void ShootRun::interrupt() {
    interrupted = true;
    if (status != Success || (captureCommand && captureCommand->isRunning())) {
        // The command ends first; the table stands meanwhile.
        return;
    }
    LxKalveraTurntableControl& control = session.control();
    control.stopRotation();
    control.LxTurntableHardware::stopsSpinning();
    const int done = next - 1;
    const std::optional<double> standing = tablePosition();
    QJsonObject fields{{QStringLiteral("captures"), done}, {QStringLiteral("count"), count}};
    QString text = QStringLiteral("Interrupted after capture %1 of %2").arg(done).arg(count);
    if (standing) {
        fields.insert(QStringLiteral("position"), *standing);
        text += QStringLiteral(" (the table stands at %1)").arg(degrees(*standing));
    }
    if (done < count) {
        fields.insert(QStringLiteral("next"), done + 1);
        QString resume = QStringLiteral("--resume-from %1").arg(done + 1);
        const double expected = done > 0 ? position(done) : 0.0;
        if (standing && std::fabs(*standing - expected) > halfCount()) {
            fields.insert(QStringLiteral("fromAngle"), *standing);
            resume += QStringLiteral(" --from-angle ") + QString::number(*standing, 'g', 8);
        }
        text += QStringLiteral("; resume with %1 and the same options").arg(resume);
    } else {
        fields.insert(QStringLiteral("next"), QJsonValue::Null);
        text += QStringLiteral(", on its way back to the start");
    }
    output.event(QStringLiteral("interrupted"), fields, text);
    stopWith(termination.exitStatus());
}

void ShootRun::stopWith(int endStatus) {
    if (status == Success) {
        status = endStatus;
    }
    loop.quit();
}

std::optional<double> ShootRun::tablePosition() {
    const std::optional<double> fromStart = session.angleFromOrigin();
    if (!fromStart) {
        return std::nullopt;
    }
    return std::fmod(start + *fromStart, 360.0);
}

double ShootRun::position(int k) const {
    return k <= 1 ? 0.0 : targets[static_cast<std::size_t>(k - 2)];
}

QString ShootRun::angleText(int k) const {
    return QString::number(position(k), 'g', 6);
}

double ShootRun::halfCount() const {
    const unsigned int counts = session.control().countsPerRevolution();
    return counts > 0 ? 180.0 / counts : 0.0;
}
