// The worker's side of KalveraTurntable: on a thread of its own, it drives
// the controller, follows its moves and shoots, and tells the object.
#include "KalveraTurntable_p.h"

#include "KalveraTurntableCallbacks_p.h"
#include "KalveraTurntableReporter_p.h"
#include "KalveraTurntableShoot_p.h"
#include "LxHostNoticeCall.h"
#include "LxKalveraTurntableControl.h"
#include "LxShootRefusals.h"
#include "LxThreadMailbox.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <optional>

namespace kalveraturntable {

namespace {

// How often the worker looks at a moving table: the position a host sees is
// never older than this, and a move's end is told within it.
constexpr int kFollowMs = 40;

// What would set the controller's direction and increment, which the running
// move reads until it ends: its position would follow the new ones.
bool startsAMove(Command::Kind kind) {
    switch (kind) {
    case Command::Kind::RotateBy:
    case Command::Kind::RotateTo:
    case Command::Kind::RotateCounts:
    case Command::Kind::TurnContinuously:
        return true;
    default:
        return false;
    }
}

// What would move the table or change its settings under a shoot, which
// takes the end of every move for its own.
bool waitsForTheShoot(Command::Kind kind) {
    switch (kind) {
    case Command::Kind::Open:
    case Command::Kind::FireShutter:
    case Command::Kind::ApplySettings:
    case Command::Kind::StartShoot:
        return true;
    default:
        return startsAMove(kind);
    }
}

// A controller's notices going to its worker, for the controller's lifetime:
// made before it and undone after its destructor has closed it, so that no
// notice of it, the last ones of its close included, reaches the callbacks of
// a plug-in host, which knows no such controller.
class ControllerRegistration {
public:
    ControllerRegistration(const LxTurntableHardware* control, std::shared_ptr<Shared> shared)
        : control(control) {
        registerController(control, std::move(shared));
    }
    ~ControllerRegistration() {
        // A rotation thread that the closed controller let go may still be
        // ending its notice: it ends here, still routed to the worker, and
        // this thread, which the object joins, sees it done with what the
        // process's end destroys.
        waitForNoticesOf(control);
        unregisterController(control);
    }
    ControllerRegistration(const ControllerRegistration&) = delete;
    ControllerRegistration& operator=(const ControllerRegistration&) = delete;

private:
    const LxTurntableHardware* const control;
};

class Worker {
public:
    explicit Worker(std::shared_ptr<Shared> shared)
        : shared(shared)
        , registration(&control, shared)
        , reporter(shared, control)
        , shoot(control, reporter, [this] { follow.start(); }) {
        follow.setInterval(kFollowMs);
        QObject::connect(&follow, &QTimer::timeout, [this] { followTable(); });
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void receive(int why) {
        if (why == kNoticeCall) {
            if (shared->takeNotice()) {
                shoot.notice();
            }
        } else if (why == kDisconnectedCall) {
            lost();
        } else {
            runCommands();
        }
    }

private:
    void runCommands() {
        while (const std::optional<Command> next = shared->takeCommand()) {
            const Command& c = *next;
            if (waitsForTheShoot(c.kind) && shoot.isRunning()) {
                reporter.failed(LxAbstractPlugin::ErrorCode::ShootRunning,
                                LxShootRefusals::shootRunningReason());
                continue;
            }
            if (startsAMove(c.kind) && LxShootRefusals::refuseWhileTurning(control)) {
                reporter.failed();
                continue;
            }
            run(c);
            reporter.tellState();
        }
    }

    void run(const Command& c) {
        switch (c.kind) {
        case Command::Kind::Find:
            find();
            break;
        case Command::Kind::Open:
            open(c.model);
            break;
        case Command::Kind::Close:
            stopShoot();
            control.closeDevice();
            settleStoppedMoves();
            break;
        case Command::Kind::RotateBy:
            rotateBy(c.degrees);
            break;
        case Command::Kind::RotateTo: {
            const double way =
                std::remainder(c.degrees - clockwiseDegrees(control.positionInDegrees()), 360.0);
            // remainder() gives -180 or 180 for half a turn as the halves
            // fall: the header promises clockwise.
            rotateBy(way == -180.0 ? 180.0 : way);
            break;
        }
        case Command::Kind::RotateCounts:
            if (c.counts != 0) {
                // A negative count turns the other way.
                control.SetRotationClockwise();
                control.SetRotationIncrementInCounts(c.counts);
                startMove();
            }
            break;
        case Command::Kind::TurnContinuously:
            turnContinuously(c.clockwise);
            break;
        case Command::Kind::Stop:
            // A shoot whose move is stopped would wait for its end forever.
            if (shoot.isRunning()) {
                stopShoot();
            } else {
                control.stopRotation();
                settleStoppedMoves();
            }
            break;
        case Command::Kind::FireShutter:
            if (!control.shutterReleaseCameraHardware()) {
                reporter.failed(LxAbstractPlugin::ErrorCode::Unspecified,
                                QObject::tr("The shutter cannot be fired: open a stepper "
                                            "turntable and let it stand."));
            }
            break;
        case Command::Kind::ApplySettings:
            applySettings(c.plan);
            break;
        case Command::Kind::StartShoot:
            startShoot(c.plan);
            break;
        case Command::Kind::StopShoot:
            stopShoot();
            break;
        case Command::Kind::CaptureTaken:
            shoot.captureTaken();
            break;
        case Command::Kind::SetAutoAdvance:
            shoot.setAutoAdvance(c.autoAdvance);
            break;
        }
    }

    void find() {
        reporter.state.models.clear();
        for (const std::string& name : control.availableDevices()) {
            reporter.state.models.append(QString::fromStdString(name));
        }
        if (reporter.state.models.isEmpty()) {
            reporter.failed();
        }
    }

    void open(int model) {
        // As an unsigned index it would name a model some 18 digits long.
        if (model < 0) {
            reporter.failed(LxAbstractPlugin::ErrorCode::InvalidModelIndex,
                            QObject::tr("There is no turntable model %1: the models are 0 to %2.")
                                .arg(model)
                                .arg(LxTurntableHardware::TurntableModelCount - 1));
            return;
        }
        bool opened = false;
        control.openDevice(static_cast<unsigned long>(model), &opened);
        settleStoppedMoves();
        // A refused open leaves the turntable open before open as it was;
        // one that failed has closed it, which tellState() shows.
        if (opened) {
            reporter.state.model = model;
        } else {
            reporter.failed();
        }
    }

    // The captures' angles with the settings, for a host to show before its
    // shoot starts.
    void applySettings(const LxShootPlan& plan) {
        if (!control.applyShootSettings(plan)) {
            reporter.failed();
            return;
        }
        QVariantList planned = plannedAnglesOf(plan);
        if (!planned.isEmpty()) {
            reporter.state.plannedAngles = std::move(planned);
        }
    }

    void rotateBy(double degrees) {
        // A negative angle turns the other way.
        control.SetRotationClockwise();
        if (control.SetRotationIncrementInDegrees(degrees) == 0.0) {
            reporter.failed(LxAbstractPlugin::ErrorCode::Unspecified,
                            QObject::tr("Nothing to turn: no turntable open, no counts per "
                                        "revolution, or less than half a count."));
            return;
        }
        startMove();
    }

    void turnContinuously(bool clockwise) {
        if (clockwise) {
            control.SetRotationClockwise();
        } else {
            control.SetRotationCounterClockwise();
        }
        control.SetRotationIncrementInCounts(0);
        startMove();
    }

    void startMove() {
        tellEndedMove();
        if (!control.startRotation()) {
            reporter.failed(LxAbstractPlugin::ErrorCode::Unspecified,
                            QObject::tr("The move cannot start: no turntable open, a move or a "
                                        "shoot running, or nothing to turn."));
            return;
        }
        moving = true;
        follow.start();
    }

    // While a move runs: the position, the end of the move, and whether the
    // shoot's notice can still come.
    void followTable() {
        reporter.tellState();
        tellEndedMove();
        if (shoot.isNoticeLost(control.IsTurntableRotating())) {
            reporter.failed(LxAbstractPlugin::ErrorCode::Unspecified,
                            QObject::tr("The turntable's notices no longer reach this object: "
                                        "the plug-in callbacks were assigned anew. The shoot "
                                        "is stopped."));
            stopShoot();
        }
        if (!moving && !shoot.isMoveOutstanding()) {
            follow.stop();
        }
    }

    // The end of a move started here, once, also when it ended since the
    // last look and another move or a shoot starts now.
    void tellEndedMove() {
        if (moving && !control.IsTurntableRotating()) {
            moving = false;
            reporter.tellState();
            reporter.tell(Event(Event::Kind::MoveEnded));
        }
    }

    // After the controller stopped or closed the table. The stop drops the
    // notice that waits for its pre-capture delay, but one already being
    // given reaches this worker later, maybe once the next shoot's move has
    // started, where it would pass for that move's end: wait until it has
    // been handed over, and drop it with those not taken yet. Only this
    // controller's: a plug-in host may hold its own notices as long as it
    // likes, waiting for its thread, which may be waiting for this one. The
    // move cut short is told ended before whatever comes next begins.
    void settleStoppedMoves() {
        waitForNoticesOf(&control);
        shared->dropNotices();
        shoot.forgetMove();
        tellEndedMove();
    }

    void startShoot(const LxShootPlan& plan) {
        // Without a notice callback the controller tells no move's end.
        if (!isNoticeCallbackAssigned()) {
            reporter.failed(LxAbstractPlugin::ErrorCode::Unspecified,
                            QObject::tr("No shoot can run: the plug-in callback of the "
                                        "turntable's notices has been cleared."));
            return;
        }
        tellEndedMove();
        shoot.start(plan);
    }

    void stopShoot() {
        if (reporter.state.shoot != KalveraTurntable::ShootState::Running) {
            return;
        }
        shoot.stopTable();
        settleStoppedMoves();
        shoot.end(false);
    }

    void lost() {
        moving = false;
        shoot.end(false);
        reporter.failed();
        reporter.tell(Event(Event::Kind::Disconnected));
    }

    const std::shared_ptr<Shared> shared;
    // Before the controller: undone after it.
    const ControllerRegistration registration;
    LxKalveraTurntableControl control;
    Reporter reporter;
    QTimer follow;
    ShootSequence shoot;
    bool moving = false;
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
    Worker worker(shared);
    auto* box = new LxThreadMailbox([&worker](int why) { worker.receive(why); });
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->workerBox = box;
        shared->workerDispatcher = QAbstractEventDispatcher::instance();
    }
    // What the object asked before the loop ran.
    box->send(kCommandsCall);
    // Not exec(): its end would need an event, and an event is no longer
    // delivered once the application object has gone.
    while (!shared->quitRequested()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        // What exec() would do: delete what this thread's objects left for
        // deletion.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->workerBox = nullptr;
        shared->workerDispatcher = nullptr;
    }
    LxThreadMailbox::destroy(box);
}

} // namespace kalveraturntable
