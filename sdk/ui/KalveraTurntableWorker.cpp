// The worker's side of KalveraTurntable: on a thread of its own, it drives
// the controller, follows its moves and shoots, and tells the object.
#include "KalveraTurntable_p.h"

#include "LxKalveraTurntableControl.h"
#include "LxThreadMailbox.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kalveraturntable {

namespace {

// How often the worker looks at a moving table: the position a host sees is
// never older than this, and a move's end is told within it.
constexpr int kFollowMs = 40;

class Worker {
public:
    Worker(std::shared_ptr<Shared> shared, QEventLoop& loop)
        : shared(std::move(shared))
        , loop(loop) {
        follow.setInterval(kFollowMs);
        QObject::connect(&follow, &QTimer::timeout, [this] { followTable(); });
        registerController(&control, this->shared);
    }
    ~Worker() {
        // Notices of the closing controller are of no use any more.
        unregisterController(&control);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void receive(int why) {
        if (why == kNoticeCall) {
            if (shared->takeNotice()) {
                shootNotice();
            }
        } else if (why == kDisconnectedCall) {
            lost();
        } else {
            runCommands();
        }
    }

private:
    void runCommands() {
        for (;;) {
            Command c{Command::Kind::Quit};
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                if (shared->commands.empty()) {
                    return;
                }
                c = std::move(shared->commands.front());
                shared->commands.pop_front();
            }
            run(c);
        }
    }

    void run(const Command& c) {
        switch (c.kind) {
        case Command::Kind::Find:
            state.models.clear();
            for (const std::string& name : control.availableDevices()) {
                state.models.append(QString::fromStdString(name));
            }
            if (state.models.isEmpty()) {
                failed();
            }
            break;
        case Command::Kind::Open:
            open(static_cast<unsigned long>(c.value));
            break;
        case Command::Kind::Close:
            endShoot(false);
            control.closeDevice();
            settleStoppedMoves();
            break;
        case Command::Kind::RotateBy:
            rotateBy(c.value);
            break;
        case Command::Kind::RotateTo:
            rotateBy(std::remainder(c.value - control.positionInDegrees(), 360.0));
            break;
        case Command::Kind::RotateCounts:
            if (c.value != 0.0) {
                control.SetRotationCounterClockwise();
                control.SetRotationIncrementInCounts(static_cast<int>(c.value));
                startMove();
            }
            break;
        case Command::Kind::TurnContinuously:
            if (c.value != 0.0) {
                control.SetRotationClockwise();
            } else {
                control.SetRotationCounterClockwise();
            }
            control.SetRotationIncrementInCounts(0);
            startMove();
            break;
        case Command::Kind::Stop:
            // A shoot whose move is stopped would wait for its end forever.
            if (state.shoot == KalveraTurntable::ShootState::Running) {
                stopShoot();
            } else {
                control.stopRotation();
                settleStoppedMoves();
            }
            break;
        case Command::Kind::FireShutter:
            if (!control.shutterReleaseCameraHardware()) {
                failed(LxAbstractPlugin::ErrorCode::Unspecified,
                       QObject::tr("The shutter cannot be fired: open a stepper turntable and "
                                   "let it stand."));
            }
            break;
        case Command::Kind::ApplySettings:
            if (!control.applyShootSettings(c.plan)) {
                failed();
            }
            break;
        case Command::Kind::StartShoot:
            startShoot(c.plan);
            break;
        case Command::Kind::StopShoot:
            stopShoot();
            break;
        case Command::Kind::CaptureTaken:
            captureTaken();
            break;
        case Command::Kind::SetAutoAdvance:
            autoAdvance = c.value != 0.0;
            if (autoAdvance) {
                captureTaken();
            }
            break;
        case Command::Kind::Quit:
            loop.quit();
            return;
        }
        tellState();
    }

    void open(unsigned long model) {
        endShoot(false);
        bool opened = false;
        control.openDevice(model, &opened);
        settleStoppedMoves();
        state.model = opened ? static_cast<int>(model) : -1;
        if (!opened) {
            failed();
        }
    }

    void rotateBy(double degrees) {
        control.SetRotationCounterClockwise();
        if (control.SetRotationIncrementInDegrees(degrees) == 0.0) {
            failed(LxAbstractPlugin::ErrorCode::Unspecified,
                   QObject::tr("Nothing to turn: no turntable open, no counts per revolution, "
                               "or less than half a count."));
            return;
        }
        startMove();
    }

    void startMove() {
        tellEndedMove();
        if (!control.startRotation()) {
            failed(LxAbstractPlugin::ErrorCode::Unspecified,
                   QObject::tr("The move cannot start: no turntable open, a move or a shoot "
                               "running, or nothing to turn."));
            return;
        }
        moving = true;
        follow.start();
    }

    // While a move runs: the position, and the end of the move.
    void followTable() {
        tellState();
        tellEndedMove();
        if (!moving && !shootMove) {
            follow.stop();
        }
    }

    // The end of a move started here, once, also when it ended since the
    // last look and another move or a shoot starts now.
    void tellEndedMove() {
        if (moving && !control.IsTurntableRotating()) {
            moving = false;
            tellState();
            shared->tell({Event::Kind::MoveEnded});
        }
    }

    // After the controller stopped or closed the table. The stop drops the
    // notice that waits for its pre-capture delay, but one already being
    // given reaches this worker later, maybe once the next shoot's move has
    // started, where it would pass for that move's end: wait until it has
    // been handed over, and drop it with those not taken yet. The move cut
    // short is told ended before whatever comes next begins.
    void settleStoppedMoves() {
        LxTurntableHardware::TurntableHardwarePrivate::waitForNotices();
        shared->dropNotices();
        shootMove = false;
        tellEndedMove();
    }

    void startShoot(const LxShootPlan& plan) {
        unsigned short count = 0;
        std::vector<float> angles;
        if (!control.planShoot(plan, &count, &angles)) {
            failed();
            return;
        }
        tellEndedMove();
        targets.clear();
        state.plannedAngles = {0.0};
        for (unsigned short k = 1; k <= count; ++k) {
            targets.push_back(angles.empty() ? 360.0 * k / count : angles[k - 1U]);
            if (k < count) {
                state.plannedAngles.append(targets.back());
            }
        }
        taken = 0;
        state.captureCount = count;
        state.captureIndex = 1;
        state.shoot = KalveraTurntable::ShootState::Running;
        tellState();
        // Capture 1 is where the table stands: it waits the pre-capture
        // delay as every other does.
        const int delayMs = static_cast<int>(std::max(0.0f, plan.preCaptureDelaySeconds) * 1000);
        const unsigned int shoot = ++shootNumber;
        QTimer::singleShot(delayMs, &follow, [this, shoot] {
            if (shoot == shootNumber && state.shoot == KalveraTurntable::ShootState::Running) {
                readyForCapture();
            }
        });
    }

    void readyForCapture() {
        awaitingCapture = true;
        const std::size_t index = taken;
        shared->tell({Event::Kind::CaptureReady,
                      {},
                      static_cast<int>(index + 1),
                      index == 0 ? 0.0 : targets[index - 1]});
        if (autoAdvance) {
            captureTaken();
        }
    }

    void captureTaken() {
        if (!awaitingCapture || state.shoot != KalveraTurntable::ShootState::Running) {
            return;
        }
        awaitingCapture = false;
        if (!control.rotateDeviceToAngle(static_cast<float>(targets[taken]))) {
            failed();
            endShoot(false);
            return;
        }
        ++taken;
        shootMove = true;
        follow.start();
    }

    void stopShoot() {
        if (state.shoot != KalveraTurntable::ShootState::Running) {
            return;
        }
        state.shoot = KalveraTurntable::ShootState::Stopping;
        tellState();
        control.stopsSpinning();
        // The sequence ends with the stop: a plan starts the next.
        control.LxTurntableHardware::stopsSpinning();
        settleStoppedMoves();
        endShoot(false);
    }

    // The controller's notice: the shoot's move has ended and the pre-capture
    // delay passed.
    void shootNotice() {
        if (state.shoot != KalveraTurntable::ShootState::Running || !shootMove) {
            return;
        }
        shootMove = false;
        tellState();
        shared->tell({Event::Kind::MoveEnded});
        if (taken < targets.size()) {
            state.captureIndex = static_cast<int>(taken + 1);
            tellState();
            readyForCapture();
            return;
        }
        // The call after the last capture ends the sequence.
        control.rotateDeviceToAngle(0.0f);
        endShoot(true);
        tellState();
    }

    void lost() {
        moving = false;
        endShoot(false);
        failed();
        tellState();
        shared->tell({Event::Kind::Disconnected});
    }

    void endShoot(bool completed) {
        if (state.shoot == KalveraTurntable::ShootState::Idle) {
            return;
        }
        ++shootNumber;
        awaitingCapture = false;
        shootMove = false;
        state.shoot = KalveraTurntable::ShootState::Idle;
        state.captureIndex = 0;
        state.captureCount = 0;
        tellState();
        shared->tell({Event::Kind::ShootFinished, {}, 0, 0.0, completed});
    }

    // The controller's reason for the failure just seen.
    void failed() { failed(control.lastErrorCode(), control.lastError()); }
    void failed(LxAbstractPlugin::ErrorCode code, const QString& text) {
        state.lastErrorCode = static_cast<int>(code);
        state.lastError = text;
        tellState();
        shared->tell({Event::Kind::Error, {}, state.lastErrorCode, 0.0, false, text});
    }

    void tellState() {
        state.opened = control.isTurntableOpened();
        state.rotating = control.IsTurntableRotating();
        state.position = control.positionInDegrees();
        state.chipClocked = control.isChipClockedStepTrains();
        if (!state.opened) {
            state.model = -1;
        }
        if (state.opened != told.opened || state.rotating != told.rotating ||
            state.position != told.position || state.chipClocked != told.chipClocked ||
            state.model != told.model || state.models != told.models ||
            state.lastError != told.lastError || state.lastErrorCode != told.lastErrorCode ||
            state.shoot != told.shoot || state.captureIndex != told.captureIndex ||
            state.captureCount != told.captureCount || state.plannedAngles != told.plannedAngles) {
            told = state;
            shared->tell({Event::Kind::StateChanged, state});
        }
    }

    const std::shared_ptr<Shared> shared;
    QEventLoop& loop;
    LxKalveraTurntableControl control;
    QTimer follow;
    State state;
    State told;
    bool autoAdvance = false;
    bool moving = false;
    bool shootMove = false;
    bool awaitingCapture = false;
    // Where the table goes after each capture, from the start of the shoot.
    std::vector<double> targets;
    std::size_t taken = 0;
    // Tells a shoot's delayed first capture from a later shoot's.
    unsigned int shootNumber = 0;
};

} // namespace

WorkerThread::WorkerThread(std::shared_ptr<Shared> shared) {
    installCallbacks();
    thread = std::thread(&WorkerThread::run, std::move(shared));
}

WorkerThread::~WorkerThread() {
    thread.join();
}

void WorkerThread::run(const std::shared_ptr<Shared>& shared) {
    // Made first, it gives the thread its Qt event dispatcher, which the
    // mailboxes and the controller's timers need.
    QEventLoop loop;
    Worker worker(shared, loop);
    auto* box = new LxThreadMailbox([&worker](int why) { worker.receive(why); });
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->workerBox = box;
    }
    // What the object asked before the loop ran.
    box->send(kCommandsCall);
    loop.exec();
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->workerBox = nullptr;
    }
    LxThreadMailbox::destroy(box);
}

} // namespace kalveraturntable
