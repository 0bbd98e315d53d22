// What the tables see of the chip's undriven pins while a driver opens it the
// way the SDK's drivers do, twice in a row, under each ResetPins setting.
#include "PinModelFixture.h"

#include <ftdisim/ResetPins.h>
#include <ftdisim/StepperTable.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::ResetPins;
using ftdisim::TurntableRig;

namespace {

struct Expectation {
    ResetPins pins;
    // On the second open: the stepper's step edge (taken or missed), the DC
    // table's start.
    unsigned stepEdges;
    unsigned dcChunks;
};

void PrintTo(const Expectation& expectation, std::ostream* os) {
    *os << static_cast<int>(expectation.pins);
}

class ResetPinsTest : public PinModelTest, public ::testing::WithParamInterface<Expectation> {
protected:
    // A chip fresh from the plug under the setting, with a rig wired to it
    // from then on: each table on a chip of its own, which holds only what
    // its own driver wrote.
    std::shared_ptr<TurntableRig> freshChip() {
        resetBus();
        Bus::instance().setResetPins(GetParam().pins);
        auto rig = std::make_shared<TurntableRig>();
        Bus::instance().setPinModel(device(), rig);
        opened_ = device();
        return rig;
    }

    // FT_Open, 1,000,000 baud, latency 2 ms, 10 ms in reset mode, bit-bang
    // mode, both purges, the opening pins; then FT_Close.
    void openAndClose(UCHAR mask, std::initializer_list<UCHAR> openingPins) {
        ASSERT_EQ(FT_Open(0, &handle_), FT_OK);
        ASSERT_EQ(FT_SetBaudRate(handle_, 1000000), FT_OK);
        ASSERT_EQ(FT_SetLatencyTimer(handle_, 2), FT_OK);
        setBitMode(mask, FT_BITMODE_RESET);
        std::this_thread::sleep_for(10ms);
        setBitMode(mask);
        ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
        for (const UCHAR byte : openingPins) {
            write(byte);
        }
        ASSERT_EQ(FT_Close(handle_), FT_OK);
    }
};

TEST_P(ResetPinsTest, TheFirstOpenMovesNothingAndTheSecondWhatTheUndrivenPinsMake) {
    // The stepper driver's opening byte.
    const auto stepper = freshChip();
    openAndClose(TurntableRig::kStepperTableMask, {0x00});
    const ftdisim::StepperTable& steps = stepper->stepperTable();
    EXPECT_EQ(steps.steps() + steps.missedSteps(), 0u);
    openAndClose(TurntableRig::kStepperTableMask, {0x00});
    EXPECT_EQ(steps.steps() + steps.missedSteps(), GetParam().stepEdges);

    // The DC driver's idle nibble, loaded.
    const auto dc = freshChip();
    openAndClose(TurntableRig::kDcTableMask, {0x0E, 0x8E});
    EXPECT_TRUE(dc->dcTable().chunks().empty());
    openAndClose(TurntableRig::kDcTableMask, {0x0E, 0x8E});
    EXPECT_EQ(dc->dcTable().chunks().size(), GetParam().dcChunks);
}

INSTANTIATE_TEST_SUITE_P(Settings, ResetPinsTest,
                         ::testing::Values(Expectation{ResetPins::PulledUp, 1, 1},
                                           Expectation{ResetPins::PulledDown, 0, 0},
                                           Expectation{ResetPins::Held, 0, 0}));

TEST(ResetPinsParser, ReadsHighLowAndHeld) {
    EXPECT_EQ(ftdisim::parseResetPins(" high "), ResetPins::PulledUp);
    EXPECT_EQ(ftdisim::parseResetPins("low"), ResetPins::PulledDown);
    EXPECT_EQ(ftdisim::parseResetPins("held"), ResetPins::Held);
    EXPECT_FALSE(ftdisim::parseResetPins("up").has_value());
}

} // namespace
