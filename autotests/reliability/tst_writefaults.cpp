// Writes to the chip that fail now and then during a move: each failed write
// is sent again, so the table makes exactly the planned move and the driver's
// position is where the table really stands.
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::chrono_literals;

namespace {

class WriteFaults : public ReliabilityTest,
                    public ::testing::WithParamInterface<ftdisim::TransferFault> {
protected:
    void runToEnd() {
        ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }, 60s));
        EXPECT_TRUE(control->stopRotation());
    }
};

TEST_P(WriteFaults, TheStepperMakesEveryStepItCounts) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 0));
    // Every edge a write of its own; the trains' faults are the chip-clocked
    // tests'.
    control->SetChipClockedStepTrains(false);
    control->SetCountsPerRevolution(200);
    control->SetRotationSpeed(1);
    bus().setWriteFault(device, GetParam());
    control->SetRotationCounterClockwise();
    ASSERT_EQ(control->SetRotationIncrementInCounts(150), 150);
    ASSERT_TRUE(control->startRotation());
    runToEnd();
    control->SetRotationClockwise();
    ASSERT_EQ(control->SetRotationIncrementInCounts(50), 50);
    ASSERT_TRUE(control->startRotation());
    runToEnd();
    bus().setWriteFault(device, std::nullopt);

    const ftdisim::StepperTable& table = rig(device).stepperTable();
    EXPECT_EQ(table.steps(), 200u);
    EXPECT_EQ(table.missedSteps(), 0u);
    EXPECT_EQ(table.position(), 100);
    EXPECT_GT(bus().stats(device).writes, 400u);
    // 100 steps of 1.8 degrees.
    control->SetRotationCounterClockwise();
    EXPECT_DOUBLE_EQ(control->SetRotationNextGlobalPositionInDegrees(180.0), 360.0)
        << "the driver knows the table is at 180 degrees";

    pinprotocol::StepperExpectations rules(1ms);
    rules.steps = 200;
    const auto report = pinprotocol::checkStepperProtocol(bus().trace(device), rules);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_TRUE(shortMoveWorks(*control, device, 10));
}

TEST_P(WriteFaults, TheDcTableRunsEveryCountItCounts) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 1));
    bus().setWriteFault(device, GetParam());
    ASSERT_EQ(control->SetRotationIncrementInCounts(20), 20);
    ASSERT_TRUE(control->startRotation());
    runToEnd();
    bus().setWriteFault(device, std::nullopt);

    EXPECT_EQ(rig(device).dcTable().countsTurned(), 20u);
    // 20 counts of 5 degrees clockwise from 0.
    control->SetRotationClockwise();
    EXPECT_DOUBLE_EQ(control->SetRotationNextGlobalPositionInDegrees(-100.0), 360.0)
        << "the driver knows the table is at -100 degrees";
    const auto report = pinprotocol::checkDcProtocol(bus().trace(device));
    EXPECT_TRUE(report.ok()) << report;
    int counted = 0;
    for (const pinprotocol::DcChunk& chunk : report.chunks) {
        counted += chunk.counts();
    }
    EXPECT_EQ(counted, 20) << report;
}

std::string faultName(const ::testing::TestParamInfo<ftdisim::TransferFault>& info) {
    const char* const names[] = {"EverySeventhFails", "TenOfEveryFifthAreShort",
                                 "ThreeFailEverySecond", "EverySecondFails"};
    return names[info.index];
}

// On the real path a short write is a USB transfer that times out, which
// holds the driver for the backend's timeout: ten of them, not one in five
// of the whole move, keep the test short there.
INSTANTIATE_TEST_SUITE_P(NowAndThen, WriteFaults,
                         ::testing::Values(ftdisim::TransferFault{FT_IO_ERROR, -1, 7},
                                           ftdisim::TransferFault{FT_OK, 10, 5},
                                           ftdisim::TransferFault{FT_IO_ERROR, 3, 2},
                                           ftdisim::TransferFault{FT_IO_ERROR, -1, 2}),
                         faultName);

} // namespace
