// The choice of USB backend, as a host sees it: through the controller's
// search and its last error.
#include "LxD2xxBackend.h"
#include "LxKalveraTurntableControl.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>

#include <gmock/gmock.h>

#include <string>

using ftdisim::Bus;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class UsbBackend : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        ASSERT_TRUE(LxD2xxBackend::choose("simulator"));
    }
    void TearDown() override {
        control.closeDevice();
        LxD2xxBackend::choose(choiceBefore);
        Bus::instance().reset();
    }
    static ftdisim::DeviceStats chipStats() {
        return Bus::instance().stats(Bus::instance().devices().at(0));
    }

    const std::string choiceBefore = LxD2xxBackend::chosen();
    LxKalveraTurntableControl control;
};

TEST_F(UsbBackend, AnUnknownNameIsRefusedAndTheChoiceStays) {
    EXPECT_FALSE(LxD2xxBackend::choose("Simulator"));
    EXPECT_FALSE(LxD2xxBackend::choose(""));
    EXPECT_EQ(LxD2xxBackend::chosen(), "simulator");
    EXPECT_EQ(control.availableDevices().size(), 8u);
}

TEST_F(UsbBackend, ABackendThatCannotBeLoadedIsNamedWithTheReasonAndNothingStandsIn) {
    ASSERT_TRUE(LxD2xxBackend::choose("vendor"));
    if (LxD2xxBackend::load()) {
        GTEST_SKIP() << "this machine has the vendor's libftd2xx.so";
    }
    EXPECT_TRUE(control.availableDevices().empty()) << "the simulated chip was found";
    const std::string error = control.lastError().toStdString();
    EXPECT_THAT(error, StartsWith("The USB backend \"vendor\" cannot be loaded: "));
    EXPECT_THAT(error, HasSubstr("libftd2xx.so"));
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::BackendNotLoadable);
    control.setLastError(QString());
    EXPECT_TRUE(control.attachedChips().empty());
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::BackendNotLoadable);
    bool opened = true;
    control.openDevice(0, &opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(chipStats().opens, 0u);
}

TEST_F(UsbBackend, AnOpenTurntableStaysOnItsBackendWhenTheChoiceChanges) {
    ASSERT_EQ(control.availableDevices().size(), 8u);
    bool opened = false;
    control.openDevice(2, &opened);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(LxD2xxBackend::choose("vendor"));

    const unsigned writesBefore = chipStats().writes;
    control.SetRotationIncrementInCounts(3);
    ASSERT_TRUE(control.startRotation());
    ASSERT_TRUE(processEventsUntil([this] { return !control.IsTurntableRotating(); }));
    EXPECT_GT(chipStats().writes, writesBefore) << "the move went elsewhere";
    control.closeDevice();
    EXPECT_FALSE(chipStats().open);
    EXPECT_EQ(chipStats().closes, 1u);

    ASSERT_TRUE(LxD2xxBackend::choose("simulator"));
    EXPECT_EQ(control.availableDevices().size(), 8u) << "the chip was left open";
}

} // namespace
