// The controller destroyed, the device closed and the view closed in the
// middle of a shoot: while the table turns, and while a post-capture timer
// waits. Nothing may act on what is gone, no thread may be left, and the SDK
// works afterwards.
#include "LxSettingsKeys.h"
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using Private = LxTurntableHardware::TurntableHardwarePrivate;

namespace {

class Teardown : public ReliabilityTest {
protected:
    // A shoot of 4 captures whose moves of 180 steps of 2 ms take at least 0.54 s.
    void startShoot(double postDelay) {
        ASSERT_TRUE(openModel(*control, 0));
        QVariantMap settings = shootSettings(4, 720, 0.0, postDelay);
        settings[LxSettingsKeys::rotationSpeed] = 8;
        ASSERT_TRUE(planShoot(settings)) << control->lastError().toStdString();
        hostOf(*control).start(evenAngles(4));
        // The first capture has no move: its notice comes at once.
        ASSERT_TRUE(processEventsUntil([&] { return hostOf(*control).stepsTaken() == 2; }));
    }
    void waitForTheMove() {
        ASSERT_TRUE(processEventsUntil([&] { return rig(chip()).stepperTable().steps() >= 20; }));
        ASSERT_TRUE(control->IsTurntableRotating());
    }
    static void runEventLoopFor(std::chrono::milliseconds time) {
        QElapsedTimer timer;
        timer.start();
        processEventsUntil([&] { return timer.elapsed() >= time.count(); }, time + 1s);
    }
    // The host disposes of the view; the shoot runs to its end without it.
    void closeViewAndFinishTheShoot() {
        EXPECT_TRUE(closeView());
        item.reset();
        ShootingHost& host = hostOf(*control);
        ASSERT_TRUE(processEventsUntil([&] { return host.finished(); }, 30s));
        ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
        EXPECT_EQ(noticeCount(HostNotice::RotationStopped, control.get()), 4u);
        EXPECT_EQ(rig(chip()).stepperTable().position(), -720);
        expectRulesKept();
    }
    static void expectRulesKept() {
        // The shoot steps at 1 ms, a fresh controller at full speed.
        pinprotocol::StepperExpectations rules(0ms);
        const auto report = pinprotocol::checkStepperProtocol(bus().trace(chip()), rules);
        EXPECT_TRUE(report.ok()) << report;
    }
    // The table turns again: through a new controller when the last one went,
    // or through the same one once the host closed its view.
    void expectUsableAgain() {
        EXPECT_FALSE(bus().stats(chip()).open);
        if (!control) {
            control = std::make_unique<LxKalveraTurntableControl>();
        }
        if (viewOpen) {
            closeView();
        }
        ASSERT_TRUE(openModel(*control, 0));
        control->SetCountsPerRevolution(72);
        EXPECT_TRUE(shortMoveWorks(*control, chip(), 9));
        expectRulesKept();
    }
};

TEST_F(Teardown, ControllerDestroyedWhileTheTableTurns) {
    startShoot(0.0);
    waitForTheMove();
    LxTurntableHardware* const gone = control.get();
    // The host left the view open: the controller releases it.
    viewOpen = false;
    control.reset();
    dropHost(gone);
    item.reset();
    const long long stoppedAt = rig(chip()).stepperTable().position();
    runEventLoopFor(300ms);
    EXPECT_EQ(rig(chip()).stepperTable().position(), stoppedAt);
    EXPECT_LE(noticeCount(HostNotice::RotationStopped, gone), 2u);
    EXPECT_TRUE(threadsBackToStart());
    expectUsableAgain();
}

// A host that lets its controller go on a worker thread at shutdown: the
// rotation thread, which reads the controller at its end, must be gone first.
TEST_F(Teardown, ControllerDestroyedOnAnotherThreadWhileTheTableTurns) {
    startShoot(0.0);
    waitForTheMove();
    closeView();
    LxTurntableHardware* const gone = control.get();
    std::thread([owned = std::move(control)]() mutable { owned.reset(); }).join();
    dropHost(gone);
    EXPECT_FALSE(bus().stats(chip()).open) << "closed before the destructor returned";
    const long long stoppedAt = rig(chip()).stepperTable().position();
    runEventLoopFor(300ms);
    EXPECT_EQ(rig(chip()).stepperTable().position(), stoppedAt);
    EXPECT_TRUE(threadsBackToStart());
    expectUsableAgain();
}

TEST_F(Teardown, ControllerDestroyedWhileATimerWaits) {
    startShoot(0.3);
    const unsigned long long steps = rig(chip()).stepperTable().steps();
    closeView();
    dropHost(control.get());
    control.reset();
    runEventLoopFor(600ms);
    EXPECT_EQ(rig(chip()).stepperTable().steps(), steps) << "the timer went with its controller";
    EXPECT_TRUE(threadsBackToStart());
    expectUsableAgain();
}

TEST_F(Teardown, DeviceClosedWhileTheTableTurns) {
    startShoot(0.0);
    waitForTheMove();
    control->closeDevice();
    dropHost(control.get());
    EXPECT_FALSE(control->isTurntableOpened());
    EXPECT_FALSE(bus().stats(chip()).open);
    const unsigned long long steps = rig(chip()).stepperTable().steps();
    runEventLoopFor(300ms);
    EXPECT_EQ(rig(chip()).stepperTable().steps(), steps);
    EXPECT_TRUE(threadsBackToStart());
    expectUsableAgain();
}

TEST_F(Teardown, DeviceClosedWhileATimerWaits) {
    startShoot(0.3);
    const unsigned long long steps = rig(chip()).stepperTable().steps();
    control->closeDevice();
    dropHost(control.get());
    runEventLoopFor(600ms);
    EXPECT_EQ(rig(chip()).stepperTable().steps(), steps) << "no move without a device";
    EXPECT_FALSE(control->isTurntableOpened());
    expectUsableAgain();
}

TEST_F(Teardown, ViewClosedWhileTheTableTurnsTheShootGoesOn) {
    startShoot(0.0);
    waitForTheMove();
    closeViewAndFinishTheShoot();
}

TEST_F(Teardown, ViewClosedWhileATimerWaitsTheShootGoesOn) {
    startShoot(0.3);
    closeViewAndFinishTheShoot();
}

// Hosts that tear down from a notice by handing the controller to a worker
// thread and joining it: when the cable is pulled (hardwareDisconnected, on
// the controller's thread) and at a capture (on the rotation thread).
TEST_F(Teardown, ControllerDestroyedFromANoticeThroughAJoinedWorker) {
    const auto shootingHostsNotice = Private::turntableRotationStopped;
    const auto shootingHostsDisconnect = Private::hardwareDisconnected;
    for (const bool atCapture : {false, true}) {
        SCOPED_TRACE(atCapture ? "at a capture" : "when the cable is pulled");
        if (!control) {
            control = std::make_unique<LxKalveraTurntableControl>();
        }
        std::atomic<bool> destroyed{false};
        auto destroyThroughAWorker = [&] {
            std::thread([owned = std::move(control)]() mutable { owned.reset(); }).join();
            destroyed = true;
        };
        // Assigned before the open, as hosts do: the first capture's notice
        // drives the shoot on, the next one tears down once the host is done
        // with its view.
        std::atomic<int> captures{0};
        std::atomic<bool> viewClosed{false};
        if (atCapture) {
            Private::turntableRotationStopped = [&](LxTurntableHardware* plugin) {
                if (++captures == 1) {
                    shootingHostsNotice(plugin);
                    return;
                }
                while (!viewClosed) {
                    std::this_thread::sleep_for(1ms);
                }
                destroyThroughAWorker();
            };
        } else {
            Private::hardwareDisconnected = [&](LxTurntableHardware*, unsigned long) {
                destroyThroughAWorker();
            };
        }
        startShoot(0.0);
        closeView();
        LxTurntableHardware* const gone = control.get();
        viewClosed = true;
        if (!atCapture) {
            waitForTheMove();
            bus().unplug(chip());
        }
        ASSERT_TRUE(processEventsUntil([&] { return destroyed.load(); }, 20s));
        dropHost(gone);
        EXPECT_TRUE(threadsBackToStart());
        Private::turntableRotationStopped = shootingHostsNotice;
        Private::hardwareDisconnected = shootingHostsDisconnect;
        Private::waitForNotices();
        if (!atCapture) {
            bus().attach();
        }
    }
    expectUsableAgain();
}

} // namespace
