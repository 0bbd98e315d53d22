// The rig the bus wires to each device: the bit-bang mask a driver sets picks
// the model that answers.
#include "PinModelFixture.h"

#include <ftdisim/Environment.h>

#include <chrono>
#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::DcTable;
using ftdisim::DeviceId;
using ftdisim::StepperTable;
using ftdisim::TurntableRig;

namespace {

using TurntableRigTest = PinModelTest;

struct Connection {
    UCHAR mask;
    UCHAR mode;
    bool dcTable;
    bool stepperTableAndCamera;
};

class TurntableRigMask : public TurntableRigTest,
                         public ::testing::WithParamInterface<Connection> {};

TEST_P(TurntableRigMask, ConnectsTheModelsTheDriverOfTheMaskExpects) {
    const Connection connection = GetParam();
    open();
    setBitMode(connection.mask, connection.mode);
    const auto rig = this->rig();
    // Outside bit-bang mode the chip queues no samples of its pins to read.
    if (connection.mode == FT_BITMODE_ASYNC_BITBANG) {
        EXPECT_EQ(read(), connection.dcTable ? DcTable::kStoppedLine : 0);
    }
    // Every line each model reacts to: DC load and start, stepper enable and
    // step, camera focus and release.
    const UCHAR held = DcTable::kLoadLine | StepperTable::kEnableLine | ftdisim::Camera::kFocusLine;
    write(held);
    write(0xFF);
    write(held);

    EXPECT_EQ(rig->dcTable().chunks().size(), connection.dcTable ? 1u : 0u);
    const unsigned stepperAndCamera = connection.stepperTableAndCamera ? 1 : 0;
    EXPECT_EQ(rig->stepperTable().steps(), stepperAndCamera);
    EXPECT_EQ(rig->camera().captures().size(), stepperAndCamera);
    EXPECT_EQ(rig->stepperTable().missedSteps() + rig->camera().missedCaptures(), 0u);
}

constexpr UCHAR kBitBang = FT_BITMODE_ASYNC_BITBANG;
INSTANTIATE_TEST_SUITE_P(Masks, TurntableRigMask,
                         ::testing::Values(Connection{0xEF, kBitBang, true, false},
                                           Connection{0xFF, kBitBang, false, true},
                                           Connection{0xEF, FT_BITMODE_RESET, false, false},
                                           Connection{0x0F, kBitBang, false, false},
                                           Connection{0xFE, kBitBang, false, false}));

TEST_F(TurntableRigTest, ATableCutOffSeesItsLinesLow) {
    openInBitBang(TurntableRig::kStepperTableMask);
    const auto rig = this->rig();
    write(StepperTable::kEnableLine | StepperTable::kAuxiliaryLine);
    EXPECT_TRUE(rig->stepperTable().isHoldingTorque());
    setBitMode(TurntableRig::kDcTableMask);
    EXPECT_FALSE(rig->stepperTable().isHoldingTorque());
    EXPECT_FALSE(rig->stepperTable().auxiliaryLine());

    rig->dcTable().setTimePerCount(50ms);
    write(DcTable::kContinuousLine);
    write(DcTable::kContinuousLine | DcTable::kStartLine);
    write(DcTable::kContinuousLine);
    EXPECT_FALSE(rig->dcTable().chunks().at(0).end.has_value());
    setBitMode(TurntableRig::kStepperTableMask);
    EXPECT_TRUE(rig->dcTable().chunks().at(0).end.has_value()) << "coasts to its next mark";
}

TEST_F(TurntableRigTest, EveryDeviceHasARigOfItsOwnUntilATestReplacesIt) {
    setenv(ftdisim::kDevicesVariable, "FT245R A,A1;FT245R B,B1", 1);
    Bus& bus = Bus::instance();
    bus.reset();
    const DeviceId attached = bus.attach();
    const std::vector<DeviceId> devices = bus.devices();
    ASSERT_EQ(devices.size(), 3u);
    const auto first = bus.rig(devices[0]);
    const auto second = bus.rig(devices[1]);
    ASSERT_TRUE(first && second && bus.rig(attached));
    EXPECT_NE(first, second);
    EXPECT_NE(second, bus.rig(attached));

    open(1);
    setBitMode(TurntableRig::kStepperTableMask);
    write(StepperTable::kEnableLine);
    write(StepperTable::kEnableLine | StepperTable::kStepLine);
    EXPECT_EQ(second->stepperTable().steps(), 1u);
    EXPECT_EQ(first->stepperTable().steps(), 0u);

    bus.setPinModel(devices[0], std::make_shared<ftdisim::PinModel>());
    EXPECT_EQ(bus.rig(devices[0]), nullptr);
    bus.setPinModel(devices[0], first);
    EXPECT_EQ(bus.rig(devices[0]), first);
}

TEST_F(TurntableRigTest, DcTimePerCountComesFromTheEnvironment) {
    Bus& bus = Bus::instance();
    setenv(ftdisim::kDcCountTimeVariable, "250", 1);
    bus.reset();
    EXPECT_EQ(rig()->dcTable().timePerCount(), 250ms);
    EXPECT_EQ(bus.rig(bus.attach())->dcTable().timePerCount(), 250ms);

    setenv(ftdisim::kDcCountTimeVariable, "fast", 1);
    bus.reset();
    EXPECT_EQ(rig()->dcTable().timePerCount(), DcTable::kDefaultTimePerCount);
}

TEST(DcCountTimeParser, AcceptsOnlyAPositiveDecimalMillisecondCount) {
    EXPECT_EQ(ftdisim::parseDcCountTime("250"), 250ms);
    EXPECT_EQ(ftdisim::parseDcCountTime(" 7 "), 7ms);
    for (const char* text : {"", "0", "-5", "1.5", "12ms", "0x10", "99999999999"}) {
        EXPECT_FALSE(ftdisim::parseDcCountTime(text).has_value()) << text;
    }
}

} // namespace
