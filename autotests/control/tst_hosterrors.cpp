// Mistakes a host makes through the public interface: those that are refused
// change nothing, and the one that is carried out is warned of.
#include "LxKalveraTurntableControl.h"

#include "LogCapture.h"
#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using ftdisim::Bus;
using Private = LxTurntableHardware::TurntableHardwarePrivate;

namespace {

class HostErrors : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        Private::hardwareOpenSucceeded = [this](LxTurntableHardware*, unsigned long i, bool) {
            reports.push_back("opened " + std::to_string(i));
        };
        Private::hardwareDisconnected = [this](LxTurntableHardware*, unsigned long i) {
            reports.push_back("disconnected " + std::to_string(i));
        };
        ASSERT_FALSE(control.availableDevices().empty());
        control.openDevice(0);
        ASSERT_TRUE(control.isTurntableOpened());
        control.SetCountsPerRevolution(72);
        control.setDelaySeconds(0.0f, 0.0f);
    }
    void TearDown() override {
        control.closeDevice();
        Private::hardwareOpenSucceeded = nullptr;
        Private::hardwareDisconnected = nullptr;
        Bus::instance().reset();
    }

    void plan(unsigned short captures) {
        control.LxTurntableHardware::complete360ProductPhotographyWillStart(&captures, nullptr);
    }
    static ftdisim::StepperTable& table() {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable();
    }

    LxKalveraTurntableControl control;
    std::vector<std::string> reports;
};

TEST_F(HostErrors, AShootStartedAtZeroIsWarnedOfAndCarriedOutAsAsked) {
    const LogCapture log("kalvera.turntable.shoot");
    // The positions where the captures are taken, one call late each.
    plan(4);
    EXPECT_TRUE(control.rotateDeviceToAngle(0.0f));
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().at(0).contains(QStringLiteral("the last one 360")))
        << log.warnings().at(0).toStdString();
    EXPECT_TRUE(control.rotateDeviceToAngle(90.0f));
    EXPECT_EQ(control.complete360ProductPhotographyImageIndex(), 2) << "both calls counted";
    control.LxTurntableHardware::stopsSpinning();

    // Each call passes the next capture's position, the last one 360.
    plan(4);
    for (const float next : {90.0f, 180.0f, 270.0f, 360.0f}) {
        EXPECT_TRUE(control.rotateDeviceToAngle(next)) << next;
    }
    EXPECT_FALSE(control.rotateDeviceToAngle(0.0f)) << "the call after the last";
    EXPECT_EQ(log.warnings().size(), 1) << "a right sequence is not warned of";

    // Custom angles that start at 0, passed as planned.
    unsigned short captures = 3;
    float* angles = new float[3]{0.0f, 180.0f, 360.0f};
    control.LxTurntableHardware::complete360ProductPhotographyWillStart(&captures, &angles);
    EXPECT_TRUE(control.rotateDeviceToAngle(0.0f));
    EXPECT_EQ(log.warnings().size(), 1) << "the plan's own first angle is not the host's error";
}

TEST_F(HostErrors, AModelIndexThatNamesNoModelIsRefusedAndTheOpenModelStays) {
    ASSERT_TRUE(control.setCurrentTurntableIndex(0));
    for (const unsigned long model : {8ul, 99ul}) {
        SCOPED_TRACE(model);
        const QString reason =
            QStringLiteral("There is no turntable model %1: the models are 0 to 7.").arg(model);
        control.openDevice(model);
        EXPECT_EQ(control.lastError(), reason);
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidModelIndex);

        bool opened = true;
        control.setLastError(QString());
        control.openDevice(model, &opened);
        EXPECT_FALSE(opened);
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidModelIndex);

        control.setLastError(QString());
        EXPECT_FALSE(control.setCurrentTurntableIndex(model));
        EXPECT_EQ(control.lastError(), reason);
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidModelIndex);
    }
    EXPECT_EQ(reports, std::vector<std::string>{"opened 0"}) << "no disconnection reported";
    EXPECT_EQ(control.currentTurntableIndex(), 0u);

    const ftdisim::DeviceStats chip = Bus::instance().stats(Bus::instance().devices().at(0));
    EXPECT_EQ(chip.opens, 1u);
    EXPECT_EQ(chip.closes, 0u);
    EXPECT_TRUE(control.isTurntableOpened());
    EXPECT_EQ(control.countsPerRevolution(), 72u) << "a reopened Custom would have none";
    ASSERT_EQ(control.SetRotationIncrementInCounts(9), 9);
    ASSERT_TRUE(control.startRotation());
    EXPECT_TRUE(processEventsUntil([this] { return !control.IsTurntableRotating(); }));
    EXPECT_EQ(table().steps(), 9u);
}

} // namespace
