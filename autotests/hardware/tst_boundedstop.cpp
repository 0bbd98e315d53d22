// A stop returns within a bounded time whatever the chip and the table do:
// a chip that refuses every write mid-move, on either kind of step train,
// and a DC table that never starts.
#include "LxDCMotor.h"
#include "LxStepperMotor.h"
#include "SimulatedChipTest.h"
#include "TestPath.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/TurntableRig.h>
#include <ftdisim/UsbFault.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// What the documented bound promises a host.
constexpr auto kStopBound = 2500ms;

class BoundedStop : public SimulatedChipTest {
protected:
    void SetUp() override {
        SimulatedChipTest::SetUp();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
    }

    // stopRotation() of a move whose writes the chip refuses from now on, in
    // the way this path has: a failing D2XX status, or on the USB-level
    // simulation a transfer that times out after its full timeout.
    static Clock::duration stopWhileTheChipRefuses(LxFTDIController& driver) {
        if (testpath::onUsbLevelSimulation()) {
            Bus::instance().setUsbFault(chip(),
                                        ftdisim::UsbFault{ftdisim::UsbFault::Kind::Timeout, -1, 1});
        } else {
            Bus::instance().setWriteFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, -1, 1});
        }
        // Into the retries of a write the chip refused.
        std::this_thread::sleep_for(300ms);
        const auto asked = Clock::now();
        EXPECT_TRUE(driver.stopRotation());
        return Clock::now() - asked;
    }
};

TEST_F(BoundedStop, AMoveWhoseChipRefusesWritesStopsSoonOnEitherTrainAndTheDcTable) {
    for (const char* kind : {"chip-clocked", "per-edge", "DC table"}) {
        SCOPED_TRACE(kind);
        Bus::instance().reset();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
        const bool dc = kind == std::string("DC table");
        std::unique_ptr<LxFTDIController> driver;
        if (dc) {
            driver = std::make_unique<LxDCMotor>();
        } else {
            driver = std::make_unique<LxStepperMotor>(2);
        }
        ASSERT_TRUE(driver->openDevice(0));
        driver->SetChipClockedStepTrains(kind == std::string("chip-clocked"));
        driver->SetCountsPerRevolution(200);
        driver->SetRotationIncrementInCounts(0);
        ASSERT_TRUE(driver->startRotation());
        std::this_thread::sleep_for(50ms);
        const auto took = stopWhileTheChipRefuses(*driver);
        EXPECT_LT(took, kStopBound);
        EXPECT_FALSE(driver->IsTurntableRotating());
        if (!dc) {
            EXPECT_EQ(rig().stepperTable().steps(),
                      static_cast<unsigned>(driver->StepsTakenInLastMove()))
                << "the steps the chip took are the ones counted";
        }
    }
}

TEST_F(BoundedStop, ADcTableThatNeverStartsStopsSoon) {
    rig().dcTable().setStarts(false);
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(72);
    driver.SetRotationIncrementInCounts(10);
    ASSERT_TRUE(driver.startRotation());
    // Into the start pulses, of which there would be a hundred.
    std::this_thread::sleep_for(300ms);
    const auto asked = Clock::now();
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_LT(Clock::now() - asked, kStopBound);
    EXPECT_TRUE(rig().dcTable().chunks().empty());
}

} // namespace
