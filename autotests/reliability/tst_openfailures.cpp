// Every way FT_Open can fail, and what follows: the host hears of it, nothing
// stays open or running, and the next open of any model works.
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"
#include "TestPath.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::chrono_literals;

namespace {

class OpenFailure : public ReliabilityTest {};

TEST_F(OpenFailure, EveryStatusLeavesTheSdkReadyForTheNextOpen) {
    const ftdisim::DeviceId device = chip();
    // 0x7fffffff is no D2XX status at all, and has no text.
    const FT_STATUS statuses[] = {1, 2, 3, 4, 5, 6, FT_OTHER_ERROR, 0x7fffffff};
    unsigned long model = 0;
    for (const FT_STATUS status : statuses) {
        SCOPED_TRACE(status);
        model = (model + 1) % 8;
        bus().failNextOpen(status);
        control->openDevice(model);
        ASSERT_FALSE(control->isTurntableOpened());
        const std::vector<HostNotice> told = notices(control.get());
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.back().kind, HostNotice::Disconnected);
        EXPECT_EQ(told.back().model, model);
        EXPECT_EQ(control->lastError().isEmpty(), testpath::openFailureSeen(status) == 0x7fffffff)
            << "a text per status";
        EXPECT_FALSE(bus().stats(device).open);
        EXPECT_FALSE(control->startRotation()) << "no driver is left behind";

        control->openDevice(model);
        ASSERT_TRUE(control->isTurntableOpened()) << control->lastError().toStdString();
        EXPECT_EQ(notices(control.get()).back().kind, HostNotice::Opened);
        control->closeDevice();
        EXPECT_FALSE(bus().stats(device).open);
    }
    // libftdi's open claims the chip before its reset meets the I/O failure.
    const std::size_t opens = std::size(statuses) + (testpath::onUsbLevelSimulation() ? 1 : 0);
    EXPECT_EQ(bus().stats(device).opens, opens);
    EXPECT_EQ(bus().stats(device).closes, opens);

    // The models opened above set the pins by the rules of their drivers.
    bus().clearTrace(device);
    ASSERT_TRUE(openModel(*control, 0));
    control->SetCountsPerRevolution(72);
    EXPECT_TRUE(shortMoveWorks(*control, device, 18));
    pinprotocol::StepperExpectations rules(0ms);
    rules.steps = 18;
    const auto report = pinprotocol::checkStepperProtocol(bus().trace(device), rules);
    EXPECT_TRUE(report.ok()) << report;
}

// An open whose chip does not take its set-up would drive pins that are not
// outputs: it fails, the chip is closed again, and the next open works.
TEST_F(OpenFailure, AFailedSetUpStepFailsTheOpenAndClosesTheChip) {
    using ftdisim::D2xxFunction;
    const ftdisim::DeviceId device = chip();
    const struct {
        D2xxFunction function;
        FT_STATUS status;
        const char* text;
    } steps[] = {{D2xxFunction::SetBaudRate, FT_INVALID_BAUD_RATE, "Invalid baud rate"},
                 {D2xxFunction::SetLatencyTimer, FT_IO_ERROR, "IO Error"},
                 {D2xxFunction::SetBitMode, FT_NOT_SUPPORTED, "Not supported"},
                 {D2xxFunction::Purge, FT_OTHER_ERROR, "Other error"}};
    for (const unsigned long model : {0ul, 1ul}) {
        for (const auto& step : steps) {
            SCOPED_TRACE(std::to_string(model) + " " + step.text);
            const ftdisim::DeviceStats before = bus().stats(device);
            bus().setSetUpFault(device, step.function, step.status);
            control->openDevice(model);
            EXPECT_FALSE(control->isTurntableOpened());
            EXPECT_EQ(notices(control.get()).back().kind, HostNotice::Disconnected);
            const bool textOfItsOwn = testpath::setUpFailureSeen(step.status) == step.status;
            EXPECT_EQ(control->lastError().toStdString(), textOfItsOwn ? step.text : "IO Error");
            EXPECT_FALSE(bus().stats(device).open);
            EXPECT_EQ(bus().stats(device).closes, before.closes + 1);
            EXPECT_EQ(bus().stats(device).writes, before.writes) << "no pin is driven";
            bus().setSetUpFault(device, step.function, std::nullopt);

            ASSERT_TRUE(openModel(*control, model)) << control->lastError().toStdString();
            control->closeDevice();
        }
    }
}

TEST_F(OpenFailure, AChipThatFailsEveryOpenIsUsableOnceItRecovers) {
    const ftdisim::DeviceId device = chip();
    bus().failEveryOpen(FT_INVALID_PARAMETER);
    for (unsigned long model = 0; model < 8; ++model) {
        control->openDevice(model);
        EXPECT_FALSE(control->isTurntableOpened());
    }
    EXPECT_EQ(noticeCount(HostNotice::Disconnected, control.get()), 8u);
    EXPECT_FALSE(control->availableDevices().empty()) << "the chip is still there";
    EXPECT_EQ(bus().stats(device).opens, 0u);

    bus().failEveryOpen(std::nullopt);
    ASSERT_TRUE(openModel(*control, 1));
    ASSERT_EQ(control->SetRotationIncrementInCounts(3), 3);
    ASSERT_TRUE(control->startRotation());
    ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }, 20s));
    EXPECT_TRUE(control->stopRotation());
    EXPECT_EQ(rig(device).dcTable().countsTurned(), 3u);
    const auto report = pinprotocol::checkDcProtocol(bus().trace(device));
    EXPECT_TRUE(report.ok()) << report;
}

} // namespace
