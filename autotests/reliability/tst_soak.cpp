// Many short uses in a row: start and stop of a continuous rotation, open and
// close of the device. Neither threads nor memory may pile up.
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Far above what a leak-free run grows by (allocator caches, Qt's lazily made
// state), far below what a leaked thread stack or driver per cycle would add.
// AddressSanitizer holds freed memory back for a while, so that churn looks
// like growth there; its leak checker catches what leaks.
#ifdef __SANITIZE_ADDRESS__
constexpr long kMemoryBound = 64L * 1024 * 1024;
#else
constexpr long kMemoryBound = 16L * 1024 * 1024;
#endif

class Soak : public ReliabilityTest {
protected:
    // `count` starts and stops of a continuous rotation of "Custom", after a
    // few that fill caches and lazily made state: no thread or memory piles
    // up, and every cycle steps.
    void startAndStop(int count) {
        const ftdisim::DeviceId device = chip();
        control->SetCountsPerRevolution(72);
        const auto cycle = [&] {
            ASSERT_EQ(control->SetRotationIncrementInCounts(0), 0);
            ASSERT_TRUE(control->startRotation());
            ASSERT_TRUE(control->stopRotation());
            ASSERT_FALSE(control->IsTurntableRotating());
        };
        for (int i = 0; i < 10; ++i) {
            cycle();
        }
        const long memoryBefore = residentBytes();
        const int threadsBefore = threadCount();
        const unsigned long long stepsBefore = rig(device).stepperTable().steps();
        for (int i = 0; i < count; ++i) {
            cycle();
            ASSERT_FALSE(HasFatalFailure()) << "cycle " << i;
        }
        EXPECT_LE(threadCount(), threadsBefore);
        EXPECT_LT(residentBytes() - memoryBefore, kMemoryBound);
        EXPECT_GE(rig(device).stepperTable().steps() - stepsBefore, static_cast<unsigned>(count))
            << "every cycle stepped";
    }
};

TEST_F(Soak, StartAndStopAContinuousRotation) {
    ASSERT_TRUE(openModel(*control, 0));
    // Per-edge writes: a train traces a thousand bytes a cycle, which would
    // swamp the memory this watches. The trains' soak is the one below.
    control->SetChipClockedStepTrains(false);
    startAndStop(1000);
    pinprotocol::StepperExpectations rules(0ms);
    rules.lockWhenIdle = true;
    const auto report = pinprotocol::checkStepperProtocol(bus().trace(chip()), rules);
    EXPECT_TRUE(report.ok()) << report;
}

TEST_F(Soak, StartAndStopAChipClockedTrain) {
    // Nothing of the trace is kept: its bytes are not the SDK's memory.
    bus().setTraceCapacity(1);
    ASSERT_TRUE(openModel(*control, 0));
    ASSERT_TRUE(control->isChipClockedStepTrains());
    // Each cycle is a block of the train, 16 ms.
    startAndStop(150);
}

TEST_F(Soak, OpenAndCloseTheDevice) {
    const ftdisim::DeviceId device = chip();
    // Each stepper open times the chip's clock with some 4,000 bytes, every
    // one a traced event: the trace is not the SDK's memory.
    bus().setTraceCapacity(1);
    const auto cycle = [&](int i) {
        // Both drivers, turn about.
        ASSERT_TRUE(openModel(*control, i % 2 == 0 ? 0 : 1));
        control->closeDevice();
        ASSERT_FALSE(bus().stats(device).open);
    };
    for (int i = 0; i < 10; ++i) {
        cycle(i);
    }
    const long memoryBefore = residentBytes();
    const int threadsBefore = threadCount();
    const unsigned opensBefore = bus().stats(device).opens;
    const int count = 200;
    for (int i = 0; i < count; ++i) {
        cycle(i);
        ASSERT_FALSE(HasFatalFailure()) << "cycle " << i;
    }
    EXPECT_LE(threadCount(), threadsBefore);
    EXPECT_LT(residentBytes() - memoryBefore, kMemoryBound);
    EXPECT_EQ(bus().stats(device).opens - opensBefore, static_cast<unsigned>(count));
    EXPECT_EQ(noticeCount(HostNotice::Opened, control.get()), static_cast<unsigned>(count) + 10u);
    EXPECT_EQ(noticeCount(HostNotice::Disconnected, control.get()), 0u);

    ASSERT_TRUE(openModel(*control, 0));
    control->SetCountsPerRevolution(72);
    EXPECT_TRUE(shortMoveWorks(*control, device, 9));
}

} // namespace
