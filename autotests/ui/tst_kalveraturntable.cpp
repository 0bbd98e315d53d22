#include "KalveraTurntable.h"
#include "LxTurntableHardware.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Shoot = KalveraTurntable::ShootState;

namespace {

// Hears each signal of a turntable, as a host that connects them all: each
// must come, on the object's thread.
class EverySignal : public QObject {
    Q_OBJECT
public:
    explicit EverySignal(const KalveraTurntable* turntable) {
        const QMetaObject& meta = KalveraTurntable::staticMetaObject;
        const QMetaMethod hear = staticMetaObject.method(staticMetaObject.indexOfSlot("hear()"));
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod signal = meta.method(i);
            if (signal.methodType() == QMetaMethod::Signal) {
                connect(turntable, signal, this, hear, Qt::DirectConnection);
                faults.insert("unheard " + signal.name().toStdString());
            }
        }
    }
    bool heard(const char* signal) const {
        return faults.count(std::string("unheard ") + signal) == 0;
    }

    std::set<std::string> faults;

public slots:
    void hear() {
        if (QThread::currentThread() != thread()) {
            faults.insert("a signal on another thread");
            return;
        }
        faults.erase("unheard " +
                     sender()->metaObject()->method(senderSignalIndex()).name().toStdString());
    }
};

// A "Custom" table of 72 steps a turn (5 degrees a step), 11 ms a step, on the
// simulated bus, and what the object told the host, in order.
class KalveraTurntableTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        device = Bus::instance().devices().at(0);
        turntable = std::make_unique<KalveraTurntable>();
        record(&KalveraTurntable::rotatingChanged,
               [this] { return std::string("rotating ") + (turntable->isRotating() ? "1" : "0"); });
        record(&KalveraTurntable::moveEnded, [] { return std::string("moveEnded"); });
        record(&KalveraTurntable::shootChanged,
               [this] { return "shoot " + std::to_string(static_cast<int>(turntable->shoot())); });
        record(&KalveraTurntable::shootFinished, [] { return std::string("finished"); });
        record(&KalveraTurntable::disconnected, [] { return std::string("disconnected"); });
        record(&KalveraTurntable::captureCountChanged,
               [this] { return "count " + std::to_string(turntable->captureCount()); });
        record(&KalveraTurntable::captureIndexChanged,
               [this] { return "index " + std::to_string(turntable->captureIndex()); });
        QObject::connect(turntable.get(), &KalveraTurntable::moveEnded, [this] {
            ended.push_back({turntable->position(), table().position()});
        });
        QObject::connect(turntable.get(), &KalveraTurntable::positionChanged,
                         [this] { positions.push_back(turntable->position()); });
        QObject::connect(
            turntable.get(), &KalveraTurntable::captureReady, [this](int index, double angle) {
                log.push_back("capture " + std::to_string(index));
                captures.push_back({index, angle, table().position(), turntable->position(),
                                    Clock::now(), lastStepTime()});
            });
        turntable->findTurntables();
        turntable->open(0);
        ASSERT_TRUE(processEventsUntil([this] { return turntable->isOpened(); }))
            << turntable->lastError().toStdString();
    }
    void TearDown() override {
        turntable.reset();
        EXPECT_TRUE(everyOnItsThread) << "a signal came on another thread";
        Bus::instance().reset();
    }

    template <typename Signal, typename Text>
    void record(Signal signal, Text text) {
        QObject::connect(turntable.get(), signal, [this, text] {
            everyOnItsThread = everyOnItsThread && QThread::currentThread() == qApp->thread();
            log.push_back(text());
        });
    }
    // Also once unplugged.
    ftdisim::StepperTable& table() const { return Bus::instance().rig(device)->stepperTable(); }
    void unplug() const { Bus::instance().unplug(device); }
    Clock::time_point lastStepTime() const {
        const auto steps = table().stepTimes();
        return steps.empty() ? Clock::time_point{} : steps.back();
    }
    static LxShootPlan plan(unsigned int frames) {
        LxShootPlan plan;
        plan.frames = frames;
        plan.countsPerRevolution = 72;
        plan.clockwiseActiveHigh = true;
        plan.motorEnableActiveHigh = true;
        plan.speed = 0;
        return plan;
    }
    // Moves of a few steps, for what needs no long move.
    static LxShootPlan quickPlan(unsigned int frames) {
        LxShootPlan quick = plan(frames);
        quick.countsPerRevolution = 8;
        return quick;
    }
    // Brings each signal of a turntable made on the calling thread, whose
    // loop runs here: what was not heard, or heard on another thread.
    std::set<std::string> faultsOfEverySignal() const {
        KalveraTurntable own;
        EverySignal every(&own);
        const auto until = [&](const char* signal) {
            processEventsUntil([&] { return every.heard(signal); }, 10s);
        };
        own.setAutoAdvance(true);
        own.findTurntables();
        own.open(0);
        until("openedChanged");
        own.startShoot(quickPlan(2));
        until("shootFinished");
        own.rotateBy(1.0); // less than half a count
        until("errorOccurred");
        own.turnContinuously(true);
        processEventsUntil([&] { return own.isRotating(); });
        unplug();
        until("disconnected");
        // Stepper moves stay per-edge writes where a busy machine kept the
        // chip's clock from being timed: nothing to tell then.
        if (!own.isChipClocked()) {
            every.faults.erase("unheard chipClockedChanged");
        }
        return every.faults;
    }
    std::vector<std::string> logOf(const std::vector<std::string>& names) const {
        std::vector<std::string> kept;
        for (const std::string& entry : log) {
            for (const std::string& name : names) {
                if (entry.rfind(name, 0) == 0) {
                    kept.push_back(entry);
                }
            }
        }
        return kept;
    }

    struct Capture {
        int index;
        double angle;
        long long tableAt;
        double position;
        Clock::time_point told;
        Clock::time_point lastStep;
    };
    // Where the object and the simulated table said the table stood at a moveEnded().
    struct Ended {
        double position;
        long long tableAt;
    };
    ftdisim::DeviceId device{};
    std::unique_ptr<KalveraTurntable> turntable;
    std::vector<std::string> log;
    std::vector<double> positions;
    std::vector<Capture> captures;
    std::vector<Ended> ended;
    bool everyOnItsThread = true;
};

TEST_F(KalveraTurntableTest, AShootTellsEachCaptureWithTheTableStandingAtItsAngle) {
    LxShootPlan fourFrames = plan(4);
    fourFrames.preCaptureDelaySeconds = 0.1f;
    QObject::connect(turntable.get(), &KalveraTurntable::captureReady, turntable.get(),
                     &KalveraTurntable::captureTaken);
    bool completed = false;
    QObject::connect(turntable.get(), &KalveraTurntable::shootFinished,
                     [&](bool done) { completed = done; });
    turntable->startShoot(fourFrames);
    ASSERT_TRUE(processEventsUntil([&] { return completed; }, 20s));

    ASSERT_EQ(captures.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(captures[k].index, k + 1);
        EXPECT_EQ(captures[k].angle, 90.0 * k);
        EXPECT_EQ(captures[k].tableAt, -18 * k) << "clockwise from the start";
        if (k > 0) {
            EXPECT_GE(captures[k].told - captures[k].lastStep, 100ms) << "pre-capture delay";
        }
    }
    EXPECT_EQ(logOf({"shoot", "capture", "moveEnded", "finished"}),
              (std::vector<std::string>{"shoot 1", "capture 1", "moveEnded", "capture 2",
                                        "moveEnded", "capture 3", "moveEnded", "capture 4",
                                        "moveEnded", "shoot 0", "finished"}));
    EXPECT_EQ(table().position(), -72);
    EXPECT_EQ(turntable->captureCount(), 0);
    EXPECT_EQ(turntable->plannedAngles(), (QVariantList{0.0, 90.0, 180.0, 270.0}))
        << "kept from the shoot started last";
}

TEST_F(KalveraTurntableTest, TheCameraFiredThroughTheTableKeepsTheHostsThreadFree) {
    // The shutter release holds its caller about 1 s: the host's loop must
    // run on meanwhile.
    LxShootPlan withShutter = plan(2);
    withShutter.triggerShutterRelease = true;
    turntable->setAutoAdvance(true);
    bool completed = false;
    QObject::connect(turntable.get(), &KalveraTurntable::shootFinished,
                     [&](bool done) { completed = done; });
    Clock::duration longestGap{};
    Clock::time_point lastTick = Clock::now();
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, Clock::now() - lastTick);
        lastTick = Clock::now();
    });
    ticks.start(20);
    const Clock::time_point started = Clock::now();
    turntable->startShoot(withShutter);
    ASSERT_TRUE(processEventsUntil([&] { return completed; }, 20s));

    EXPECT_EQ(Bus::instance().rig(device)->camera().captures().size(), 2u);
    EXPECT_GE(Clock::now() - started, 1800ms) << "two releases of about 1 s";
    EXPECT_LT(longestGap, 500ms) << "the host's thread waited for the shutter";
}

TEST_F(KalveraTurntableTest, AShootAtCaptureAnglesTellsEachCaptureAfterItsIndexAndPosition) {
    LxShootPlan angles = plan(1);
    angles.useCaptureAngles = true;
    angles.captureAngles = {45.0f, 135.0f, 270.0f};
    QObject::connect(turntable.get(), &KalveraTurntable::captureReady, turntable.get(),
                     &KalveraTurntable::captureTaken);
    turntable->startShoot(angles);
    ASSERT_TRUE(processEventsUntil([&] { return !logOf({"finished"}).empty(); }, 20s));

    const std::vector<double> planned{0.0, 45.0, 135.0, 270.0};
    ASSERT_EQ(captures.size(), planned.size());
    for (std::size_t k = 0; k < planned.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(captures[k].angle, planned[k]);
        EXPECT_EQ(captures[k].tableAt, -std::lround(planned[k] / 5.0)) << "clockwise, 5 a step";
        EXPECT_NEAR(std::remainder(captures[k].position - planned[k], 360.0), 0.0, 1e-9)
            << "the position's last change came before the capture";
    }
    ASSERT_EQ(ended.size(), planned.size());
    for (const Ended& end : ended) {
        EXPECT_NEAR(std::remainder(end.position + 5.0 * end.tableAt, 360.0), 0.0, 1e-9);
    }
    EXPECT_EQ(logOf({"count", "index", "shoot", "capture", "moveEnded", "finished"}),
              (std::vector<std::string>{"count 4", "index 1", "shoot 1", "capture 1", "moveEnded",
                                        "index 2", "capture 2", "moveEnded", "index 3", "capture 3",
                                        "moveEnded", "index 4", "capture 4", "moveEnded", "count 0",
                                        "index 0", "shoot 0", "finished"}));
}

TEST_F(KalveraTurntableTest, AMoveTellsItsPositionsThenItsEnd) {
    LxShootPlan slow = plan(1);
    slow.countsPerRevolution = 144;
    turntable->applySettings(slow);
    turntable->rotateBy(180.0);
    ASSERT_TRUE(processEventsUntil([&] { return !log.empty() && log.back() == "moveEnded"; }, 10s));
    EXPECT_EQ(logOf({"rotating", "moveEnded"}),
              (std::vector<std::string>{"rotating 1", "rotating 0", "moveEnded"}));
    EXPECT_EQ(turntable->position(), 180.0);
    EXPECT_EQ(table().position(), -72) << "clockwise";
    // 72 steps of 11 ms: a position told every 100 ms gives some 8 between
    // the ends; 2 leave room for a slow sanitizer on a busy machine.
    std::size_t between = 0;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        between += positions[k] > 0.0 && positions[k] < 180.0 ? 1 : 0;
        EXPECT_TRUE(k == 0 || positions[k] > positions[k - 1]) << "on the way, not elsewhere";
    }
    EXPECT_GE(between, 2u);
}

TEST_F(KalveraTurntableTest, AStoppedShootTurnsNoFurther) {
    // By stopShoot(), or by stop() as a host's one Stop button: the move to
    // capture 3 starts, and is stopped some 200 ms before it ends.
    for (const auto stop : {&KalveraTurntable::stopShoot, &KalveraTurntable::stop}) {
        log.clear();
        captures.clear();
        std::vector<bool> completed;
        const QMetaObject::Connection capture = QObject::connect(
            turntable.get(), &KalveraTurntable::captureReady, [this, stop](int index) {
                turntable->captureTaken();
                if (index == 2) {
                    (turntable.get()->*stop)();
                }
            });
        const QMetaObject::Connection finish =
            QObject::connect(turntable.get(), &KalveraTurntable::shootFinished,
                             [&](bool done) { completed.push_back(done); });
        turntable->startShoot(plan(4));
        ASSERT_TRUE(processEventsUntil([&] { return !completed.empty(); }, 10s));
        const auto steps = table().steps();
        processEventsUntil([] { return false; }, 300ms);
        EXPECT_EQ(table().steps(), steps);
        EXPECT_EQ(logOf({"shoot", "finished"}),
                  (std::vector<std::string>{"shoot 1", "shoot 2", "shoot 0", "finished"}));
        EXPECT_EQ(completed, std::vector<bool>{false});
        EXPECT_EQ(captures.size(), 2u);
        QObject::disconnect(capture);
        QObject::disconnect(finish);
    }
}

// The first turntable notice is slow to leave its rotation thread, as a busy
// machine may keep it: it goes on once release() is called, or after 2 s.
class SlowFirstNotice {
public:
    using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;
    SlowFirstNotice() {
        Callbacks::turntableRotationStopped = [this, notice = original](LxTurntableHardware* p) {
            std::unique_lock<std::mutex> guard(lock);
            if (!began) {
                began = true;
                released.wait_for(guard, 2s, [this] { return free; });
            }
            guard.unlock();
            notice(p);
        };
    }
    ~SlowFirstNotice() {
        Callbacks::turntableRotationStopped = original;
        Callbacks::waitForNotices();
    }
    bool hasBegun() {
        const std::lock_guard<std::mutex> guard(lock);
        return began;
    }
    void release() {
        const std::lock_guard<std::mutex> guard(lock);
        free = true;
        released.notify_all();
    }

private:
    const std::function<void(LxTurntableHardware*)> original = Callbacks::turntableRotationStopped;
    std::mutex lock;
    std::condition_variable released;
    bool began = false;
    bool free = false;
};

TEST_F(KalveraTurntableTest, AShootStartedAgainAtOnceTakesNothingOfTheStoppedOnesMove) {
    SlowFirstNotice slowNotice;
    QObject::connect(turntable.get(), &KalveraTurntable::captureReady, turntable.get(),
                     &KalveraTurntable::captureTaken);
    turntable->startShoot(plan(4));
    ASSERT_TRUE(processEventsUntil([&] { return slowNotice.hasBegun(); }, 5s));
    turntable->stopShoot();
    turntable->startShoot(plan(4));
    slowNotice.release();
    ASSERT_TRUE(processEventsUntil([&] { return logOf({"finished"}).size() == 2u; }, 20s));

    ASSERT_EQ(captures.size(), 5u) << "capture 1 of the stopped shoot, then the new one's";
    for (int k = 1; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(captures[k].index, k);
        EXPECT_EQ(captures[k].tableAt, -18 * k) << "standing where the first move left it, on";
    }
}

TEST_F(KalveraTurntableTest, SettingsTakenWithoutAShootTurnCustom) {
    std::vector<int> errors;
    QObject::connect(turntable.get(), &KalveraTurntable::errorOccurred,
                     [&](int code) { errors.push_back(code); });
    turntable->applySettings(plan(4));
    turntable->rotateBy(-90.0);
    ASSERT_TRUE(processEventsUntil([&] { return !logOf({"moveEnded"}).empty(); }, 10s));
    EXPECT_EQ(turntable->plannedAngles(), (QVariantList{0.0, 90.0, 180.0, 270.0}));
    EXPECT_EQ(table().position(), 18) << "72 counts a turn, counterclockwise";
    EXPECT_EQ(turntable->position(), 270.0);

    // Not under a running move; a move stopped tells its end before the next.
    turntable->turnContinuously(true);
    ASSERT_TRUE(processEventsUntil([&] { return turntable->isRotating(); }));
    turntable->applySettings(plan(1));
    turntable->stop();
    turntable->rotateBy(90.0);
    ASSERT_TRUE(processEventsUntil([&] { return logOf({"moveEnded"}).size() == 3u; }, 10s));
    EXPECT_EQ(errors,
              std::vector<int>{static_cast<int>(LxAbstractPlugin::ErrorCode::TurntableTurning)});
    EXPECT_EQ(logOf({"rotating", "moveEnded"}),
              (std::vector<std::string>{"rotating 1", "rotating 0", "moveEnded", "rotating 1",
                                        "rotating 0", "moveEnded", "rotating 1", "rotating 0",
                                        "moveEnded"}));
}

TEST_F(KalveraTurntableTest, RotateToTurnsTheShorterWayAndClockwiseAtHalfATurn) {
    turntable->applySettings(quickPlan(1)); // 45 degrees a count
    const std::vector<std::pair<double, int>> targets{
        {90.0, -2}, {270.0, -6}, {90.0, -10}, {45.0, -9}};
    for (std::size_t k = 0; k < targets.size(); ++k) {
        SCOPED_TRACE(targets[k].first);
        turntable->rotateTo(targets[k].first);
        ASSERT_TRUE(processEventsUntil([&] { return logOf({"moveEnded"}).size() == k + 1; }, 10s));
        EXPECT_EQ(table().position(), targets[k].second);
        EXPECT_EQ(turntable->position(), targets[k].first);
    }
}

TEST_F(KalveraTurntableTest, AnUnpluggedTableEndsTheShootWithNoFurtherCapture) {
    // Unplugged as the move to capture 3 starts, some 200 ms before it ends.
    QObject::connect(turntable.get(), &KalveraTurntable::captureReady, [this](int index) {
        if (index == 2) {
            QObject::connect(turntable.get(), &KalveraTurntable::rotatingChanged, [this] {
                if (turntable->isRotating()) {
                    unplug();
                }
            });
        }
        turntable->captureTaken();
    });
    turntable->startShoot(plan(4));
    ASSERT_TRUE(processEventsUntil([&] { return !logOf({"disconnected"}).empty(); }, 20s));
    processEventsUntil([] { return false; }, 200ms);
    EXPECT_FALSE(turntable->isOpened());
    EXPECT_EQ(turntable->shoot(), Shoot::Idle);
    EXPECT_EQ(logOf({"finished", "disconnected"}),
              (std::vector<std::string>{"finished", "disconnected"}));
    EXPECT_EQ(captures.size(), 2u);
}

TEST_F(KalveraTurntableTest, EachSignalComesOnTheObjectsThread) {
    turntable.reset();
    EXPECT_EQ(faultsOfEverySignal(), std::set<std::string>{});
}

TEST_F(KalveraTurntableTest, EachSignalOfAnObjectMadeOnAWorkerThreadComesThere) {
    turntable.reset();
    std::mutex lock;
    std::set<std::string> onWorker{"the worker did not run"};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        std::set<std::string> faults = faultsOfEverySignal();
        const std::lock_guard<std::mutex> guard(lock);
        onWorker = std::move(faults);
    }));
    worker->start();
    worker->wait();
    const std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(onWorker, std::set<std::string>{});
}

TEST_F(KalveraTurntableTest, DestroyedInsideItsSignalOrOnAnotherThread) {
    turntable.reset();
    // Inside `signal`, which `start` brings on an open turntable: the table stands.
    const auto destroyInside = [this](auto signal, const std::function<void()>& start) {
        turntable = std::make_unique<KalveraTurntable>();
        turntable->setAutoAdvance(true);
        QObject::connect(turntable.get(), signal, [this] { turntable.reset(); });
        turntable->findTurntables();
        turntable->open(0);
        ASSERT_TRUE(processEventsUntil([&] { return turntable->isOpened(); }));
        start();
        ASSERT_TRUE(processEventsUntil([&] { return !turntable; }, 10s));
        const auto steps = table().steps();
        processEventsUntil([] { return false; }, 200ms);
        EXPECT_EQ(table().steps(), steps);
    };
    // A shoot that goes on by itself.
    const auto shoot = [this] { turntable->startShoot(quickPlan(2)); };
    destroyInside(&KalveraTurntable::shootChanged, shoot);
    destroyInside(&KalveraTurntable::captureReady, shoot);
    // Mid-move: its first position is told some way into a move of 36 steps.
    destroyInside(&KalveraTurntable::positionChanged, [this] { turntable->startShoot(plan(2)); });
    destroyInside(&KalveraTurntable::moveEnded, shoot);
    destroyInside(&KalveraTurntable::shootFinished, shoot);
    // A move refused while another runs.
    destroyInside(&KalveraTurntable::errorOccurred, [this] {
        turntable->turnContinuously(true);
        turntable->rotateBy(90.0);
    });
    destroyInside(&KalveraTurntable::disconnected, [this] {
        turntable->turnContinuously(true);
        ASSERT_TRUE(processEventsUntil([&] { return turntable->isRotating(); }));
        unplug();
    });
    Bus::instance().reset();
    device = Bus::instance().devices().at(0);

    // Mid-move, from a thread the test joins before its loop runs again.
    turntable = std::make_unique<KalveraTurntable>();
    turntable->findTurntables();
    turntable->open(0);
    turntable->turnContinuously(true);
    ASSERT_TRUE(processEventsUntil([&] { return turntable->isRotating(); }));
    std::unique_ptr<QThread> destroyer(QThread::create([this] { turntable.reset(); }));
    destroyer->start();
    destroyer->wait();
    const auto stepsAfter = table().steps();
    processEventsUntil([] { return false; }, 200ms);
    EXPECT_EQ(table().steps(), stepsAfter);
}

} // namespace

#include "tst_kalveraturntable.moc"
