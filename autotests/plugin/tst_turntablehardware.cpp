#include "LxTurntableHardware.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

namespace {

// The smallest concrete turntable plug-in. Its stopsSpinning override records
// calls, so a test can see which version the base sequence code runs.
class BareTurntable : public LxTurntableHardware {
public:
    std::list<std::string> availableDevices() const override { return {}; }
    void openDevice(unsigned long) override {}
    void closeDevice() override {}
    void stopsSpinning() override { ++overrideStops; }
    int overrideStops = 0;
};

using Private = LxTurntableHardware::TurntableHardwarePrivate;

class TurntableHardware : public ::testing::Test {
protected:
    void TearDown() override {
        Private::hardwareOpenSucceeded = nullptr;
        Private::hardwareDisconnected = nullptr;
        Private::turntableRotationStopped = nullptr;
    }

    static void plan(LxTurntableHardware& plugin, unsigned short count) {
        ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(&count, nullptr));
    }
    BareTurntable plugin;
};

TEST_F(TurntableHardware, NewObjectHasNoSequenceAndNoModel) {
    float* angles = reinterpret_cast<float*>(&plugin); // any non-null value
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(&angles), 0);
    EXPECT_EQ(angles, nullptr);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 0);
    EXPECT_EQ(plugin.currentTurntableIndex(), ULONG_MAX);
    EXPECT_EQ(plugin.pluginType(), 2);
    EXPECT_EQ(plugin.stepsToDegrees(100), 0.0);
    EXPECT_EQ(plugin.degreesToSteps(90.0f), 0);

    EXPECT_TRUE(plugin.setCurrentTurntableIndex(7));
    EXPECT_FALSE(plugin.setCurrentTurntableIndex(8));
    EXPECT_EQ(plugin.currentTurntableIndex(), 7u);
    EXPECT_EQ(plugin.lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidModelIndex);
}

TEST_F(TurntableHardware, SequenceCountsCapturesAndEndsOnTheCallAfterTheLast) {
    plan(plugin, 3);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(120.0f));
    EXPECT_TRUE(plugin.rotateDeviceToAngle(240.0f));
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 2);
    EXPECT_TRUE(plugin.lastError().isEmpty());
    EXPECT_TRUE(plugin.rotateDeviceToAngle(360.0f));

    EXPECT_FALSE(plugin.rotateDeviceToAngle(0.0f));
    EXPECT_EQ(plugin.lastError(), QStringLiteral("360 product photography completed."));
    EXPECT_EQ(plugin.lastErrorCode(), LxAbstractPlugin::ErrorCode::SequenceCompleted);
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(nullptr), 0);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 0);
    EXPECT_EQ(plugin.overrideStops, 0) << "the end of a sequence runs the base stop only";
}

TEST_F(TurntableHardware, TheLargestSequenceEndsToo) {
    plan(plugin, USHRT_MAX);
    int captures = 0;
    while (captures <= USHRT_MAX && plugin.rotateDeviceToAngle(1.0f)) {
        ++captures;
    }
    EXPECT_EQ(captures, USHRT_MAX) << "the image index must not wrap past the last capture";
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 0);
}

TEST_F(TurntableHardware, NoPlannedCapturesEndsAtOnce) {
    EXPECT_FALSE(plugin.rotateDeviceToAngle(45.0f));
    EXPECT_EQ(plugin.lastError(), QStringLiteral("360 product photography completed."));
    EXPECT_EQ(plugin.lastErrorCode(), LxAbstractPlugin::ErrorCode::SequenceCompleted);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 0);
}

TEST_F(TurntableHardware, ASequenceLeftEarlyKeepsItsImageIndex) {
    plan(plugin, 3);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(1.0f));
    EXPECT_TRUE(plugin.rotateDeviceToAngle(2.0f));
    plan(plugin, 3);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 2);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(3.0f));
    EXPECT_FALSE(plugin.rotateDeviceToAngle(4.0f));

    plan(plugin, 2);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(1.0f));
    plugin.LxTurntableHardware::stopsSpinning();
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(nullptr), 0);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 0);
}

TEST_F(TurntableHardware, PlanWithoutArgumentsChangesNothing) {
    plan(plugin, 4);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(1.0f));
    EXPECT_TRUE(plugin.complete360ProductPhotographyWillStart(nullptr, nullptr));
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(nullptr), 4);
    EXPECT_EQ(plugin.complete360ProductPhotographyImageIndex(), 1);
}

// Under AddressSanitizer a leaked or doubly released array fails this test.
TEST_F(TurntableHardware, TheObjectOwnsTheAnglesItIsHanded) {
    unsigned short count = 2;
    float* first = new float[2]{90.0f, 360.0f};
    ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(&count, &first));

    float* second = new float[3]{45.0f, 90.0f, 360.0f};
    count = 3;
    ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(&count, &second));
    float* held = nullptr;
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(&held), 3);
    EXPECT_EQ(held, second);
    EXPECT_EQ(held[2], 360.0f);

    // The end of a sequence keeps the array; a null hand-over releases it.
    plugin.LxTurntableHardware::stopsSpinning();
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(&held), 0);
    EXPECT_EQ(held, second);
    float* none = nullptr;
    ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(nullptr, &none));
    EXPECT_EQ(plugin.complete360ProductPhotographyImagesCount(&held), 0);
    EXPECT_EQ(held, nullptr);

    float* kept = new float[1]{10.0f};
    ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(nullptr, &kept));
    // Handing back the array held already keeps it.
    ASSERT_TRUE(plugin.complete360ProductPhotographyWillStart(nullptr, &kept));
    // released by the destructor
}

TEST_F(TurntableHardware, CallbacksCarryTheObjectAndTheirArguments) {
    std::vector<std::string> calls;
    LxTurntableHardware* seen = nullptr;
    Private::hardwareOpenSucceeded = [&](LxTurntableHardware* p, unsigned long index, bool flag) {
        seen = p;
        calls.push_back("opened " + std::to_string(index) + (flag ? " custom" : " standard"));
    };
    Private::hardwareDisconnected = [&](LxTurntableHardware* p, unsigned long index) {
        seen = p;
        calls.push_back("disconnected " + std::to_string(index));
    };
    Private::turntableRotationStopped = [&](LxTurntableHardware* p) {
        seen = p;
        calls.push_back("stopped");
    };

    plugin.hardwareOpenSucceeded(1, false);
    EXPECT_EQ(seen, &plugin);
    plugin.hardwareOpenSucceeded(5, true);
    plugin.hardwareDisconnected(8);
    BareTurntable other;
    other.turntableRotationStopped();
    EXPECT_EQ(seen, &other);
    EXPECT_EQ(calls, (std::vector<std::string>{"opened 1 standard", "opened 5 custom",
                                               "disconnected 8", "stopped"}));
}

TEST_F(TurntableHardware, FiringAnUnassignedCallbackThrows) {
    EXPECT_THROW(plugin.hardwareOpenSucceeded(2, true), std::bad_function_call);
    EXPECT_THROW(plugin.hardwareDisconnected(2), std::bad_function_call);
    EXPECT_THROW(plugin.turntableRotationStopped(), std::bad_function_call);
}

} // namespace
