#include "LxKalveraTurntableControl.h"
#include "LxThreadMailbox.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using Private = LxTurntableHardware::TurntableHardwarePrivate;
using namespace std::chrono_literals;

// The host's GUI thread: each turntable notice is handed to it and the
// rotation thread waits until the next step of the sequence has been taken
// there, as Qt::BlockingQueuedConnection does. The hand-over is a pipe and a
// promise, which ThreadSanitizer can follow: Qt's own it cannot, and its
// copies of what it hands over would read as races.
class BlockingHost {
public:
    BlockingHost(LxKalveraTurntableControl& control, std::vector<float> angles)
        : control(control)
        , angles(std::move(angles)) {}

    // On the rotation thread, inside the notice.
    void handOver() {
        std::promise<void> taken;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stepTaken = &taken;
        }
        steps.send(0);
        taken.get_future().wait();
    }

    bool over = false;

private:
    void takeStep() {
        const float angle = taken < angles.size() ? angles[taken] : 0.0f;
        ++taken;
        over = !control.rotateDeviceToAngle(angle);
        std::lock_guard<std::mutex> lock(mutex);
        stepTaken->set_value();
    }

    LxKalveraTurntableControl& control;
    const std::vector<float> angles;
    std::size_t taken = 1;
    std::mutex mutex;
    std::promise<void>* stepTaken = nullptr;
    LxThreadMailbox steps{[this](int) { takeStep(); }};
};

namespace {

// The host's side of a sequence: what turntableRotationStopped told it.
struct Notice {
    Clock::time_point time;
    std::thread::id thread;
    LxTurntableHardware* plugin;
};

// A "Custom" stepper table of 72 steps per revolution (5 degrees a step, about
// 1 ms a step at full speed) on the simulated chip, with the event loop that
// the post-capture timers need.
class Positioning : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        Private::turntableRotationStopped = [this](LxTurntableHardware* plugin) {
            std::lock_guard<std::mutex> lock(noticesMutex);
            notices.push_back({Clock::now(), std::this_thread::get_id(), plugin});
        };
        control = std::make_unique<LxKalveraTurntableControl>();
        ASSERT_FALSE(control->availableDevices().empty());
        bool opened = false;
        control->openDevice(0, &opened);
        ASSERT_TRUE(opened);
        control->SetCountsPerRevolution(72);
    }
    void TearDown() override {
        control.reset();
        Private::turntableRotationStopped = nullptr;
        Bus::instance().reset();
    }

    void plan(unsigned short captures) {
        ASSERT_TRUE(control->LxTurntableHardware::complete360ProductPhotographyWillStart(&captures,
                                                                                         nullptr));
    }
    std::size_t noticeCount() {
        std::lock_guard<std::mutex> lock(noticesMutex);
        return notices.size();
    }
    Notice notice(std::size_t i) {
        std::lock_guard<std::mutex> lock(noticesMutex);
        return notices.at(i);
    }
    // Runs the event loop until `done` holds; fails the test after `limit`.
    static bool runUntil(const std::function<bool()>& done, Clock::duration limit = 20s) {
        const auto deadline = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    static void runFor(Clock::duration time) {
        const auto end = Clock::now() + time;
        while (Clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(1ms);
        }
    }
    static ftdisim::StepperTable& table() {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable();
    }
    bool moving() { return control->IsTurntableRotating(); }

    std::unique_ptr<LxKalveraTurntableControl> control;
    std::mutex noticesMutex;
    std::vector<Notice> notices;
};

TEST_F(Positioning, EachStepWaitsTurnsAndSettlesBeforeTheHostHears) {
    control->setDelaySeconds(0.3f, 0.2f);
    plan(2);

    const auto called = Clock::now();
    ASSERT_TRUE(control->rotateDeviceToAngle(90.0f));
    EXPECT_LT(Clock::now() - called, 150ms) << "the move starts later, from the timer";
    EXPECT_EQ(table().steps(), 0u);
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1; }));
    EXPECT_EQ(table().position(), -18) << "90 degrees clockwise";
    const auto steps = table().stepTimes();
    ASSERT_EQ(steps.size(), 18u);
    EXPECT_GE(steps.front() - called, 200ms) << "post-capture delay";
    EXPECT_GE(notice(0).time - steps.back(), 300ms) << "pre-capture delay";
    EXPECT_LT(notice(0).time - called, 10s);
    EXPECT_NE(notice(0).thread, std::this_thread::get_id()) << "told on the rotation thread";
    EXPECT_EQ(notice(0).plugin, control.get());

    // Angles count from the start: -45 is 45 degrees counterclockwise of it.
    ASSERT_TRUE(control->rotateDeviceToAngle(-45.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 2; }));
    EXPECT_EQ(table().position(), 9);

    // The call after the last capture ends the sequence and turns back to the start.
    EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
    EXPECT_EQ(control->lastError(), QStringLiteral("360 product photography completed."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SequenceCompleted);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
    EXPECT_EQ(control->complete360ProductPhotographyImageIndex(), 0);
    ASSERT_TRUE(runUntil([&] { return !moving(); }));
    EXPECT_EQ(table().position(), 72) << "315 degrees on, counterclockwise: the start again";
    runFor(200ms);
    EXPECT_EQ(noticeCount(), 2u) << "the return move is no capture";
}

TEST_F(Positioning, ASequenceClosingWithAWholeTurnDoesNotTurnBack) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    ASSERT_TRUE(control->rotateDeviceToAngle(360.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1; }));
    EXPECT_EQ(table().position(), -72);
    EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
    runFor(300ms);
    EXPECT_FALSE(moving());
    EXPECT_EQ(table().steps(), 72u);
}

// Frames finer than a count, and a custom angle that rounds onto the start:
// rounding half up leaves the table at or just past a later target, which is
// reached, not a whole turn away.
TEST_F(Positioning, AShootTurnsOneRevolutionWhateverTheRounding) {
    control->setDelaySeconds(0.0f, 0.0f);
    control->SetCountsPerRevolution(8);
    std::vector<float> frames;
    for (int k = 1; k <= 16; ++k) {
        frames.push_back(22.5f * static_cast<float>(k));
    }
    for (const std::vector<float>& angles : {frames, std::vector<float>{90, 180, 270, 350, 360}}) {
        SCOPED_TRACE(angles.size());
        const unsigned long long stepsBefore = table().steps();
        std::size_t told = noticeCount();
        plan(static_cast<unsigned short>(angles.size()));
        for (float angle : angles) {
            ASSERT_TRUE(control->rotateDeviceToAngle(angle));
            ++told;
            ASSERT_TRUE(runUntil([&] { return noticeCount() == told && !moving(); }));
        }
        EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
        runFor(200ms);
        EXPECT_EQ(table().steps() - stepsBefore, 8u) << "one revolution of 8 counts";
        EXPECT_EQ(table().position() % 8, 0) << "back at the start";
    }
}

TEST_F(Positioning, AStepThatTurnsNothingStillEnds) {
    control->setDelaySeconds(0.15f, 0.0f);
    plan(2);
    const auto called = Clock::now();
    ASSERT_TRUE(control->rotateDeviceToAngle(0.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1; }));
    EXPECT_GE(notice(0).time - called, 150ms) << "the pre-capture delay still applies";
    // Less than half a step away: nothing to turn either.
    ASSERT_TRUE(control->rotateDeviceToAngle(1.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 2; }));
    EXPECT_EQ(table().steps(), 0u);
}

TEST_F(Positioning, DelaysThatWereNeverSetCountAsNone) {
    EXPECT_LT(control->postDelaySeconds(), 0.0f);
    plan(1);
    const auto called = Clock::now();
    ASSERT_TRUE(control->rotateDeviceToAngle(-30.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1; }, 5s));
    EXPECT_EQ(table().position(), 6);
    EXPECT_LT(notice(0).time - called, 5s);
}

TEST_F(Positioning, MovesOutsideASequenceTellTheHostNothing) {
    control->setDelaySeconds(0.0f, 0.0f);
    control->SetRotationIncrementInCounts(10);
    ASSERT_TRUE(control->startRotation());
    ASSERT_TRUE(runUntil([&] { return !moving(); }));
    runFor(100ms);
    EXPECT_EQ(noticeCount(), 0u);
    EXPECT_EQ(table().position(), -10);
}

TEST_F(Positioning, APendingStepDiesWithItsController) {
    control->setDelaySeconds(0.0f, 0.3f);
    plan(1);
    ASSERT_TRUE(control->rotateDeviceToAngle(45.0f));
    control.reset();
    runFor(500ms);
    EXPECT_EQ(table().steps(), 0u);
    EXPECT_EQ(noticeCount(), 0u);
}

TEST_F(Positioning, ASequenceWithoutAHostCallbackDoesNotEndTheProcess) {
    Private::turntableRotationStopped = nullptr;
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    ASSERT_TRUE(control->rotateDeviceToAngle(15.0f));
    ASSERT_TRUE(runUntil([&] { return table().steps() == 3 && !moving(); }));
    EXPECT_THROW(control->turntableRotationStopped(), std::bad_function_call)
        << "on the caller's own thread the missing callback is still reported";
}

// Hosts that act inside their notice, on the rotation thread.
TEST_F(Positioning, AHostMayTakeTheNextStepInsideItsNotice) {
    control->setDelaySeconds(0.0f, 0.2f);
    plan(2);
    std::atomic<int> steps{0};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        if (++steps == 1) {
            control->rotateDeviceToAngle(90.0f);
        }
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(45.0f));
    ASSERT_TRUE(runUntil([&] { return steps == 2; }));
    EXPECT_EQ(table().position(), -18);
}

TEST_F(Positioning, AHostMayCloseInsideItsNotice) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    std::atomic<bool> closed{false};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        control->closeDevice();
        closed = true;
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(runUntil([&] { return closed && !control->isTurntableOpened(); }));
    EXPECT_FALSE(Bus::instance().stats(Bus::instance().devices().at(0)).open);
}

// A window closed while a notice waits for it (Qt::BlockingQueuedConnection):
// the GUI thread destroys the controller, clears the callback and frees the
// window, and only then lets the notice return into the callback's code.
TEST_F(Positioning, AHostMayClearItsCallbackWhileANoticeWaitsForIt) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    std::atomic<bool> arrived{false};
    std::promise<void> windowClosed;
    // Shared, so that a test that fails early leaves no reference behind.
    const std::shared_future<void> closed = windowClosed.get_future().share();
    auto window = std::make_unique<std::string>("the window's state");
    std::string seenAfterClose;
    Private::turntableRotationStopped = [&arrived, &seenAfterClose, closed,
                                         caption = std::string(100, 'w')](LxTurntableHardware*) {
        arrived = true;
        closed.wait();
        // What the callable holds is still there; the window is not.
        seenAfterClose = caption;
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(runUntil([&] { return arrived.load(); }));
    control.reset();
    Private::turntableRotationStopped = nullptr;
    window.reset();
    windowClosed.set_value();
    Private::waitForNotices();
    EXPECT_EQ(seenAfterClose, std::string(100, 'w')) << "the notice had returned";
}

// The same on the host's own thread: a host that gives up inside the notice of
// a failed open and clears its callbacks there.
TEST_F(Positioning, AHostMayClearACallbackInsideItsOwnCall) {
    std::string seen;
    Private::hardwareDisconnected = [&seen, caption = std::string(100, 'd')](LxTurntableHardware*,
                                                                             unsigned long) {
        Private::hardwareDisconnected = nullptr;
        seen = caption;
    };
    Bus::instance().failNextOpen(FT_DEVICE_NOT_OPENED);
    control->closeDevice();
    control->openDevice(0);
    EXPECT_EQ(seen, std::string(100, 'd'));
    EXPECT_FALSE(Private::hardwareDisconnected);
}

TEST_F(Positioning, TheLastCallInsideTheNoticeTurnsBackAndLeavesNoPlan) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(2);
    const std::vector<float> angles{45.0f, 90.0f};
    std::atomic<std::size_t> taken{1};
    std::atomic<bool> over{false};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        const std::size_t k = taken++;
        if (!control->rotateDeviceToAngle(k < angles.size() ? angles[k] : 0.0f)) {
            over = true;
        }
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(angles[0]));
    // 9 and 9 steps clockwise, then 54 on to the start.
    ASSERT_TRUE(runUntil([&] { return over && table().steps() == 72 && !moving(); }, 10s));
    EXPECT_EQ(table().position(), -72);
}

TEST_F(Positioning, AMoveRefusedInsideTheNoticeIsNotLeftForLater) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    std::atomic<bool> refused{false};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        control->SetRotationIncrementInCounts(5);
        refused = !control->startRotation();
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(15.0f));
    ASSERT_TRUE(runUntil([&] { return refused && !moving(); }));
    EXPECT_FALSE(control->startRotation());
    runFor(50ms);
    EXPECT_EQ(table().steps(), 3u);
}

TEST_F(Positioning, NoWholeTurnBackWhenTheLastCaptureRoundedOntoTheStart) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    ASSERT_TRUE(control->rotateDeviceToAngle(358.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1 && !moving(); }));
    ASSERT_EQ(table().steps(), 72u) << "358 degrees round to the whole turn of 72 steps";
    EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
    runFor(300ms);
    EXPECT_EQ(table().steps(), 72u) << "the table stands at the start already";
}

// A host that hands each notice to its own thread, blocks until it has been
// taken there (Qt::BlockingQueuedConnection), and takes the next step there.
TEST_F(Positioning, AHostThatBlocksUntilItsThreadTookTheNotice) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(3);
    // The first step turns nothing; the last call turns back from 90 degrees.
    BlockingHost host(*control, {0.0f, 45.0f, 90.0f});
    const std::thread::id hostThread = std::this_thread::get_id();
    std::atomic<bool> noticeOnHostThread{false};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        if (std::this_thread::get_id() == hostThread) {
            // Qt would wait here forever for its own thread.
            noticeOnHostThread = true;
            return;
        }
        host.handOver();
    };
    ASSERT_TRUE(control->rotateDeviceToAngle(0.0f));
    ASSERT_TRUE(runUntil([&] { return host.over && table().steps() == 72 && !moving(); }, 10s));
    EXPECT_FALSE(noticeOnHostThread) << "every notice comes on a rotation thread";
    EXPECT_EQ(table().position(), -72);
}

TEST_F(Positioning, AStopWhileTheTableSettlesDropsItsNotice) {
    control->setDelaySeconds(0.4f, 0.0f);
    plan(2);
    ASSERT_TRUE(control->rotateDeviceToAngle(15.0f));
    ASSERT_TRUE(runUntil([&] { return table().steps() == 3 && !moving(); }));
    control->stopsSpinning();
    runFor(700ms);
    EXPECT_EQ(noticeCount(), 0u) << "the host asked for a stop";
}

TEST_F(Positioning, ACloseAskedInsideTheNoticeLeavesTheNextOpenAlone) {
    control->setDelaySeconds(0.0f, 0.0f);
    plan(1);
    std::atomic<bool> closeAsked{false};
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        control->closeDevice();
        closeAsked = true;
    };
    // A move of the sequence started without the event loop, which the host
    // runs only once it has opened again.
    control->SetRotationIncrementInCounts(6);
    ASSERT_TRUE(control->startRotation());
    while (!closeAsked) {
        std::this_thread::sleep_for(1ms);
    }
    bool opened = false;
    control->openDevice(0, &opened);
    ASSERT_TRUE(opened);
    runFor(200ms);
    EXPECT_TRUE(control->isTurntableOpened()) << "the close was for the device before";
}

TEST_F(Positioning, AStepTakenTwiceBeforeItsTimerMovesOnce) {
    control->setDelaySeconds(0.0f, 0.05f);
    plan(3);
    ASSERT_TRUE(control->rotateDeviceToAngle(90.0f));
    ASSERT_TRUE(control->rotateDeviceToAngle(90.0f));
    ASSERT_TRUE(runUntil([&] { return noticeCount() == 1; }));
    runFor(300ms);
    EXPECT_EQ(table().position(), -18);
    EXPECT_EQ(noticeCount(), 1u);
}

// A host's other thread reads the position while the table turns: it moves
// step by step with the table, in both ways of writing steps, and a stopped
// train leaves it where the table stands.
TEST_F(Positioning, ThePositionFollowsTheTableOnAnyThread) {
    control->SetRotationSpeed(20);
    for (const bool chipClocked : {true, false}) {
        SCOPED_TRACE(chipClocked);
        control->SetChipClockedStepTrains(chipClocked);
        control->SetRotationGlobalOriginHere();
        EXPECT_EQ(control->positionInDegrees(), 0.0);
        const long long start = table().position();
        std::atomic<bool> reading{true};
        std::vector<double> seen{0.0};
        bool tableBetween = true;
        std::thread reader([&] {
            while (reading) {
                // The table stands between what was told before and after
                // it was looked at, give or take the step under way.
                const double before = control->positionInDegrees() / 5.0;
                const auto steps = static_cast<double>(table().position() - start);
                const double after = control->positionInDegrees() / 5.0;
                tableBetween = tableBetween && steps >= before - 1.0 && steps <= after + 1.0;
                if (seen.back() != after) {
                    seen.push_back(after);
                }
                std::this_thread::sleep_for(2ms);
            }
        });
        control->SetRotationCounterClockwise();
        ASSERT_EQ(control->SetRotationIncrementInDegrees(90.0), 90.0);
        ASSERT_TRUE(control->startRotation());
        const bool ended = runUntil([&] { return !moving(); });
        reading = false;
        reader.join();
        ASSERT_TRUE(ended);
        EXPECT_EQ(table().position() - start, 18);
        EXPECT_EQ(control->positionInDegrees(), 90.0);
        EXPECT_GE(seen.size(), 5u) << "18 steps of 21 ms, looked at every 2 ms";
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_TRUE(tableBetween);
    }
    // A stop between the blocks of a train: the table took some of the steps.
    control->SetChipClockedStepTrains(true);
    control->SetRotationGlobalOriginHere();
    const long long start = table().position();
    control->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(control->startRotation());
    runFor(150ms);
    ASSERT_TRUE(control->stopRotation());
    EXPECT_GT(table().position(), start);
    EXPECT_EQ(control->positionInDegrees(), 5.0 * static_cast<double>(table().position() - start));
}

} // namespace
