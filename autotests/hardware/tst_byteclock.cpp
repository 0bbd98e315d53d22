// The open of a stepper model times the chip's bit-bang clock, and the
// chip-clocked trains run at the rate that clock gives, or not at all.
#include "ChipClockedStepTrain.h"
#include "LxStepperMotor.h"
#include "PinProtocolChecker.h"
#include "SimulatedChipTest.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/TurntableRig.h>

#include <gmock/gmock.h>

#include <chrono>

using ftdisim::Bus;
using ftdisim::TraceEvent;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

class ByteClock : public SimulatedChipTest {
protected:
    void SetUp() override {
        SimulatedChipTest::SetUp();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
    }

    // How long the first rising edge of the step line came after the enable
    // line's, in the trace of a move from every line low.
    static Clock::duration enableLead() {
        Clock::time_point enabled{};
        for (const TraceEvent& e : trace().events) {
            if (e.kind != TraceEvent::Kind::Write || e.status != FT_OK || !e.applied) {
                continue;
            }
            if (enabled == Clock::time_point{} && (e.value & LxStepperMotor::ENABLE_OUTPUT)) {
                enabled = e.time;
            }
            if (e.value & LxStepperMotor::STEP_OUTPUT) {
                return e.time - enabled;
            }
        }
        return {};
    }
};

TEST_F(ByteClock, EitherPublishedClockIsFoundAndClocksTheTrainsAtOneByteIn8us) {
    for (const unsigned factor : {16u, 4u}) {
        SCOPED_TRACE(factor);
        Bus::instance().reset();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
        Bus::instance().setByteClockFactor(factor);
        LxStepperMotor driver(2);
        const auto openStarted = Clock::now();
        ASSERT_TRUE(driver.openDevice(0));
        // The timing's budget is 100 ms; the rest is the open's own calls.
        EXPECT_LT(Clock::now() - openStarted, 1s);
        const LxByteClockReading& clock = driver.byteClock();
        EXPECT_EQ(clock.factor, static_cast<int>(factor)) << clock.problem;
        EXPECT_NEAR(clock.bytesPerSecond, 7812.5 * factor, 0.06 * 7812.5 * factor);
        EXPECT_EQ(rig().stepperTable().steps() + rig().stepperTable().missedSteps(), 0u);
        for (const TraceEvent& e : trace().events) {
            EXPECT_FALSE(e.kind == TraceEvent::Kind::Write && e.applied && e.value != 0)
                << "the timing moved a line";
        }
        EXPECT_EQ(Bus::instance().stats(chip()).baudRate, LxFTDIController::EDGE_BY_EDGE_BAUD_RATE);

        Bus::instance().clearTrace(chip());
        driver.SetCountsPerRevolution(200);
        driver.SetLockMotorWhenIdle(false);
        driver.SetChipClockedStepTrains(true);
        driver.SetRotationIncrementInCounts(20);
        ASSERT_TRUE(driver.runsChipClockedStepTrains());
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);
        // The USB path hands the chip a divisor, which stands for 7812.5 baud.
        EXPECT_NEAR(Bus::instance().stats(chip()).baudRate,
                    ChipClockedStepTrain::baudRateFor(static_cast<int>(factor)), 1);
        pinprotocol::StepperExpectations expect(0ms);
        expect.steps = 20;
        expect.lockWhenIdle = false;
        const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
        EXPECT_TRUE(report.ok()) << report;
        // One byte high at a step time of 0, 125 low: the clock is 8 us a
        // byte. A block that comes late only lengthens a phase.
        EXPECT_GE(report.stepHigh.min, 7us);
        EXPECT_LE(report.stepHigh.min, 9us);
        EXPECT_GE(report.stepLow.min, 1ms);
        EXPECT_LE(report.stepLow.min, 1010us);
        // The train sets the enable and direction lines with its first byte.
        EXPECT_GE(enableLead(), 1ms);
        EXPECT_LE(enableLead(), 1010us);
    }
}

TEST_F(ByteClock, AClockOfNeitherReadingOrABusTooNoisyToTimeItGivesPerEdgeWrites) {
    const struct {
        const char* name;
        unsigned factor;
        ftdisim::BusTiming timing;
        const char* problem;
    } cases[] = {
        {"a chip at 3 bytes a baud", 3, ftdisim::BusTiming::fullSpeed(), "neither 16 nor 4"},
        {"a bus held up at every transfer", 16, ftdisim::BusTiming::noisy(1), "too busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bus::instance().reset();
        Bus::instance().setTiming(c.timing);
        Bus::instance().setByteClockFactor(c.factor);
        LxStepperMotor driver(2);
        ASSERT_TRUE(driver.openDevice(0));
        EXPECT_EQ(driver.byteClock().factor, 0);
        EXPECT_THAT(driver.byteClock().problem, ::testing::HasSubstr(c.problem));
        driver.SetChipClockedStepTrains(true);
        EXPECT_FALSE(driver.runsChipClockedStepTrains());

        Bus::instance().clearTrace(chip());
        driver.SetCountsPerRevolution(200);
        driver.SetRotationIncrementInCounts(5);
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);
        EXPECT_EQ(Bus::instance().stats(chip()).baudRate, LxFTDIController::EDGE_BY_EDGE_BAUD_RATE);
        const auto report =
            pinprotocol::checkStepperProtocol(trace(), pinprotocol::StepperExpectations(0ms));
        EXPECT_TRUE(report.ok()) << report;
        EXPECT_EQ(rig().stepperTable().position(), -5);
    }
}

} // namespace
