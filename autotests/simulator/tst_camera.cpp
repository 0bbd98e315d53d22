// The camera on the shutter lines of a stepper table's chip, released as the
// stepper driver releases it.
#include "PinModelFixture.h"

#include <ftdisim/Camera.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using ftdisim::Camera;
using ftdisim::Clock;

namespace {

constexpr UCHAR kFocus = Camera::kFocusLine;
constexpr UCHAR kRelease = Camera::kReleaseLine;

class CameraTest : public PinModelTest {
protected:
    void SetUp() override {
        PinModelTest::SetUp();
        openInBitBang(ftdisim::TurntableRig::kStepperTableMask);
        rig_ = rig();
    }

    Camera& camera() { return rig_->camera(); }

    std::shared_ptr<ftdisim::TurntableRig> rig_;
};

TEST_F(CameraTest, ReleaseWhileFocusedTakesAPicture) {
    write(kFocus);
    const Clock::time_point focused = lastAccessTime();
    std::this_thread::sleep_for(20ms);
    write(kFocus | kRelease);
    const Clock::time_point released = lastAccessTime();
    std::this_thread::sleep_for(20ms);
    write(0);

    const std::vector<Camera::Capture> captures = camera().captures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].time, released);
    EXPECT_EQ(captures[0].focusedAt, focused);
    EXPECT_GE(captures[0].time - captures[0].focusedAt, 20ms);
    EXPECT_EQ(camera().missedCaptures(), 0u);
}

TEST_F(CameraTest, ReleaseWithoutFocusIsMissedAndAHeldReleaseTakesNothing) {
    write(kRelease);
    write(kRelease | kFocus);
    write(kFocus);
    EXPECT_EQ(camera().missedCaptures(), 1u);
    EXPECT_TRUE(camera().captures().empty());
    write(kFocus | kRelease);
    EXPECT_EQ(camera().captures().size(), 1u);
}

} // namespace
