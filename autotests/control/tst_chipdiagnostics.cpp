// What a hardware check asks of the controller: the chips attached, the steps
// of the last open, and the USB round trip, on a chip that must not move.
#include "LxKalveraTurntableControl.h"

#include "TestPath.h"

#include <ftdisim/Bus.h>
#include <ftdisim/Environment.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using ftdisim::Bus;
using ErrorCode = LxAbstractPlugin::ErrorCode;

namespace {

class ChipDiagnostics : public ::testing::Test {
protected:
    void SetUp() override { Bus::instance().reset(); }
    void TearDown() override {
        control.closeDevice();
        unsetenv(ftdisim::kFailCallVariable);
        Bus::instance().reset();
    }

    bool open(unsigned long model) {
        bool opened = false;
        control.openDevice(model, &opened);
        return opened;
    }
    static ftdisim::DeviceId chip() { return Bus::instance().devices().at(0); }
    // Each chip as "<index> <description>/<serial> [turntable ]<availability>".
    static std::vector<std::string> listed(const std::vector<LxTurntableChip>& chips) {
        std::vector<std::string> lines;
        for (const LxTurntableChip& chip : chips) {
            const char* availability[] = {"free", "held", "not permitted"};
            lines.push_back(std::to_string(chip.listIndex) + " " + chip.description + "/" +
                            chip.serialNumber + (chip.isTurntableChip ? " turntable " : " ") +
                            availability[static_cast<int>(chip.availability)]);
        }
        return lines;
    }
    std::vector<std::string> stepCalls() const {
        std::vector<std::string> calls;
        for (const LxChipSetUpStep& step : control.chipSetUpSteps()) {
            calls.push_back(step.call);
        }
        return calls;
    }

    LxKalveraTurntableControl control;
};

TEST_F(ChipDiagnostics, AttachedChipsTellWhichCanBeOpenedAndWhyNot) {
    Bus& bus = Bus::instance();
    bus.attach({"FT245R USB FIFO", "HELD", true, false});
    bus.attach({"FT245R USB FIFO", "", false, true});
    bus.attach({"FT232R USB UART", "UART", false, false});

    const std::string held = testpath::listFlagsDevicesOpenElsewhere() ? "held" : "free";
    EXPECT_EQ(
        listed(control.attachedChips()),
        (std::vector<std::string>{"0 FT245R USB FIFO/KT000001 turntable free",
                                  "1 FT245R USB FIFO/HELD turntable " + held,
                                  "2 / turntable not permitted", "3 FT232R USB UART/UART free"}));
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::NoError);
    ASSERT_FALSE(control.availableDevices().empty());
    ASSERT_TRUE(open(1));
    EXPECT_EQ(listed(control.attachedChips()).at(0), "0 FT245R USB FIFO/KT000001 turntable held")
        << "its own chip is held too";
    control.closeDevice();

    for (const ftdisim::DeviceId device : bus.devices()) {
        bus.unplug(device);
    }
    EXPECT_TRUE(control.attachedChips().empty());
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::NoError);
}

TEST_F(ChipDiagnostics, AGoodOpenListsEveryStepAsOkAndKeepsThemPastTheClose) {
    const std::vector<std::string> setUp{"FT_Open",
                                         "FT_SetBaudRate (single edges)",
                                         "FT_SetLatencyTimer",
                                         "FT_SetBitMode (reset)",
                                         "FT_SetBitMode (asynchronous bit-bang)",
                                         "FT_Purge (both buffers)",
                                         "FT_Purge (transmit buffer)",
                                         "FT_Write (opening pins)"};
    ASSERT_FALSE(control.availableDevices().empty());
    for (const unsigned long model : {1ul, 2ul}) {
        SCOPED_TRACE(model);
        ASSERT_TRUE(open(model)) << control.lastError().toStdString();
        control.closeDevice();
        const std::vector<std::string> calls = stepCalls();
        ASSERT_GE(calls.size(), setUp.size());
        EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 8), setUp);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "FT_Write (byte clock timing)"),
                  model == 2 ? 1 : 0)
            << "only a stepper times the clock, its writes listed once";
        for (const LxChipSetUpStep& step : control.chipSetUpSteps()) {
            EXPECT_EQ(step.status, 0u) << step.call;
            EXPECT_EQ(step.statusText.toStdString(), "ok") << step.call;
        }
    }
}

TEST_F(ChipDiagnostics, AFailingSetUpStepEndsTheListAndTheChipIsClosedAgain) {
    setenv(ftdisim::kFailCallVariable, "FT_SetBitMode:4", 1);
    Bus::instance().reset();
    ASSERT_FALSE(control.availableDevices().empty());
    EXPECT_FALSE(open(0));
    EXPECT_FALSE(Bus::instance().stats(chip()).open);
    const std::vector<LxChipSetUpStep> steps = control.chipSetUpSteps();
    ASSERT_EQ(stepCalls(),
              (std::vector<std::string>{"FT_Open", "FT_SetBaudRate (single edges)",
                                        "FT_SetLatencyTimer", "FT_SetBitMode (reset)"}));
    EXPECT_EQ(steps.back().status, static_cast<unsigned long>(FT_IO_ERROR));
    EXPECT_EQ(steps.back().statusText, QStringLiteral("IO Error"));
    EXPECT_EQ(control.lastUsbStatus(), steps.back().status);

    bool opened = true;
    control.openDevice(8, &opened);
    EXPECT_EQ(control.chipSetUpSteps().size(), 4u) << "a refused open reached no chip";
}

TEST_F(ChipDiagnostics, TheRoundTripReadsThePinsAndChangesNone) {
    EXPECT_EQ(control.measureUsbRoundTripMilliseconds(), -1.0);
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::NoError);
    ASSERT_FALSE(control.availableDevices().empty());
    for (const unsigned long model : {1ul, 2ul}) {
        SCOPED_TRACE(model);
        ASSERT_TRUE(open(model));
        const std::uint8_t levels = Bus::instance().outputLevels(chip());
        const unsigned writes = Bus::instance().stats(chip()).writes;
        const double milliseconds = control.measureUsbRoundTripMilliseconds();
        EXPECT_GT(milliseconds, 0.0);
        EXPECT_LT(milliseconds, 1000.0);
        EXPECT_EQ(Bus::instance().outputLevels(chip()), levels);
        EXPECT_EQ(Bus::instance().stats(chip()).writes, writes);
    }

    control.SetCountsPerRevolution(200);
    control.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(control.startRotation());
    EXPECT_EQ(control.measureUsbRoundTripMilliseconds(), -1.0);
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::TurntableTurning);
    EXPECT_TRUE(control.stopRotation());

    Bus::instance().setReadFault(chip(), ftdisim::TransferFault{});
    EXPECT_EQ(control.measureUsbRoundTripMilliseconds(), -1.0);
    EXPECT_EQ(control.lastErrorCode(), ErrorCode::PinReadFailed);
}

TEST_F(ChipDiagnostics, AByteClockThatMatchesNoReadingIsReported) {
    Bus::instance().setByteClockFactor(3);
    ASSERT_FALSE(control.availableDevices().empty());
    ASSERT_TRUE(open(2));
    EXPECT_EQ(control.chipByteClockFactor(), 0);
    EXPECT_THAT(control.chipByteClockProblem().toStdString(),
                ::testing::HasSubstr("neither 16 nor 4"));
}

} // namespace
