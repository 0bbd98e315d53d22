#include "KalveraTurntableShoot_p.h"

#include "KalveraTurntableCallbacks_p.h"
#include "LxKalveraTurntableControl.h"

#include <algorithm>
#include <limits>

namespace kalveraturntable {

namespace {

using Shoot = KalveraTurntable::ShootState;

// What a notice may take beyond the delays it waits for, handed on by
// callbacks that the process put in the objects' place: more than that, and
// they do not hand it on.
constexpr qint64 kNoticeGraceMs = 2000;

qint64 delayMs(float seconds) {
    return static_cast<qint64>(std::max(0.0f, seconds) * 1000);
}

// Where the table goes after each of `count` captures: to `angles`, which
// end with the whole turn, or without them evenly round it.
std::vector<double> captureTargets(std::size_t count, const std::vector<float>& angles) {
    std::vector<double> targets;
    for (std::size_t k = 1; k <= count; ++k) {
        targets.push_back(angles.empty() ? 360.0 * k / count : angles[k - 1U]);
    }
    return targets;
}

// Capture 1 is where the shoot starts; the last target closes the turn.
QVariantList anglesOfCaptures(const std::vector<double>& targets) {
    QVariantList angles{0.0};
    for (std::size_t k = 0; k + 1 < targets.size(); ++k) {
        angles.append(targets[k]);
    }
    return angles;
}

} // namespace

QVariantList plannedAnglesOf(const LxShootPlan& plan) {
    if (plan.useCaptureAngles) {
        if (plan.captureAngles.empty()) {
            return {};
        }
        std::vector<float> angles = plan.captureAngles;
        angles.push_back(360.0f);
        return anglesOfCaptures(captureTargets(angles.size(), angles));
    }
    if (plan.frames == 0 || plan.frames > std::numeric_limits<unsigned short>::max()) {
        return {};
    }
    return anglesOfCaptures(captureTargets(plan.frames, {}));
}

ShootSequence::ShootSequence(LxKalveraTurntableControl& control, Reporter& reporter,
                             std::function<void()> followMove)
    : control(control)
    , reporter(reporter)
    , followMove(std::move(followMove)) {
    firstCapture.setSingleShot(true);
    QObject::connect(&firstCapture, &QTimer::timeout, [this] { readyForCapture(); });
}

bool ShootSequence::isRunning() const {
    return reporter.state.shoot != Shoot::Idle;
}

bool ShootSequence::isMoveOutstanding() const {
    return moveOutstanding;
}

void ShootSequence::start(const LxShootPlan& plan) {
    unsigned short count = 0;
    std::vector<float> angles;
    if (!control.planShoot(plan, &count, &angles)) {
        reporter.failed();
        return;
    }
    State& state = reporter.state;
    targets = captureTargets(count, angles);
    state.plannedAngles = anglesOfCaptures(targets);
    taken = 0;
    state.captureCount = count;
    state.captureIndex = 1;
    state.shoot = Shoot::Running;
    reporter.tellState();
    firstCapture.start(static_cast<int>(delayMs(plan.preCaptureDelaySeconds)));
}

void ShootSequence::setAutoAdvance(bool on) {
    autoAdvance = on;
    if (autoAdvance) {
        captureTaken();
    }
}

void ShootSequence::readyForCapture() {
    awaitingCapture = true;
    const std::size_t index = taken;
    reporter.tell(
        Event::captureReady(static_cast<int>(index + 1), index == 0 ? 0.0 : targets[index - 1]));
    if (autoAdvance) {
        captureTaken();
    }
}

void ShootSequence::captureTaken() {
    if (!awaitingCapture || reporter.state.shoot != Shoot::Running) {
        return;
    }
    awaitingCapture = false;
    if (!control.rotateDeviceToAngle(static_cast<float>(targets[taken]))) {
        reporter.failed();
        end(false);
        return;
    }
    ++taken;
    moveOutstanding = true;
    sinceTableActive.start();
    followMove();
}

void ShootSequence::notice() {
    if (reporter.state.shoot != Shoot::Running || !moveOutstanding) {
        return;
    }
    moveOutstanding = false;
    reporter.tellState();
    reporter.tell(Event(Event::Kind::MoveEnded));
    if (taken < targets.size()) {
        reporter.state.captureIndex = static_cast<int>(taken + 1);
        reporter.tellState();
        readyForCapture();
        return;
    }
    // The call after the last capture ends the sequence.
    control.rotateDeviceToAngle(0.0f);
    end(true);
    reporter.tellState();
}

void ShootSequence::stopTable() {
    reporter.state.shoot = Shoot::Stopping;
    reporter.tellState();
    control.stopsSpinning();
    // The controller's stopsSpinning() leaves its sequence counted as
    // running, for a plug-in host that goes on with it after a stop; the
    // base's ends it, so that the controller takes moves and settings again.
    control.LxTurntableHardware::stopsSpinning();
}

void ShootSequence::forgetMove() {
    moveOutstanding = false;
}

void ShootSequence::end(bool completed) {
    if (reporter.state.shoot == Shoot::Idle) {
        return;
    }
    firstCapture.stop();
    awaitingCapture = false;
    moveOutstanding = false;
    State& state = reporter.state;
    state.shoot = Shoot::Idle;
    state.captureIndex = 0;
    state.captureCount = 0;
    reporter.tellState();
    reporter.tell(Event::shootFinished(completed));
}

bool ShootSequence::isNoticeLost(bool tableTurns) {
    if (!moveOutstanding) {
        return false;
    }
    if (tableTurns) {
        sinceTableActive.start();
        return false;
    }
    const qint64 due =
        delayMs(control.postDelaySeconds()) + delayMs(control.preDelaySeconds()) + kNoticeGraceMs;
    // The objects' own callback hands every notice on, however late.
    return sinceTableActive.elapsed() > due && !objectsReceiveNotices();
}

} // namespace kalveraturntable
