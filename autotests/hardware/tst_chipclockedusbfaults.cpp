// Chip-clocked step trains over a USB wire that cuts writes short: the driver
// resumes each block from what the backend reports went out, so the chip
// clocks out every byte of the train once, and the table takes exactly the
// steps the driver counts. Only the real path has packets to cut.
#include "ChipClockedStepTrain.h"
#include "LxStepperMotor.h"
#include "PinProtocolChecker.h"
#include "SimulatedChipTest.h"
#include "TestPath.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/UsbFault.h>

#include <gtest/gtest.h>

#include <string>

using ftdisim::Bus;
using ftdisim::UsbFault;
using namespace std::chrono_literals;

namespace {

class ChipClockedTrainOverAFaultyWire : public SimulatedChipTest,
                                        public ::testing::WithParamInterface<UsbFault::Kind> {
protected:
    void SetUp() override {
        SimulatedChipTest::SetUp();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
    }
};

TEST_P(ChipClockedTrainOverAFaultyWire, EveryStepHandedOutIsTakenOnce) {
    if (!testpath::onUsbLevelSimulation()) {
        GTEST_SKIP() << "packets exist only on the USB-level simulation";
    }
    // 400 steps at 1 ms, 2 ms of pins each: some 50 blocks, each of which has
    // its first write cut after five packets, at a different point of the
    // step pattern each time, and the rest sent again. Every write cut would
    // not do: the driver gives a chip whose writes all fail for 2 s up as
    // lost, however many bytes each of them moved.
    constexpr int kSteps = 400;
    constexpr unsigned kBlocks = kSteps * 2 * ChipClockedStepTrain::BYTES_PER_MILLISECOND /
                                 ChipClockedStepTrain::BLOCK_BYTES;
    Bus::instance().setUsbFault(chip(), UsbFault{GetParam(), -1, 2, 5});
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(200);
    driver.SetRotationSpeed(1);
    driver.SetChipClockedStepTrains(true);
    driver.SetRotationIncrementInCounts(kSteps);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);
    Bus::instance().setUsbFault(chip(), std::nullopt);

    EXPECT_FALSE(driver.hasLostChip());
    EXPECT_EQ(driver.StepsTakenInLastMove(), kSteps);
    EXPECT_EQ(rig().stepperTable().steps(), static_cast<unsigned>(kSteps));
    EXPECT_EQ(rig().stepperTable().position(), -kSteps);
    EXPECT_EQ(rig().stepperTable().missedSteps(), 0u);
    EXPECT_GE(Bus::instance().stats(chip()).writes, 2 * kBlocks) << "blocks were not cut";
    pinprotocol::StepperExpectations expect(1ms);
    expect.steps = kSteps;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
}

std::string kindName(const ::testing::TestParamInfo<UsbFault::Kind>& info) {
    return info.param == UsbFault::Kind::PartialTransfer ? "CutShort" : "AcknowledgementLost";
}

INSTANTIATE_TEST_SUITE_P(EverySecondWrite, ChipClockedTrainOverAFaultyWire,
                         ::testing::Values(UsbFault::Kind::PartialTransfer,
                                           UsbFault::Kind::LostAcknowledgement),
                         kindName);

} // namespace
