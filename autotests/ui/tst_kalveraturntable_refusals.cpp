// What KalveraTurntable refuses, and what it shares with the rest of the
// process: the plug-in callbacks and the thread it lives on.
#include "KalveraTurntable.h"
#include "LxAbstractPlugin.h"
#include "LxKalveraTurntableControl.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QThread>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using ftdisim::Bus;
using namespace std::chrono_literals;
using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;
using ErrorCode = LxAbstractPlugin::ErrorCode;

namespace {

// A plug-in host's own callbacks, assigned as such a host assigns them at its
// start, before any KalveraTurntable is made: the controllers they hear from.
struct HostCallbacks {
    HostCallbacks() {
        Callbacks::hardwareOpenSucceeded = [this](LxTurntableHardware* p, unsigned long, bool) {
            heard(p);
        };
        Callbacks::hardwareDisconnected = [this](LxTurntableHardware* p, unsigned long) {
            heard(p);
        };
        Callbacks::turntableRotationStopped = [this](LxTurntableHardware* p) {
            heard(p);
            std::unique_lock<std::mutex> guard(lock);
            released.wait(guard, [this] { return !holding; });
        };
    }
    void heard(LxTurntableHardware* control) {
        const std::lock_guard<std::mutex> guard(lock);
        from.push_back(control);
    }
    // While held, a notice waits, as one that waits for the host's GUI thread.
    void hold(bool held) {
        const std::lock_guard<std::mutex> guard(lock);
        holding = held;
        released.notify_all();
    }
    std::vector<LxTurntableHardware*> heardFrom() {
        const std::lock_guard<std::mutex> guard(lock);
        return from;
    }
    void forget() {
        const std::lock_guard<std::mutex> guard(lock);
        from.clear();
    }

    std::mutex lock;
    std::condition_variable released;
    bool holding = false;
    std::vector<LxTurntableHardware*> from;
};
HostCallbacks hostCallbacks;

// The notice callback assigned anew for a while, as a careless host might.
class ReassignedNotice {
public:
    explicit ReassignedNotice(std::function<void(LxTurntableHardware*)> notice) {
        assign(std::move(notice));
    }
    ~ReassignedNotice() {
        assign(kept);
        Callbacks::waitForNotices();
    }

private:
    void assign(std::function<void(LxTurntableHardware*)> notice) {
        const std::lock_guard<std::mutex> guard(
            LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
        Callbacks::turntableRotationStopped = std::move(notice);
    }
    const std::function<void(LxTurntableHardware*)> kept = Callbacks::turntableRotationStopped;
};

// "Custom", 72 steps a turn, on the simulated bus; the errors and captures
// the object told.
class KalveraTurntableRefusalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        hostCallbacks.forget();
        turntable = std::make_unique<KalveraTurntable>();
        QObject::connect(turntable.get(), &KalveraTurntable::errorOccurred,
                         [this](int code, const QString& text) {
                             errors.push_back({static_cast<ErrorCode>(code), text});
                         });
        QObject::connect(turntable.get(), &KalveraTurntable::captureReady,
                         [this](int index) { captures.push_back(index); });
        QObject::connect(turntable.get(), &KalveraTurntable::shootFinished, [this] { ++finished; });
        turntable->findTurntables();
        turntable->open(0);
        ASSERT_TRUE(processEventsUntil([this] { return turntable->isOpened(); }))
            << turntable->lastError().toStdString();
    }
    void TearDown() override {
        turntable.reset();
        Bus::instance().reset();
    }

    static ftdisim::StepperTable& table() {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable();
    }
    static LxShootPlan plan() {
        LxShootPlan plan;
        plan.frames = 4;
        plan.countsPerRevolution = 72;
        plan.clockwiseActiveHigh = true;
        plan.motorEnableActiveHigh = true;
        plan.speed = 0;
        return plan;
    }

    struct Error {
        ErrorCode code;
        QString text;
    };
    std::unique_ptr<KalveraTurntable> turntable;
    std::vector<Error> errors;
    std::vector<int> captures;
    int finished = 0;
};

TEST_F(KalveraTurntableRefusalsTest, AShootRefusesWhatWouldMoveTheTableUnderIt) {
    turntable->startShoot(plan());
    ASSERT_TRUE(processEventsUntil([&] { return captures.size() == 1u; }, 10s));
    turntable->rotateBy(45.0);
    turntable->rotateTo(90.0);
    turntable->rotateCounts(3);
    turntable->turnContinuously(true);
    turntable->fireShutter();
    turntable->applySettings(plan());
    turntable->open(0);
    turntable->startShoot(plan());
    ASSERT_TRUE(processEventsUntil([&] { return errors.size() == 8u; }, 10s));
    processEventsUntil([] { return false; }, 300ms);

    for (const Error& error : errors) {
        EXPECT_EQ(error.code, ErrorCode::ShootRunning);
        EXPECT_EQ(error.text, "A 360 product photography shoot is running. Let it end or stop "
                              "it first.");
    }
    EXPECT_EQ(table().steps(), 0u);
    EXPECT_EQ(captures, std::vector<int>{1}) << "no move's end taken for the shoot's";
    EXPECT_EQ(turntable->model(), 0);

    // The shoot goes on from where it waited.
    turntable->captureTaken();
    ASSERT_TRUE(processEventsUntil([&] { return captures.size() == 2u; }, 10s));
    EXPECT_EQ(table().position(), -18);
    turntable->stopShoot();
    ASSERT_TRUE(processEventsUntil([&] { return finished == 1; }, 10s));
}

TEST_F(KalveraTurntableRefusalsTest, ARefusedOpenKeepsTheOpenTurntableAndItsModel) {
    int modelChanges = 0;
    bool moveEnded = false;
    QObject::connect(turntable.get(), &KalveraTurntable::modelChanged, [&] { ++modelChanges; });
    QObject::connect(turntable.get(), &KalveraTurntable::moveEnded, [&] { moveEnded = true; });
    turntable->open(8);
    turntable->open(-1);
    turntable->applySettings(plan());
    turntable->rotateCounts(2);
    ASSERT_TRUE(processEventsUntil([&] { return moveEnded; }, 10s));
    EXPECT_EQ(table().position(), -2) << "turned clockwise by the turntable still open";
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].code, ErrorCode::InvalidModelIndex);
    EXPECT_EQ(errors[1].code, ErrorCode::InvalidModelIndex);
    EXPECT_EQ(errors[1].text, "There is no turntable model -1: the models are 0 to 7.");
    EXPECT_TRUE(turntable->isOpened());
    EXPECT_EQ(turntable->model(), 0);
    EXPECT_EQ(modelChanges, 0);
}

TEST_F(KalveraTurntableRefusalsTest, AMoveAskedForDuringAnotherLeavesItsPositionAsItWas) {
    int moveEnds = 0;
    QObject::connect(turntable.get(), &KalveraTurntable::moveEnded, [&] { ++moveEnds; });
    // 5 degrees a step; the table's steps grow counterclockwise.
    const auto tableDegrees = [] { return std::fmod(-table().position() * 5.0 + 360.0, 360.0); };
    turntable->applySettings(plan());
    turntable->rotateBy(180.0);
    turntable->rotateBy(90.0);
    ASSERT_TRUE(processEventsUntil([&] { return moveEnds == 1; }, 10s));
    EXPECT_EQ(table().position(), -36);
    EXPECT_EQ(turntable->position(), tableDegrees());

    turntable->turnContinuously(true);
    turntable->rotateBy(-90.0);
    ASSERT_TRUE(processEventsUntil([&] { return table().position() <= -40; }, 10s));
    turntable->stop();
    ASSERT_TRUE(processEventsUntil([&] { return moveEnds == 2; }, 10s));
    EXPECT_EQ(turntable->position(), tableDegrees());
    ASSERT_EQ(errors.size(), 2u);
    for (const Error& error : errors) {
        EXPECT_EQ(error.code, ErrorCode::TurntableTurning);
        EXPECT_EQ(error.text, "The turntable is turning. Stop it first.");
    }
}

TEST_F(KalveraTurntableRefusalsTest, DestroyedItDropsWhatHasNotStarted) {
    for (int k = 0; k < 4; ++k) {
        turntable->fireShutter();
    }
    const auto start = std::chrono::steady_clock::now();
    turntable.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms)
        << "at most the shutter release already running, about 1 s";
}

TEST_F(KalveraTurntableRefusalsTest, ControllersOfNoObjectStillReachTheHostsCallbacks) {
    // The object's own open reached the object only.
    EXPECT_TRUE(hostCallbacks.heardFrom().empty());
    LxKalveraTurntableControl hostsOwn;
    std::thread rotationThread([&] { hostsOwn.turntableRotationStopped(); });
    rotationThread.join();
    hostsOwn.hardwareDisconnected(0);
    hostsOwn.hardwareOpenSucceeded(0, true);
    EXPECT_EQ(hostCallbacks.heardFrom(), std::vector<LxTurntableHardware*>(3, &hostsOwn));
}

// For ThreadSanitizer: every call copies the callback under the lock under
// which the callback is assigned anew.
TEST_F(KalveraTurntableRefusalsTest, ACallbackMayBeAssignedAnewWhileAHostsThreadCallsIt) {
    LxKalveraTurntableControl hostsOwn;
    std::thread hostsThread([&] {
        for (int i = 0; i < 50; ++i) {
            hostsOwn.turntableRotationStopped();
        }
    });
    {
        ReassignedNotice swallowed([](LxTurntableHardware*) {});
    }
    hostsThread.join();
    EXPECT_LE(hostCallbacks.heardFrom().size(), 50u);
}

TEST_F(KalveraTurntableRefusalsTest, AHostsOwnNoticeHeldDoesNotHoldTheObjectsClose) {
    Bus::instance().attach();
    LxKalveraTurntableControl hostsOwn;
    ASSERT_FALSE(hostsOwn.availableDevices().empty());
    hostsOwn.openDevice(0);
    ASSERT_TRUE(hostsOwn.planShoot(plan())) << hostsOwn.lastError().toStdString();
    hostCallbacks.hold(true);
    ASSERT_TRUE(hostsOwn.rotateDeviceToAngle(90.0f));
    ASSERT_TRUE(processEventsUntil([] { return hostCallbacks.heardFrom().size() == 2u; }, 10s));

    turntable->close();
    const bool closed = processEventsUntil([this] { return !turntable->isOpened(); }, 10s);
    hostCallbacks.hold(false);
    Callbacks::waitForNotices();
    EXPECT_TRUE(closed) << "the object waited for another controller's notice";
    EXPECT_EQ(hostCallbacks.heardFrom(), std::vector<LxTurntableHardware*>(2, &hostsOwn));
}

TEST_F(KalveraTurntableRefusalsTest, AShootWhoseNoticesAreTakenAwayEndsWithAnError) {
    {
        ReassignedNotice cleared(nullptr);
        turntable->startShoot(plan());
        ASSERT_TRUE(processEventsUntil([&] { return errors.size() == 1u; }, 10s));
        EXPECT_EQ(turntable->shoot(), KalveraTurntable::ShootState::Idle);
    }
    ReassignedNotice swallowed([](LxTurntableHardware*) {});
    turntable->setAutoAdvance(true);
    turntable->startShoot(plan());
    ASSERT_TRUE(processEventsUntil([&] { return finished == 1; }, 20s));
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(captures, std::vector<int>{1});
    EXPECT_EQ(turntable->shoot(), KalveraTurntable::ShootState::Idle);
}

TEST_F(KalveraTurntableRefusalsTest, MovedToAnotherThreadItsSignalsComeThere) {
    QThread elsewhere;
    KalveraTurntable* moved = turntable.release();
    moved->moveToThread(&elsewhere);
    QObject::connect(&elsewhere, &QThread::finished, moved, &QObject::deleteLater);
    std::mutex lock;
    std::vector<QThread*> signalledOn;
    bool destroyed = false;
    QObject::connect(moved, &KalveraTurntable::moveEnded, [&] {
        const std::lock_guard<std::mutex> guard(lock);
        signalledOn.push_back(QThread::currentThread());
        QThread::currentThread()->quit();
    });
    QObject::connect(moved, &QObject::destroyed, [&] {
        const std::lock_guard<std::mutex> guard(lock);
        destroyed = true;
    });
    // Asked before the thread starts, so that ThreadSanitizer sees the
    // hand-over, which Qt's event queue hides from it.
    QMetaObject::invokeMethod(
        moved,
        [moved] {
            moved->applySettings(plan());
            moved->rotateCounts(2);
        },
        Qt::QueuedConnection);
    elsewhere.start();
    if (!elsewhere.wait(20000)) {
        elsewhere.quit();
        elsewhere.wait();
        FAIL() << "no moveEnded on the thread the object went to";
    }
    // Nothing is left for the thread it came from.
    processEventsUntil([] { return false; }, 100ms);
    const std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(signalledOn, std::vector<QThread*>{&elsewhere});
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(table().position(), -2);
}

} // namespace
