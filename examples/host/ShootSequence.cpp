#include "ShootSequence.h"

#include "LxKalveraTurntableControl.h"
#include "TurntableObserver.h"

#include <cmath>

ShootSequence::ShootSequence(LxKalveraTurntableControl* control, bool stepperTable, QObject* parent)
    : QObject(parent)
    , control(control)
    , stepperTable(stepperTable) {}

bool ShootSequence::start(QString* error) {
    unsigned short count = 0;
    float* angles = nullptr;
    if (!control->complete360ProductPhotographyWillStart(&count, &angles)) {
        *error = control->lastError();
        return false;
    }
    // Custom angles come planned, closed by a whole turn; a frame count is
    // spread evenly, and the last move also ends on the whole turn.
    targets.clear();
    for (int k = 1; k <= count; ++k) {
        targets.push_back(angles ? angles[k - 1] : 360.0f * static_cast<float>(k) / count);
    }
    countsPerRevolution = control->countsPerRevolution();
    startCounts = TurntableObserver::countsTurnedClockwise(stepperTable).value_or(0);
    taken.clear();
    clock.start();
    running = true;
    takeCapture();
    return true;
}

void ShootSequence::tableStopped() {
    if (!running) {
        return;
    }
    if (taken.size() < targets.size()) {
        takeCapture();
        return;
    }
    // The call after the last capture ends the sequence in the plug-in; the
    // last move ended on the whole turn, so the table stays.
    control->rotateDeviceToAngle(0.0f);
    finish(true, tr("%1 captures taken.").arg(taken.size()));
}

void ShootSequence::stop() {
    if (running) {
        // The controller's stop ends the move; the plug-in's sequence goes on
        // counting, and a move asked for last still waits for its
        // post-capture delay. The interface's own stop ends the sequence, and
        // the call after the last capture then drops the waiting move; the
        // move back to the start that it begins is stopped at once.
        // stopRotation() rather than the controller's stop: it also waits for
        // a move that has ended but whose notice is still on its way, which
        // would otherwise drive the next shoot.
        control->stopRotation();
        control->LxTurntableHardware::stopsSpinning();
        control->rotateDeviceToAngle(0.0f);
        control->stopRotation();
        finish(false,
               tr("Shoot stopped after %1 of %2 captures.").arg(taken.size()).arg(targets.size()));
    }
}

void ShootSequence::abandon(const QString& message) {
    if (running) {
        finish(false, message);
    }
}

void ShootSequence::takeCapture() {
    Capture capture;
    capture.number = static_cast<int>(taken.size()) + 1;
    capture.angle = capture.number == 1 ? 0.0f : targets[taken.size() - 1];
    capture.tableAngle = tableAngle();
    capture.elapsedMs = clock.elapsed();
    const auto shotsBefore = TurntableObserver::cameraShots();
    const bool turning = control->rotateDeviceToAngle(targets[taken.size()]);
    capture.cameraFired = shotsBefore && TurntableObserver::cameraShots() > shotsBefore;
    taken.push_back(capture);
    emit captured(capture);
    if (!turning) {
        // The plug-in's sequence ended under us (closed or stopped elsewhere).
        finish(false, control->lastError());
    }
}

void ShootSequence::finish(bool completed, const QString& message) {
    running = false;
    emit finished(completed, message);
}

std::optional<double> ShootSequence::tableAngle() const {
    const auto counts = TurntableObserver::countsTurnedClockwise(stepperTable);
    if (!counts || countsPerRevolution == 0) {
        return std::nullopt;
    }
    // Angles grow clockwise.
    const double degrees =
        std::fmod(static_cast<double>(*counts - startCounts) * 360.0 / countsPerRevolution, 360.0);
    return degrees < 0.0 ? degrees + 360.0 : degrees;
}
