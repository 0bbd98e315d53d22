// The turntable's chip unplugged in the middle of what the SDK does with it:
// the host hears of it on its own thread, the device is released, the next
// open fails as the chip found is gone, and once the chip is back the SDK
// works as before.
#include "LxSettingsKeys.h"
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"
#include "TestPath.h"

#include <ftdisim/UsbFault.h>

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class Unplug : public ReliabilityTest {
protected:
    // A stepper move of 2,000 steps at 2 ms a step, long enough to be cut off
    // once it has turned 20 steps.
    void startLongStepperMove(ftdisim::DeviceId device) {
        ASSERT_TRUE(openModel(*control, 0));
        control->SetCountsPerRevolution(200);
        control->SetRotationSpeed(2);
        ASSERT_EQ(control->SetRotationIncrementInCounts(2000), 2000);
        ASSERT_TRUE(control->startRotation());
        ASSERT_TRUE(
            processEventsUntil([&] { return rig(device).stepperTable().steps() >= 20; }, 20s));
    }

    // After the chip went: the host was told and nothing is left open or running.
    void expectHostToldOfLostChip(unsigned long model) {
        EXPECT_TRUE(processEventsUntil(
            [&] { return noticeCount(HostNotice::Disconnected, control.get()) == 1; }, 20s))
            << "no hardwareDisconnected";
        const std::vector<HostNotice> told = notices(control.get());
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.back().kind, HostNotice::Disconnected);
        EXPECT_EQ(told.back().model, model);
        EXPECT_EQ(noticeCount(HostNotice::RotationStopped, control.get()), 0u)
            << "a move that did not arrive is no capture";
        EXPECT_EQ(control->lastError(), QString::fromLatin1(kChipLostText));
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipLost);
        EXPECT_FALSE(control->isTurntableOpened());
        EXPECT_FALSE(control->IsTurntableRotating());
        EXPECT_TRUE(threadsBackToStart());
    }

    // The next open fails as the chip found is gone; the search finds
    // nothing; a chip plugged in again works.
    void expectRecovery(unsigned long model, ftdisim::DeviceId lost) {
        control->openDevice(model);
        EXPECT_FALSE(control->isTurntableOpened());
        EXPECT_EQ(control->lastError(),
                  QStringLiteral("The turntable's USB chip has changed since it was found. "
                                 "Search for the turntable again."));
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipChanged);
        EXPECT_EQ(notices(control.get()).back().kind, HostNotice::Disconnected);
        EXPECT_TRUE(control->availableDevices().empty());
        EXPECT_FALSE(bus().stats(lost).open) << "the lost handle was released";

        const ftdisim::DeviceId back = bus().attach();
        ASSERT_TRUE(openModel(*control, 0));
        control->SetCountsPerRevolution(72);
        control->SetLockMotorWhenIdle(false);
        EXPECT_TRUE(shortMoveWorks(*control, back, 9));
        pinprotocol::StepperExpectations rules(0ms);
        rules.steps = 9;
        rules.lockWhenIdle = false;
        const auto report = pinprotocol::checkStepperProtocol(bus().trace(back), rules);
        EXPECT_TRUE(report.ok()) << report;
    }

    // What the driver did before the chip went keeps to the pin rules.
    static void expectStepperRulesKept(ftdisim::DeviceId lost) {
        pinprotocol::StepperExpectations rules(0ms);
        rules.cutOff = true;
        const auto report = pinprotocol::checkStepperProtocol(bus().trace(lost), rules);
        EXPECT_TRUE(report.ok()) << report;
    }

    void unplugWhen(ftdisim::DeviceId device, const std::function<bool()>& moment) {
        ASSERT_TRUE(processEventsUntil(moment, 20s));
        bus().unplug(device);
    }
};

TEST_F(Unplug, DuringADcMove) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 1));
    ASSERT_EQ(control->SetRotationIncrementInCounts(40), 40);
    ASSERT_TRUE(control->startRotation());
    unplugWhen(device, [&] { return rig(device).dcTable().countsTurned() >= 2; });
    const auto unpluggedAt = Clock::now();
    expectHostToldOfLostChip(1);
    EXPECT_LT(Clock::now() - unpluggedAt, 15s);
    EXPECT_LT(rig(device).dcTable().countsTurned(), 40u);
    pinprotocol::DcExpectations rules;
    rules.cutOff = true;
    const auto report = pinprotocol::checkDcProtocol(bus().trace(device), rules);
    EXPECT_TRUE(report.ok()) << report;
    expectRecovery(1, device);
}

TEST_F(Unplug, DuringAStepperMove) {
    const ftdisim::DeviceId device = chip();
    ASSERT_NO_FATAL_FAILURE(startLongStepperMove(device));
    bus().unplug(device);
    const unsigned long long stepsAtUnplug = rig(device).stepperTable().steps();
    expectHostToldOfLostChip(0);
    EXPECT_EQ(rig(device).stepperTable().steps(), stepsAtUnplug);
    expectStepperRulesKept(device);
    expectRecovery(0, device);
}

TEST_F(Unplug, DuringAContinuousRotation) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 0));
    control->SetCountsPerRevolution(72);
    ASSERT_EQ(control->SetRotationIncrementInCounts(0), 0);
    ASSERT_TRUE(control->startRotation());
    unplugWhen(device, [&] { return rig(device).stepperTable().steps() >= 100; });
    expectHostToldOfLostChip(0);
    expectStepperRulesKept(device);
    expectRecovery(0, device);
}

TEST_F(Unplug, DuringAShutterRelease) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 0));
    // The release busy-waits a second on this thread: the chip goes meanwhile.
    std::thread unplugger([device] {
        std::this_thread::sleep_for(300ms);
        bus().unplug(device);
    });
    const bool fired = control->shutterReleaseCameraHardware();
    unplugger.join();
    EXPECT_FALSE(fired) << "no picture was taken";
    EXPECT_TRUE(rig(device).camera().captures().empty());
    expectStepperRulesKept(device);

    // The host does not know yet; its next move finds out.
    control->SetCountsPerRevolution(72);
    control->SetRotationIncrementInCounts(9);
    control->startRotation();
    expectHostToldOfLostChip(0);
    expectRecovery(0, device);
}

TEST_F(Unplug, DuringASequence) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 0));
    // 180 steps of at least 3 ms between captures: time to pull the plug.
    QVariantMap settings = shootSettings(8, 1440);
    settings[LxSettingsKeys::rotationSpeed] = 8;
    ASSERT_TRUE(planShoot(settings)) << control->lastError().toStdString();
    ShootingHost& host = hostOf(*control);
    host.start(evenAngles(8));
    // Into the third move.
    unplugWhen(device, [&] { return rig(device).stepperTable().steps() >= 2 * 180 + 40; });
    ASSERT_TRUE(processEventsUntil(
        [&] { return noticeCount(HostNotice::Disconnected, control.get()) == 1; }, 20s));
    // The first capture turns nothing, the next two turn 45 degrees each.
    EXPECT_EQ(noticeCount(HostNotice::RotationStopped, control.get()), 3u)
        << "the captures before the plug was pulled";
    EXPECT_EQ(host.stepsTaken(), 4u);
    EXPECT_FALSE(host.finished());
    EXPECT_EQ(control->lastError(), QString::fromLatin1(kChipLostText));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipLost);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0) << "the shoot ended";
    EXPECT_EQ(control->complete360ProductPhotographyImageIndex(), 0);
    EXPECT_FALSE(control->isTurntableOpened());
    expectStepperRulesKept(device);

    // Plugged in again, the next shoot runs to its end.
    const ftdisim::DeviceId back = bus().attach();
    closeView();
    ASSERT_TRUE(openModel(*control, 0));
    ASSERT_TRUE(planShoot(shootSettings(4, 72))) << control->lastError().toStdString();
    host.start(evenAngles(4));
    ASSERT_TRUE(processEventsUntil([&] { return host.finished(); }, 30s));
    ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
    EXPECT_EQ(noticeCount(HostNotice::RotationStopped, control.get()), 3u + 4u);
    EXPECT_EQ(rig(back).stepperTable().position(), -72);
    pinprotocol::StepperExpectations rules(0ms);
    rules.steps = 72;
    const auto report = pinprotocol::checkStepperProtocol(bus().trace(back), rules);
    EXPECT_TRUE(report.ok()) << report;
}

// A cable going bad on the DC table's input: every read of whether the table
// stands times out, which D2XX reports as a success that read no byte, while
// writes still go through. The reads alone tell that the
// chip is gone; the shoot must not go on blind and report itself complete.
TEST_F(Unplug, DcTableWhosePinReadsKeepFailingMidShoot) {
    const ftdisim::DeviceId device = chip();
    ASSERT_TRUE(openModel(*control, 1));
    ASSERT_TRUE(planShoot(shootSettings(4, 72))) << control->lastError().toStdString();
    ShootingHost& host = hostOf(*control);
    host.start(evenAngles(4));
    ASSERT_TRUE(processEventsUntil(
        [&] { return noticeCount(HostNotice::RotationStopped, control.get()) >= 2; }, 20s));
    bus().setReadFault(device, ftdisim::TransferFault{FT_OK, -1, 1});
    ASSERT_TRUE(processEventsUntil(
        [&] { return noticeCount(HostNotice::Disconnected, control.get()) == 1; }, 20s));
    EXPECT_LE(noticeCount(HostNotice::RotationStopped, control.get()), 3u)
        << "no capture after the reads failed";
    EXPECT_FALSE(host.finished());
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipLost);
    EXPECT_FALSE(control->isTurntableOpened());
    EXPECT_TRUE(threadsBackToStart());
}

// A wire that keeps failing, as a cable going bad does: whether libusb
// reports an I/O error, a stall or a timeout, the libftdi backend gives a
// failing D2XX status and the SDK gives the chip up as it does when unplugged.
// Once the wire is sound again the same chip opens and turns.
class UsbWireFault : public Unplug,
                     public ::testing::WithParamInterface<ftdisim::UsbFault::Kind> {};

TEST_P(UsbWireFault, ThatKeepsFailingIsALostChip) {
    if (!testpath::onUsbLevelSimulation()) {
        GTEST_SKIP() << "a fault on the USB wire exists only on the USB-level simulation";
    }
    const ftdisim::DeviceId device = chip();
    ASSERT_NO_FATAL_FAILURE(startLongStepperMove(device));
    bus().setUsbFault(device, ftdisim::UsbFault{GetParam(), -1, 1});
    const unsigned long long stepsAtFault = rig(device).stepperTable().steps();
    expectHostToldOfLostChip(0);
    // The chip itself still has power: what it took before the fault, at most
    // the block of the train under way (16 ms, five steps of 3 ms), still
    // comes out.
    EXPECT_LE(rig(device).stepperTable().steps(), stepsAtFault + 6) << "no step after the fault";
    expectStepperRulesKept(device);

    bus().setUsbFault(device, std::nullopt);
    ASSERT_FALSE(control->availableDevices().empty());
    ASSERT_TRUE(openModel(*control, 0));
    control->SetCountsPerRevolution(72);
    EXPECT_TRUE(shortMoveWorks(*control, device, 9));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, UsbWireFault,
                         ::testing::Values(ftdisim::UsbFault::Kind::TransferError,
                                           ftdisim::UsbFault::Kind::Stall,
                                           ftdisim::UsbFault::Kind::Timeout));

} // namespace
