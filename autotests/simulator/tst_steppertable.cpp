// The stepper table behind a chip with mask 0xFF, driven as the stepper
// driver drives it.
#include "PinModelFixture.h"

#include <ftdisim/StepperTable.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::Clock;
using ftdisim::StepperTable;
using ftdisim::TraceEvent;

namespace {

constexpr UCHAR kEnable = StepperTable::kEnableLine;
constexpr UCHAR kClockwise = StepperTable::kDirectionLine;
constexpr UCHAR kStep = StepperTable::kStepLine;
constexpr UCHAR kAuxiliary = StepperTable::kAuxiliaryLine;

class StepperTableTest : public PinModelTest {
protected:
    void SetUp() override {
        PinModelTest::SetUp();
        openInBitBang(ftdisim::TurntableRig::kStepperTableMask);
        rig_ = rig();
    }

    StepperTable& table() { return rig_->stepperTable(); }

    void step(UCHAR lines) {
        write(lines | kStep);
        write(lines);
    }

    std::shared_ptr<ftdisim::TurntableRig> rig_;
};

TEST_F(StepperTableTest, StepsOnRisingEdgesWhileEnabledAndCountsTheOthersAsMissed) {
    write(kEnable | kClockwise);
    write(kEnable | kClockwise | kStep);
    const Clock::time_point stepped = lastAccessTime();
    write(kEnable | kClockwise | kStep);
    write(kEnable | kClockwise);
    step(kClockwise);

    EXPECT_EQ(table().steps(), 1u);
    EXPECT_EQ(table().missedSteps(), 1u);
    EXPECT_EQ(table().position(), -1);
    EXPECT_EQ(table().stepTimes(), std::vector<Clock::time_point>{stepped});
}

class StepperTableWiring : public StepperTableTest,
                           public ::testing::WithParamInterface<StepperTable::Wiring> {};

TEST_P(StepperTableWiring, ClockwiseStepsLowerThePositionAtTheWiredLevels) {
    const StepperTable::Wiring wiring = GetParam();
    table().setWiring(wiring);
    const UCHAR enabled = wiring.enableActiveHigh ? kEnable : 0;
    const UCHAR disabled = enabled ^ kEnable;
    const UCHAR clockwise = wiring.clockwiseActiveHigh ? kClockwise : 0;
    const UCHAR counterclockwise = clockwise ^ kClockwise;

    write(disabled | clockwise);
    EXPECT_FALSE(table().isHoldingTorque());
    for (int i = 0; i < 3; ++i) {
        step(enabled | clockwise);
    }
    EXPECT_TRUE(table().isHoldingTorque());
    write(disabled | counterclockwise);
    step(disabled | counterclockwise);
    for (int i = 0; i < 5; ++i) {
        step(enabled | counterclockwise);
    }

    EXPECT_EQ(table().position(), 2);
    EXPECT_EQ(table().steps(), 8u);
    EXPECT_EQ(table().missedSteps(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Polarities, StepperTableWiring,
                         ::testing::Values(StepperTable::Wiring{true, true},
                                           StepperTable::Wiring{true, false},
                                           StepperTable::Wiring{false, true},
                                           StepperTable::Wiring{false, false}));

TEST_F(StepperTableTest, HoldsTorqueAtTheActiveEnableLevelAndShowsTheAuxiliaryLine) {
    EXPECT_FALSE(table().isHoldingTorque());
    table().setWiring({false, true});
    EXPECT_TRUE(table().isHoldingTorque()) << "all lines low enable an active-low driver";
    write(kEnable | kAuxiliary);
    EXPECT_FALSE(table().isHoldingTorque());
    EXPECT_TRUE(table().auxiliaryLine());
    write(kEnable);
    EXPECT_FALSE(table().auxiliaryLine());
}

TEST_F(StepperTableTest, CountsDirectionChangesWhileEnabledOnly) {
    write(kClockwise);
    write(kEnable);
    step(kEnable);
    write(kEnable | kClockwise);
    step(kEnable | kClockwise);
    write(kClockwise);
    write(0);
    EXPECT_EQ(table().directionChangesWhileEnabled(), 1u);
}

TEST_F(StepperTableTest, KeepsTheTimesOfTheLastStepsInOrder) {
    constexpr std::size_t kSteps = StepperTable::kStepTimesKept + 5;
    std::vector<UCHAR> train;
    for (std::size_t i = 0; i < kSteps; ++i) {
        train.push_back(kEnable | kStep);
        train.push_back(kEnable);
    }
    DWORD written = 0;
    ASSERT_EQ(FT_Write(handle_, train.data(), static_cast<DWORD>(train.size()), &written), FT_OK);
    // The write returns once its last byte is in the chip's 128-byte buffer,
    // which the chip clocks out within 43 us; rig() hands them to the table.
    std::this_thread::sleep_for(1ms);
    rig();

    const std::vector<Clock::time_point> times = table().stepTimes();
    ASSERT_EQ(times.size(), StepperTable::kStepTimesKept);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    const std::vector<TraceEvent> events = Bus::instance().trace(device()).events;
    EXPECT_EQ(times.back(), events.at(events.size() - 2).time);
    EXPECT_EQ(table().steps(), kSteps);
}

TEST_F(StepperTableTest, StateReadsWhileAnotherThreadSteps) {
    constexpr unsigned kSteps = 2000;
    std::atomic<bool> done{false};
    std::atomic<unsigned> failedWrites{0};
    // No ASSERT until join(): the thread ends on its own after kSteps.
    std::thread driver([&] {
        for (unsigned i = 0; i < kSteps; ++i) {
            for (UCHAR byte : {UCHAR(kEnable | kClockwise | kStep), UCHAR(kEnable | kClockwise)}) {
                DWORD written = 0;
                if (FT_Write(handle_, &byte, 1, &written) != FT_OK || written != 1) {
                    ++failedWrites;
                }
            }
        }
        done = true;
    });
    unsigned long long lastSteps = 0;
    while (!done) {
        const unsigned long long steps = table().steps();
        EXPECT_GE(steps, lastSteps);
        EXPECT_LE(steps, kSteps);
        EXPECT_GE(-table().position(), static_cast<long long>(steps));
        EXPECT_LE(table().stepTimes().size(), kSteps);
        lastSteps = steps;
        std::this_thread::sleep_for(200us);
    }
    driver.join();
    // The chip clocks the last byte out within 333 ns; rig() hands it over.
    std::this_thread::sleep_for(1us);
    rig();

    EXPECT_EQ(failedWrites, 0u);
    EXPECT_EQ(table().steps(), kSteps);
    EXPECT_EQ(table().position(), -static_cast<long long>(kSteps));
}

} // namespace
