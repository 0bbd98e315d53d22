#include "LxStepperMotor.h"
#include "SimulatedChipTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Planning needs no chip; the position moves only by real moves, which run on
// the simulated chip at full speed (72 counts per revolution, 1 ms a step).
class RotationBookkeeping : public SimulatedChipTest {
protected:
    void SetUp() override {
        SimulatedChipTest::SetUp();
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetCountsPerRevolution(72);
    }
    void TearDown() override {
        driver.closeDevice();
        SimulatedChipTest::TearDown();
    }

    // Turns the table from the origin to `degrees`, keeping the direction set.
    void standAt(double degrees) {
        driver.SetRotationGlobalOriginHere();
        if (degrees == 0.0) {
            return;
        }
        const bool clockwise = driver.isRotationClockwise();
        degrees < 0 ? driver.SetRotationClockwise() : driver.SetRotationCounterClockwise();
        driver.SetRotationIncrementInDegrees(std::fabs(degrees));
        arrive();
        clockwise ? driver.SetRotationClockwise() : driver.SetRotationCounterClockwise();
    }
    // Runs the planned move to its end.
    void arrive() {
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);
    }

    LxStepperMotor driver{0};
};

TEST_F(RotationBookkeeping, DegreesRoundHalfUpToWholeCounts) {
    EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(90.0), 90.0);
    EXPECT_EQ(driver.RotationIncrementInCounts(), 18);
    EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees(), -90.0) << "clockwise decreases";

    EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(7.0), 5.0);
    EXPECT_EQ(driver.RotationIncrementInCounts(), 1);
    EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(7.5), 10.0);
    EXPECT_EQ(driver.RotationIncrementInCounts(), 2);
    EXPECT_TRUE(driver.isRotationClockwise());
}

TEST_F(RotationBookkeeping, NegativeRequestsFlipTheDirection) {
    EXPECT_EQ(driver.SetRotationIncrementInCounts(-10), 10);
    EXPECT_FALSE(driver.isRotationClockwise());
    EXPECT_EQ(driver.RotationIncrementInCounts(), 10);
    EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees(), 50.0);

    EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(-45.0), 45.0);
    EXPECT_TRUE(driver.isRotationClockwise());
    EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees(), -45.0);
}

TEST(RotationPlanning, NothingIsPlannedWithoutCountsPerRevolution) {
    LxStepperMotor custom(0);
    EXPECT_FALSE(custom.isMovePlanned()) << "a new driver runs nothing";
    EXPECT_EQ(custom.SetRotationIncrementInCounts(5), 0);
    EXPECT_EQ(custom.lastFTDIError(), LxFTDIController::FTDI_COUNTS_PER_REVOLUTION_NOT_SET);
    EXPECT_FALSE(custom.isMovePlanned());

    LxStepperMotor other(0);
    EXPECT_DOUBLE_EQ(other.SetRotationIncrementInDegrees(5.0), 0.0);
    EXPECT_EQ(other.lastFTDIError(), LxFTDIController::FTDI_NO_ERROR);
    EXPECT_FALSE(other.isMovePlanned());
}

TEST_F(RotationBookkeeping, ZeroCountsIsContinuousButAnAngleUnderHalfACountPlansNothing) {
    driver.SetRotationIncrementInDegrees(90.0);
    EXPECT_EQ(driver.SetRotationIncrementInCounts(0), 0);
    EXPECT_TRUE(driver.isMovePlanned()) << "0 counts: a continuous rotation";
    EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees(), -90.0) << "the plan is kept";

    for (double tiny : {2.4, 0.0, -2.4, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity()}) {
        driver.SetRotationIncrementInDegrees(90.0);
        ASSERT_TRUE(driver.isMovePlanned());
        EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(tiny), 0.0) << tiny;
        EXPECT_FALSE(driver.isMovePlanned()) << tiny << " must not repeat 90 degrees or run on";
    }
    EXPECT_DOUBLE_EQ(driver.SetRotationIncrementInDegrees(2.5), 5.0) << "half a count rounds up";
}

TEST_F(RotationBookkeeping, AContinuousRotationNeedsNoCountsPerRevolution) {
    driver.SetRotationIncrementInDegrees(90.0);
    arrive();
    driver.SetCountsPerRevolution(0);
    driver.SetRotationGlobalOriginHere(); // the plan of -90 degrees stays
    EXPECT_EQ(driver.SetRotationIncrementInCounts(0), 0);
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_NO_ERROR);
    ASSERT_TRUE(driver.startRotation());
    while (rig().stepperTable().steps() < 18 + 3) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_DOUBLE_EQ(driver.GetRotationIncrementInDegrees(), 0.0);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), 0.0) << "no angle to add: it stays";

    EXPECT_EQ(driver.SetRotationIncrementInCounts(3), 0) << "a counted move still needs them";
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_COUNTS_PER_REVOLUTION_NOT_SET);
    EXPECT_FALSE(driver.startRotation()) << "not the continuous rotation planned before";
}

TEST_F(RotationBookkeeping, AbsoluteTargetsTurnInTheCurrentDirection) {
    struct Case {
        bool clockwise;
        double from, target, planned, lands;
    };
    const Case cases[] = {
        {true, -90.0, 90.0, 180.0, -270.0},
        {false, 0.0, 450.0, 90.0, 90.0},
        {true, 0.0, 0.0, 360.0, 0.0}, // on the spot: a full turn
        {true, 90.0, -270.0, 360.0, -270.0},
        {true, -270.0, 90.0, 360.0, -270.0},  // 360 apart by sign: still a full turn
        {true, -270.0, 100.0, 350.0, -260.0}, // difference above 360: 350 clockwise
        {false, 270.0, -100.0, 350.0, 260.0}, // difference below -360: 350 counterclockwise
        {false, 10.0, 20.0, 10.0, 20.0},
        {true, 10.0, 20.0, 350.0, -340.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.clockwise ? "cw" : "ccw") << " from " << c.from << " to " << c.target);
        c.clockwise ? driver.SetRotationClockwise() : driver.SetRotationCounterClockwise();
        standAt(c.from);
        ASSERT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), c.from);
        EXPECT_DOUBLE_EQ(driver.SetRotationNextGlobalPositionInDegrees(c.target), c.planned);
        EXPECT_EQ(driver.isRotationClockwise(), c.clockwise) << "the direction is kept";
        EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees() + 0.0, c.lands);
        EXPECT_TRUE(driver.isMovePlanned());
    }
}

TEST_F(RotationBookkeeping, OriginMovesOnlyTheCurrentPosition) {
    driver.SetRotationIncrementInDegrees(30.0);
    arrive();
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -30.0);
    driver.SetRotationIncrementInDegrees(30.0);
    driver.SetRotationGlobalOriginHere();
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), 0.0);
    EXPECT_DOUBLE_EQ(driver.NextGlobalPositionInDegrees(), -60.0);
}

TEST(MaskBits, ReplaceOnlyTheMaskedBits) {
    EXPECT_EQ(LxFTDIController::SetMaskBits(0xA5, 0x0F, 0x0E), 0xAE);
    EXPECT_EQ(LxFTDIController::SetMaskBits(0xA5, 0x80, 255), 0xA5);
    EXPECT_EQ(LxFTDIController::SetMaskBits(0xA5, 0x20, 0), 0x85);
}

} // namespace
