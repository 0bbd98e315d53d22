#include "LxKalveraTurntableControl.h"
#include "LxSettingsKeys.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

using ftdisim::Bus;
using ErrorCode = LxAbstractPlugin::ErrorCode;
using Private = LxTurntableHardware::TurntableHardwarePrivate;

namespace {

// "Custom" opened with no settings view and no counts, on a simulated stepper
// whose lines are both active low: only a plan that brings the counts and the
// levels turns it.
class ShootPlan : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        table().setWiring({false, false});
        Private::turntableRotationStopped = [this](LxTurntableHardware*) { ++notices; };
        ASSERT_FALSE(control.availableDevices().empty());
        bool opened = false;
        control.openDevice(0, &opened);
        ASSERT_TRUE(opened);
        ASSERT_EQ(control.countsPerRevolution(), 0u);
    }
    void TearDown() override {
        control.closeDevice();
        Private::turntableRotationStopped = nullptr;
        Bus::instance().reset();
    }

    static ftdisim::StepperTable& table() {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable();
    }
    static LxShootPlan custom72() {
        LxShootPlan plan;
        plan.frames = 4;
        plan.countsPerRevolution = 72;
        plan.clockwiseActiveHigh = false;
        plan.motorEnableActiveHigh = false;
        return plan;
    }

    LxKalveraTurntableControl control;
    std::atomic<int> notices{0};
};

TEST_F(ShootPlan, ACustomShootPlannedFromCodeRunsToItsEnd) {
    unsigned short count = 0;
    std::vector<float> angles{1.0f};
    ASSERT_TRUE(control.planShoot(custom72(), &count, &angles))
        << control.lastError().toStdString();
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(angles.empty()) << "frames have no angles";
    EXPECT_EQ(control.countsPerRevolution(), 72u);

    for (int capture = 1; capture <= 4; ++capture) {
        SCOPED_TRACE(capture);
        ASSERT_TRUE(control.rotateDeviceToAngle(90.0f * static_cast<float>(capture)));
        ASSERT_TRUE(processEventsUntil(
            [&] { return notices == capture && !control.IsTurntableRotating(); }));
        EXPECT_EQ(table().position(), -18 * capture);
    }
    EXPECT_FALSE(control.rotateDeviceToAngle(0.0f));
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::SequenceCompleted);
    EXPECT_EQ(table().missedSteps(), 0u);
}

TEST_F(ShootPlan, CaptureAnglesAreClosedByAWholeTurn) {
    LxShootPlan plan = custom72();
    plan.useCaptureAngles = true;
    plan.captureAngles = {0.0f, 30.0f, 200.5f};
    unsigned short count = 0;
    std::vector<float> angles;
    ASSERT_TRUE(control.planShoot(plan, &count, &angles)) << control.lastError().toStdString();
    EXPECT_EQ(count, 4);
    EXPECT_EQ(angles, (std::vector<float>{0.0f, 30.0f, 200.5f, 360.0f}));
    EXPECT_TRUE(control.isUsingCustomAngles());
}

TEST_F(ShootPlan, ARefusedPlanChangesNothing) {
    LxShootPlan good = custom72();
    good.frames = 6;
    good.preCaptureDelaySeconds = 1.0f;
    good.speed = 3;
    ASSERT_TRUE(control.planShoot(good));

    struct Case {
        std::vector<float> angles;
        unsigned int frames;
        ErrorCode code;
    };
    const float nan = std::nanf("");
    const std::vector<Case> cases{
        {{}, 0, ErrorCode::InvalidFrameCount},
        {{}, 65536, ErrorCode::InvalidFrameCount},
        {{90.0f, 45.0f}, 6, ErrorCode::CaptureAnglesOutOfOrder},
        {{90.0f, 90.0f}, 6, ErrorCode::CaptureAnglesOutOfOrder},
        {{-5.0f, 10.0f}, 6, ErrorCode::CaptureAnglesOutOfOrder},
        {{10.0f, 360.0f}, 6, ErrorCode::CaptureAnglesOutOfOrder},
        {{nan}, 6, ErrorCode::CaptureAnglesOutOfOrder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        LxShootPlan bad = custom72();
        bad.frames = c.frames;
        bad.useCaptureAngles = !c.angles.empty();
        bad.captureAngles = c.angles;
        bad.countsPerRevolution = 400;
        bad.preCaptureDelaySeconds = 5.0f;
        bad.speed = 9;
        unsigned short count = 7;
        std::vector<float> angles{1.0f};
        EXPECT_FALSE(control.planShoot(bad, &count, &angles));
        EXPECT_EQ(control.lastErrorCode(), c.code);
        EXPECT_EQ(count, 7);
        EXPECT_EQ(angles, std::vector<float>{1.0f});
        EXPECT_EQ(control.complete360ProductPhotographyImagesCount(nullptr), 6);
        EXPECT_EQ(control.preDelaySeconds(), 1.0f);
        EXPECT_EQ(control.rotationSpeed(), 7u);
        EXPECT_EQ(control.countsPerRevolution(), 72u);
    }

    control.closeDevice();
    EXPECT_FALSE(control.planShoot(good));
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::DeviceNotOpen);
}

TEST(ShootPlanFromSettings, ReadsTheMapAsTheViewsPlanDoes) {
    const LxShootPlan plan = LxShootPlan::fromSettingsMap(QVariantMap{
        {LxSettingsKeys::framesCountText, "12.7"},
        {LxSettingsKeys::useCustomAngles, true},
        {LxSettingsKeys::customAnglesList, QStringList{"10", "20.5"}},
        {LxSettingsKeys::captureDelaySeconds, QVariantList{1, "2.5"}},
        {LxSettingsKeys::rotationSpeed, 7},
        {LxSettingsKeys::triggerShutterRelease, true},
        {LxSettingsKeys::isLockTableWhenIdle, true},
        {LxSettingsKeys::isPerEdgeStepWrites, true},
        {LxSettingsKeys::customTurntableAdvancedSettings,
         QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, "200"},
                     {LxSettingsKeys::isClockwiseActiveHigh, true}}},
    });
    EXPECT_EQ(plan.frames, 12u);
    EXPECT_TRUE(plan.useCaptureAngles);
    EXPECT_EQ(plan.captureAngles, (std::vector<float>{10.0f, 20.5f}));
    EXPECT_EQ(plan.preCaptureDelaySeconds, 1.0f);
    EXPECT_EQ(plan.postCaptureDelaySeconds, 2.5f);
    EXPECT_EQ(plan.speed, 7u);
    EXPECT_TRUE(plan.triggerShutterRelease);
    EXPECT_TRUE(plan.lockWhenIdle);
    EXPECT_TRUE(plan.perEdgeStepWrites);
    EXPECT_EQ(plan.countsPerRevolution, 200u);
    EXPECT_EQ(plan.clockwiseActiveHigh, true);
    EXPECT_EQ(plan.motorEnableActiveHigh, false) << "a missing level is low, as the view reads it";

    EXPECT_EQ(LxShootPlan::fromSettingsMap({{LxSettingsKeys::framesCountText, "70000"}}).frames,
              0u);
}

} // namespace
