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
    // A thousand writes in a row cut after four packets, at a different point
    // of the step pattern each time, each resumed from what went out: 256
    // bytes a write, 2 ms of pins, about 2,000 steps of 126 bytes. A chip
    // that moves bytes is no lost chip, however its writes end.
    constexpr int kCuts = 1000;
    constexpr int kSteps = 2200;
    LxStepperMotor driver(2);
    ASSERT_NO_FATAL_FAILURE(openChipClocked(driver));
    Bus::instance().setUsbFault(chip(), UsbFault{GetParam(), kCuts, 1, 4});
    driver.SetCountsPerRevolution(200);
    driver.SetRotationSpeed(0);
    driver.SetRotationIncrementInCounts(kSteps);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);
    Bus::instance().setUsbFault(chip(), std::nullopt);

    EXPECT_FALSE(driver.hasLostChip());
    EXPECT_EQ(driver.StepsTakenInLastMove(), kSteps);
    EXPECT_EQ(rig().stepperTable().steps(), static_cast<unsigned>(kSteps));
    EXPECT_EQ(rig().stepperTable().position(), -kSteps);
    EXPECT_EQ(rig().stepperTable().missedSteps(), 0u);
    EXPECT_GE(Bus::instance().stats(chip()).writes, static_cast<unsigned>(kCuts))
        << "writes were not cut";
    pinprotocol::StepperExpectations expect(0ms);
    expect.steps = kSteps;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
}

std::string kindName(const ::testing::TestParamInfo<UsbFault::Kind>& info) {
    return info.param == UsbFault::Kind::PartialTransfer ? "CutShort" : "AcknowledgementLost";
}

INSTANTIATE_TEST_SUITE_P(AThousandWrites, ChipClockedTrainOverAFaultyWire,
                         ::testing::Values(UsbFault::Kind::PartialTransfer,
                                           UsbFault::Kind::LostAcknowledgement),
                         kindName);

} // namespace
