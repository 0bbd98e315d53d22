// Chip-clocked step trains: the blocks the driver hands the chip, and what
// the pins and the table did with them on a bus whose chip clocks its output.
#include "ChipClockedStepTrain.h"
#include "LxStepperMotor.h"
#include "PinProtocolChecker.h"
#include "SimulatedChipTest.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr unsigned char kLow = 0x0B;
constexpr unsigned char kHigh = kLow | LxStepperMotor::STEP_OUTPUT;

// Each run of one level in the train, in bytes.
std::vector<std::size_t> runsOf(const std::vector<unsigned char>& bytes) {
    std::vector<std::size_t> runs;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 0 || bytes[i] != bytes[i - 1]) {
            runs.push_back(0);
        }
        ++runs.back();
    }
    return runs;
}

double processorSeconds() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

class ChipClockedSteps : public SimulatedChipTest {
protected:
    void SetUp() override {
        SimulatedChipTest::SetUp();
        Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
    }

    // A stepper driver on the chip, chip-clocked, at `stepTime` ms.
    void open(LxStepperMotor& driver, unsigned stepTime) {
        openChipClocked(driver);
        driver.SetCountsPerRevolution(200);
        driver.SetRotationSpeed(stepTime);
    }
};

TEST(ChipClockedStepTrain, BlocksSpellTheTrain) {
    constexpr std::size_t kMs = ChipClockedStepTrain::BYTES_PER_MILLISECOND;
    for (const auto& [stepTime, steps] :
         {std::pair{0u, 70}, std::pair{1u, 33}, std::pair{5u, 9}, std::pair{40u, 2}}) {
        SCOPED_TRACE(stepTime);
        ChipClockedStepTrain train(kLow, kHigh, stepTime, steps);
        std::vector<unsigned char> all;
        for (;;) {
            const std::vector<unsigned char>& block = train.nextBlock();
            if (block.empty()) {
                break;
            }
            EXPECT_LE(block.size(), ChipClockedStepTrain::BLOCK_BYTES);
            EXPECT_EQ(train.endsHigh(), block.back() == kHigh);
            all.insert(all.end(), block.begin(), block.end());
            EXPECT_EQ(train.stepsHandedOut(), static_cast<int>(runsOf(all).size() / 2));
        }
        EXPECT_EQ(train.stepsHandedOut(), steps);
        // Set-up low, then per step high and low; the last low is the fall
        // and the idle tail.
        const std::vector<std::size_t> runs = runsOf(all);
        ASSERT_EQ(runs.size(), 2u * steps + 1);
        EXPECT_EQ(all.front(), kLow);
        EXPECT_EQ(runs.back(), ChipClockedStepTrain::IDLE_TAIL_BYTES);
        for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
            const bool high = i % 2 == 1;
            EXPECT_EQ(runs[i], high ? std::max<std::size_t>(1, stepTime * kMs) : kMs);
        }
    }
}

TEST(ChipClockedStepTrain, AnEndlessTrainKeepsGoing) {
    ChipClockedStepTrain train(kLow, kHigh, 0, 0);
    for (int i = 0; i < 40; ++i) {
        ASSERT_FALSE(train.nextBlock().empty());
    }
    EXPECT_FALSE(train.isHandedOut());
    EXPECT_GE(train.stepsHandedOut(), 40 * 15);
}

TEST_F(ChipClockedSteps, EveryPulseKeepsItsWidthWhateverTheUsbAtASmallPartOfAProcessor) {
    for (const auto& [stepTime, steps] :
         {std::pair{0u, 120}, std::pair{1u, 40}, std::pair{5u, 12}}) {
        SCOPED_TRACE(stepTime);
        Bus::instance().clearTrace(chip());
        LxStepperMotor driver(2);
        ASSERT_NO_FATAL_FAILURE(open(driver, stepTime));
        // Counted from the open on: a re-open passes through reset mode, where
        // the chip's pull-ups raise the step line.
        const unsigned before = rig().stepperTable().steps();
        driver.SetLockMotorWhenIdle(false);
        driver.SetRotationIncrementInCounts(steps);
        const double processorBefore = processorSeconds();
        ASSERT_TRUE(driver.startRotation());
        const auto took = runToEnd(driver);
        const double processor = processorSeconds() - processorBefore;

        pinprotocol::StepperExpectations expect{std::chrono::milliseconds(stepTime)};
        expect.steps = steps;
        expect.lockWhenIdle = false;
        const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
        EXPECT_TRUE(report.ok()) << report;
        EXPECT_EQ(rig().stepperTable().steps() - before, static_cast<unsigned>(steps));
        EXPECT_EQ(driver.StepsTakenInLastMove(), steps);
        EXPECT_EQ(rig().stepperTable().missedSteps(), 0u);
        EXPECT_GE(took, steps * std::chrono::milliseconds(stepTime + 1));
        EXPECT_LT(took, steps * std::chrono::milliseconds(3 * (stepTime + 1)) + 2s);
        // The whole process: the simulated chip's work for each of its 125,000
        // bytes a second comes to almost half a processor under a thread
        // sanitizer; a rotation thread that busy-waited would take a whole
        // one on its own. The share itself is the benchmark's.
        EXPECT_LT(processor / std::chrono::duration<double>(took).count(), 0.8);
        // The USB path hands the chip a divisor, which stands for 7812.5 baud.
        EXPECT_NEAR(Bus::instance().stats(chip()).baudRate,
                    ChipClockedStepTrain::baudRateFor(driver.byteClock().factor), 1);

        // The edges of a move after it reach the pins as soon as the chip has them.
        driver.SetChipClockedStepTrains(false);
        driver.SetRotationIncrementInCounts(1);
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);
        EXPECT_EQ(Bus::instance().stats(chip()).baudRate, LxFTDIController::EDGE_BY_EDGE_BAUD_RATE);
    }
}

TEST_F(ChipClockedSteps, AStopEndsTheMoveSoonAndThePositionIsWhereTheStepsTookIt) {
    // Stops at different points of the train find the step line low or high;
    // either way no pulse is cut below a millisecond or lost to the count. At
    // P = 5 the stop after 40 ms is taken after the third block, which ends
    // 19 bytes into a pulse.
    for (const unsigned stepTime : {0u, 5u}) {
        for (const auto after : {30ms, 40ms, 66ms}) {
            SCOPED_TRACE(testing::Message()
                         << "P " << stepTime << ", stop after " << after.count());
            Bus::instance().reset();
            Bus::instance().setTiming(ftdisim::BusTiming::fullSpeed());
            LxStepperMotor driver(2);
            ASSERT_NO_FATAL_FAILURE(open(driver, stepTime));
            driver.SetRotationCounterClockwise();
            driver.SetRotationIncrementInCounts(stepTime == 0 ? 0 : 150);
            ASSERT_TRUE(driver.startRotation());
            std::this_thread::sleep_for(after);
            const auto stopAsked = Clock::now();
            ASSERT_TRUE(driver.stopRotation());
            EXPECT_LT(Clock::now() - stopAsked, 500ms);

            const int steps = driver.StepsTakenInLastMove();
            EXPECT_GT(steps, 0);
            EXPECT_EQ(rig().stepperTable().steps(), static_cast<unsigned>(steps));
            EXPECT_EQ(rig().stepperTable().position(), steps);
            EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), steps * 1.8);
            pinprotocol::StepperExpectations expect{std::chrono::milliseconds(stepTime)};
            expect.stopped = true;
            const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
            EXPECT_TRUE(report.ok()) << report;
        }
    }
}

// Not a case of the chip's clock: the byte clock runs leave it out.
using ChipClockedLoss = ChipClockedSteps;

TEST_F(ChipClockedLoss, AChipLostPartWayLeavesThePositionWhereItsStepsTookTheTable) {
    LxStepperMotor driver(2);
    ASSERT_NO_FATAL_FAILURE(open(driver, 5));
    // Every write from the second block on is refused, until the chip counts
    // as lost. The first block, 16 ms of pins, holds three rising edges.
    bool refusing = false;
    driver.setPositionHandler([&refusing](double) {
        if (!refusing) {
            refusing = true;
            Bus::instance().setWriteFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, -1, 1});
        }
    });
    driver.SetRotationCounterClockwise();
    driver.SetRotationIncrementInCounts(150);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);

    EXPECT_TRUE(driver.hasLostChip());
    EXPECT_EQ(driver.StepsTakenInLastMove(), 3);
    EXPECT_EQ(rig().stepperTable().position(), 3);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), 3 * 1.8);
}

TEST_F(ChipClockedSteps, WritesTheChipRefusesAreSentAgainWithoutAStepMoreOrLess) {
    LxStepperMotor driver(2);
    ASSERT_NO_FATAL_FAILURE(open(driver, 1));
    // Not before the open: refused, the writes that time the chip's clock
    // would leave the move to per-edge writes.
    Bus::instance().setWriteFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, 4, 3});
    driver.SetRotationIncrementInCounts(60);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);

    pinprotocol::StepperExpectations expect(1ms);
    expect.steps = 60;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(rig().stepperTable().position(), -60);
    EXPECT_FALSE(driver.hasLostChip());
    const auto events = trace().events;
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const ftdisim::TraceEvent& e) {
        return e.status != FT_OK;
    })) << "no write was refused";
}

// Refused once the chip is open, the train's clock is never set: the move
// falls back to one write per edge at the open's clock, and keeps its pulses
// and its count.
TEST_F(ChipClockedSteps, AChipThatRefusesTheTrainsClockStepsEdgeByEdge) {
    LxStepperMotor driver(2);
    ASSERT_NO_FATAL_FAILURE(open(driver, 1));
    Bus::instance().setSetUpFault(chip(), ftdisim::D2xxFunction::SetBaudRate, FT_INVALID_BAUD_RATE);
    driver.SetRotationIncrementInCounts(30);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);

    pinprotocol::StepperExpectations expect(1ms);
    expect.steps = 30;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(rig().stepperTable().position(), -30);
    EXPECT_EQ(driver.StepsTakenInLastMove(), 30);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -54.0);
    EXPECT_FALSE(driver.hasLostChip());
    EXPECT_EQ(Bus::instance().stats(chip()).baudRate, LxFTDIController::EDGE_BY_EDGE_BAUD_RATE);
}

} // namespace
