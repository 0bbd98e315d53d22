// The two motor drivers on the simulated chip: what the turntable physically
// did, and whether every pin access kept the protocol.
#include "LxDCMotor.h"
#include "LxStepperMotor.h"
#include "PinProtocolChecker.h"
#include "SimulatedChipTest.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

using MotorDriver = SimulatedChipTest;
using DcDriver = MotorDriver;
using StepperDriver = MotorDriver;

// Of every thread of the process.
Clock::duration processorTime() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

std::chrono::duration<double> seconds(Clock::duration duration) {
    return duration;
}

// Holds every `every`-th write on its way back for `hold`: under a frame, as
// a USB does, or longer, as a stalled bus or a thread that lost its
// processor does.
class StallingPins final : public ftdisim::PinModel {
public:
    StallingPins(std::chrono::microseconds hold, int every)
        : hold(hold)
        , every(every) {}

    void outputsWritten(std::uint8_t, std::uint8_t, ftdisim::Clock::time_point) override {
        if (++writes % every == 0) {
            std::this_thread::sleep_for(hold);
        }
    }

private:
    std::chrono::microseconds hold;
    int every;
    int writes = 0;
};

std::vector<int> chunkCounts(const pinprotocol::PinProtocolReport& report) {
    std::vector<int> counts;
    for (const auto& chunk : report.chunks) {
        counts.push_back(chunk.continuous ? -1 : chunk.counts());
    }
    return counts;
}

TEST_F(DcDriver, ACountedMoveRunsInChunksOfAtMostSixteen) {
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(72);
    ASSERT_EQ(driver.SetRotationIncrementInCounts(72), 72);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);

    const auto report = pinprotocol::checkDcProtocol(trace());
    EXPECT_TRUE(report.ok()) << report;
    // The idle load after opening is no chunk; the first start pulse is.
    EXPECT_EQ(chunkCounts(report), (std::vector<int>{8, 16, 16, 16, 16}));
    ASSERT_EQ(report.chunks.size(), 5u);
    EXPECT_EQ(report.chunks[0].nibble, 7);
    EXPECT_EQ(report.chunks[4].nibble, 15);
    EXPECT_EQ(rig().dcTable().countsTurned(), 72u);
    EXPECT_FALSE(rig().dcTable().isTurning());
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees() + 0.0, 0.0) << "a whole turn clockwise";
}

TEST_F(DcDriver, EachChunkRunsOnceAtAnyTableSpeed) {
    // A fast table runs a one-count chunk and stands again before a slow one
    // would even have been seen turning.
    for (const auto timePerCount :
         {ftdisim::DcTable::kDefaultTimePerCount, ftdisim::Clock::duration(40ms),
          ftdisim::Clock::duration(15ms)}) {
        SCOPED_TRACE(std::chrono::duration_cast<std::chrono::milliseconds>(timePerCount).count());
        Bus::instance().reset();
        rig().dcTable().setTimePerCount(timePerCount);
        LxDCMotor driver;
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetCountsPerRevolution(72);
        driver.SetRotationCounterClockwise();
        const std::pair<int, std::vector<int>> moves[] = {{1, {1}}, {17, {1, 16}}, {18, {2, 16}}};
        for (const auto& [counts, chunks] : moves) {
            SCOPED_TRACE(counts);
            Bus::instance().clearTrace(chip());
            const unsigned before = rig().dcTable().countsTurned();
            driver.SetRotationIncrementInCounts(counts);
            ASSERT_TRUE(driver.startRotation());
            runToEnd(driver);
            const auto report = pinprotocol::checkDcProtocol(trace());
            EXPECT_TRUE(report.ok()) << report;
            EXPECT_EQ(chunkCounts(report), chunks);
            EXPECT_EQ(rig().dcTable().countsTurned() - before, static_cast<unsigned>(counts));
        }
        EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), 180.0) << "36 counts of 5 degrees";
    }
}

TEST_F(DcDriver, ContinuousRunsUntilStoppedAndStopsShort) {
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(72);
    driver.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(driver.startRotation());
    const auto runUntil = Clock::now() + 600ms;
    while (Clock::now() < runUntil) {
        ASSERT_TRUE(driver.IsTurntableRotating());
    }
    EXPECT_TRUE(rig().dcTable().isTurning());
    const auto stopAsked = Clock::now();
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_LT(Clock::now() - stopAsked, 3s) << "one pass, then at most the stop sequence";
    EXPECT_FALSE(rig().dcTable().isTurning());
    EXPECT_GE(rig().dcTable().countsTurned(), 3u);
    auto report = pinprotocol::checkDcProtocol(trace());
    EXPECT_TRUE(report.ok()) << report;
    ASSERT_FALSE(report.chunks.empty());
    EXPECT_TRUE(report.chunks.front().continuous);

    // A counted move cut short: the table stops at its next mark, and the
    // bookkeeping takes the planned position, which the table never reached.
    Bus::instance().clearTrace(chip());
    const unsigned before = rig().dcTable().countsTurned();
    driver.SetRotationIncrementInCounts(36);
    ASSERT_TRUE(driver.startRotation());
    const auto cutAt = Clock::now() + 500ms;
    while (Clock::now() < cutAt) {
    }
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_FALSE(rig().dcTable().isTurning());
    EXPECT_LT(rig().dcTable().countsTurned() - before, 36u);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -180.0);
    report = pinprotocol::checkDcProtocol(trace());
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_FALSE(driver.triggerShutterRelease()) << "the DC table has no shutter output";
}

TEST_F(DcDriver, AnUnpluggedChipEndsTheMove) {
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(72);
    driver.SetRotationIncrementInCounts(40);
    ASSERT_TRUE(driver.startRotation());
    while (!rig().dcTable().isTurning()) {
    }
    Bus::instance().unplug(chip());
    const auto took = runToEnd(driver, 30s);
    EXPECT_GE(took, LxFTDIController::CHIP_LOST_AFTER - 100ms);
    EXPECT_LT(took, 15s);
    EXPECT_NE(driver.lastFTDIError(), LxFTDIController::FTDI_NO_ERROR);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -200.0) << "the planned position";
}

TEST_F(StepperDriver, AMoveIsExactlyItsStepsAtTheSetSpeed) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(200);
    driver.SetRotationSpeed(2);
    driver.SetLockMotorWhenIdle(false);
    ASSERT_EQ(driver.SetRotationIncrementInCounts(25), 25);
    ASSERT_TRUE(driver.startRotation());
    runToEnd(driver);

    pinprotocol::StepperExpectations expect(2ms);
    expect.steps = 25;
    expect.directionHigh = true; // clockwise, clockwise active high
    expect.lockWhenIdle = false;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_GE(report.stepHigh.min, 2ms);
    EXPECT_GE(report.stepLow.min, 1ms);
    EXPECT_EQ(rig().stepperTable().steps(), 25u);
    EXPECT_EQ(rig().stepperTable().missedSteps(), 0u);
    EXPECT_EQ(rig().stepperTable().position(), -25);
    EXPECT_FALSE(rig().stepperTable().isHoldingTorque());
    EXPECT_TRUE(rig().stepperTable().auxiliaryLine());
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -45.0);
}

TEST_F(StepperDriver, AMoveCostsASmallPartOfAProcessor) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(200);
    driver.SetRotationSpeed(5);
    driver.SetRotationIncrementInCounts(200);
    const auto processorBefore = processorTime();
    ASSERT_TRUE(driver.startRotation());
    const auto took = runToEnd(driver);
    const auto processor = processorTime() - processorBefore;

    EXPECT_EQ(rig().stepperTable().steps(), 200u);
    EXPECT_GE(took, 200 * 6ms);
    EXPECT_LT(took, 20s);
    EXPECT_LT(seconds(processor) / seconds(took), 0.6)
        << "a busy-waiting move takes a whole processor";
}

TEST_F(StepperDriver, HeldLateOrRetriedEdgesNeverShortenAPhase) {
    // A write held on its way back, on a bus with frames whose writes land
    // with a jitter, or sent again after the chip refused it, reaches the pins
    // late: the train slips after it and no phase comes out short.
    struct Case {
        std::chrono::microseconds hold;
        int every;
        ftdisim::BusTiming timing;
    };
    for (const auto& [hold, every, timing] : {Case{600us, 1, {}}, Case{3000us, 4, {}},
                                              Case{0us, 1, ftdisim::BusTiming::fullSpeed(400us)}}) {
        SCOPED_TRACE(hold.count());
        Bus::instance().reset();
        Bus::instance().setTiming(timing);
        Bus::instance().setPinModel(chip(), std::make_shared<StallingPins>(hold, every));
        Bus::instance().setWriteFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, -1, 5});
        LxStepperMotor driver(2);
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetCountsPerRevolution(200);
        driver.SetRotationSpeed(1);
        driver.SetRotationIncrementInCounts(40);
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);

        pinprotocol::StepperExpectations expect(1ms);
        expect.steps = 40;
        const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
        EXPECT_TRUE(report.ok()) << report;
        // A frame-timed bus holds every write until a frame boundary.
        const auto held = hold > 0us ? hold : std::chrono::microseconds(1000);
        EXPECT_GE(std::max(report.stepHigh.max, report.stepLow.max), held) << "no write was held";
    }
}

TEST_F(StepperDriver, WiringPolaritiesAndTheIdleLock) {
    struct Case {
        bool clockwiseHigh, enableHigh, lock, clockwise;
    };
    for (const Case c : {Case{false, true, false, true}, Case{false, false, false, false},
                         Case{true, false, true, true}, Case{true, true, true, false}}) {
        SCOPED_TRACE(testing::Message()
                     << "cw high " << c.clockwiseHigh << ", enable high " << c.enableHigh
                     << ", lock " << c.lock << ", cw " << c.clockwise);
        Bus::instance().reset();
        rig().stepperTable().setWiring({c.enableHigh, c.clockwiseHigh});
        LxStepperMotor driver(4);
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetCountsPerRevolution(200);
        driver.SetClockwiseActiveHigh(c.clockwiseHigh);
        driver.SetMotorEnableActiveHigh(c.enableHigh);
        driver.SetLockMotorWhenIdle(c.lock);
        c.clockwise ? driver.SetRotationClockwise() : driver.SetRotationCounterClockwise();
        driver.SetRotationIncrementInCounts(6);
        ASSERT_TRUE(driver.startRotation());
        runToEnd(driver);

        pinprotocol::StepperExpectations expect(0ms);
        expect.enableActiveHigh = c.enableHigh;
        expect.lockWhenIdle = c.lock;
        expect.steps = 6;
        expect.directionHigh = c.clockwise == c.clockwiseHigh;
        const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
        EXPECT_TRUE(report.ok()) << report;
        EXPECT_EQ(rig().stepperTable().position(), c.clockwise ? -6 : 6);
        EXPECT_EQ(rig().stepperTable().isHoldingTorque(), c.lock);
        EXPECT_EQ(rig().stepperTable().missedSteps(), 0u);
    }
}

TEST_F(StepperDriver, ContinuousStepsUntilStopped) {
    LxStepperMotor driver(5);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(6400);
    driver.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(driver.startRotation());
    while (rig().stepperTable().steps() < 20) {
        ASSERT_TRUE(driver.IsTurntableRotating());
    }
    ASSERT_TRUE(driver.stopRotation());
    const auto steps = rig().stepperTable().steps();
    const auto report =
        pinprotocol::checkStepperProtocol(trace(), pinprotocol::StepperExpectations(0ms));
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(report.steps, static_cast<int>(steps));
    EXPECT_EQ(rig().stepperTable().steps(), steps) << "nothing moves after the stop";
}

TEST_F(StepperDriver, AStopCutsALongStepShortAndCountsIt) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(200);
    driver.SetRotationSpeed(5000);
    driver.SetLockMotorWhenIdle(false);
    driver.SetRotationIncrementInCounts(3);
    ASSERT_TRUE(driver.startRotation());
    while (rig().stepperTable().steps() < 1) {
        std::this_thread::sleep_for(1ms);
    }
    const auto stopAsked = Clock::now();
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_LT(Clock::now() - stopAsked, 2s) << "not the rest of a 5 s step";

    // The table took the step at the rising edge; the short pulse is the
    // stopped move's last, and the motor is released after it.
    pinprotocol::StepperExpectations expect(5000ms);
    expect.stopped = true;
    expect.steps = 1;
    expect.lockWhenIdle = false;
    const auto report = pinprotocol::checkStepperProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_GE(report.stepHigh.min, 1ms);
    EXPECT_EQ(rig().stepperTable().steps(), 1u);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees(), -5.4) << "the planned position";
}

TEST_F(StepperDriver, TheShutterReleaseIsOneFocusedPressOfASecond) {
    LxStepperMotor driver(6);
    ASSERT_TRUE(driver.openDevice(0));
    const auto start = Clock::now();
    const auto processorBefore = processorTime();
    EXPECT_TRUE(driver.triggerShutterRelease());
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 1000ms);
    EXPECT_LT(took, 5s);
    EXPECT_LT(seconds(processorTime() - processorBefore) / seconds(took), 0.6)
        << "the press sleeps";

    const auto captures = rig().camera().captures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_GE(captures[0].time - captures[0].focusedAt, 500ms);
    EXPECT_EQ(rig().camera().missedCaptures(), 0u);
    const auto report =
        pinprotocol::checkStepperProtocol(trace(), pinprotocol::StepperExpectations(0ms));
    EXPECT_TRUE(report.ok()) << report;
    ASSERT_EQ(report.shutterPulses.size(), 1u);
    EXPECT_GE(report.shutterPulses[0].fall - report.shutterPulses[0].focusRise, 1000ms);
    EXPECT_EQ(Bus::instance().outputLevels(chip()) & 0x30, 0);

    // The chip has one writer at a time: no release while a move runs.
    driver.SetCountsPerRevolution(6400);
    driver.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(driver.startRotation());
    EXPECT_FALSE(driver.triggerShutterRelease());
    ASSERT_TRUE(driver.stopRotation());
    EXPECT_EQ(rig().camera().captures().size(), 1u);
}

TEST_F(StepperDriver, AnUnpluggedChipEndsTheMove) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(19520);
    driver.SetRotationIncrementInCounts(19520);
    ASSERT_TRUE(driver.startRotation());
    while (rig().stepperTable().steps() < 5) {
    }
    Bus::instance().unplug(chip());
    const auto took = runToEnd(driver, 30s);
    EXPECT_GE(took, LxFTDIController::CHIP_LOST_AFTER - 100ms);
    EXPECT_LT(took, 15s) << "not the 20 s of the whole revolution";
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_WRITE_ERROR);
    EXPECT_DOUBLE_EQ(driver.GlobalPositionInDegrees() + 0.0, 0.0) << "the planned whole turn";
}

} // namespace
