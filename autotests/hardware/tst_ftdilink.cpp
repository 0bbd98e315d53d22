#include "LxDCMotor.h"
#include "LxStepperMotor.h"
#include "SimulatedChipTest.h"
#include "TestPath.h"

#include <ftdisim/Bus.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using ftdisim::Bus;
using ftdisim::D2xxFunction;
using ftdisim::TraceEvent;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

class FtdiLink : public SimulatedChipTest {
protected:
    static unsigned totalD2xxCalls() {
        unsigned total = 0;
        for (auto f : {D2xxFunction::CreateDeviceInfoList, D2xxFunction::GetDeviceInfoList,
                       D2xxFunction::Open, D2xxFunction::SetBaudRate, D2xxFunction::SetLatencyTimer,
                       D2xxFunction::SetBitMode, D2xxFunction::Purge, D2xxFunction::Write,
                       D2xxFunction::Read, D2xxFunction::Close}) {
            total += Bus::instance().callCount(f);
        }
        return total;
    }

    // Waits for a move that ends by itself, leaving its thread to the driver.
    static void waitForEndOfMove(LxFTDIController& driver, std::chrono::seconds limit = 30s) {
        const auto deadline = Clock::now() + limit;
        while (driver.IsTurntableRotating()) {
            ASSERT_LT(Clock::now(), deadline) << "the move did not end";
        }
    }
};

TEST_F(FtdiLink, NoDeviceIndexFailsWithoutAnyD2xxCall) {
    LxStepperMotor driver(2);
    const LxChipOpenResult result = driver.openDevice(-1);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.outcome, LxChipOpenResult::Outcome::NoDeviceFound);
    EXPECT_EQ(totalD2xxCalls(), 0u);
    EXPECT_EQ(Bus::instance().stats(chip()).opens, 0u) << "nor a USB request";
    EXPECT_FALSE(driver.isDeviceOpened());
}

TEST_F(FtdiLink, OpenFailuresGiveTheStatus) {
    // 0x7fffffff is no D2XX status at all: it is passed on as it came.
    for (const FT_STATUS status : {1ul, 2ul, 3ul, 4ul, 5ul, 6ul, 18ul, 0x7ffffffful}) {
        LxStepperMotor stepper(2);
        LxDCMotor dc;
        for (LxFTDIController* driver :
             {static_cast<LxFTDIController*>(&stepper), static_cast<LxFTDIController*>(&dc)}) {
            Bus::instance().failNextOpen(status);
            const LxChipOpenResult result = driver->openDevice(0);
            EXPECT_FALSE(result);
            EXPECT_EQ(result.outcome, LxChipOpenResult::Outcome::UsbFailure) << status;
            EXPECT_EQ(result.status, testpath::openFailureSeen(status)) << status;
            EXPECT_FALSE(driver->isDeviceOpened());
        }
    }
    LxDCMotor dc;
    const LxChipOpenResult noSuchDevice = dc.openDevice(1);
    EXPECT_EQ(noSuchDevice.outcome, LxChipOpenResult::Outcome::UsbFailure);
    EXPECT_NE(noSuchDevice.status, FT_STATUS{FT_OK});
    EXPECT_EQ(Bus::instance().callCount(D2xxFunction::SetBaudRate), 0u);
    EXPECT_EQ(Bus::instance().stats(chip()).baudRateSets, 0u) << "nothing set up";
}

TEST_F(FtdiLink, OpenSetsTheLinkAndBitBangModeUp) {
    {
        LxStepperMotor driver(2);
        ASSERT_TRUE(driver.openDevice(0));
        const ftdisim::DeviceStats stats = Bus::instance().stats(chip());
        EXPECT_EQ(stats.baudRate, 1000000u);
        EXPECT_EQ(stats.latencyTimerMs, 2);
        EXPECT_EQ(stats.bitMask, 0xFF);
        EXPECT_EQ(stats.bitMode, FT_BITMODE_ASYNC_BITBANG);

        const auto events = Bus::instance().trace(chip()).events;
        ASSERT_GE(events.size(), 4u);
        EXPECT_EQ(events[0].kind, TraceEvent::Kind::SetBitMode);
        EXPECT_EQ(events[0].mode, FT_BITMODE_RESET);
        EXPECT_EQ(events[1].kind, TraceEvent::Kind::SetBitMode);
        EXPECT_EQ(events[1].mode, FT_BITMODE_ASYNC_BITBANG);
        EXPECT_GE(events[1].time - events[0].time, 10ms);
        EXPECT_EQ(Bus::instance().outputLevels(chip()), 0x00) << "every line low";
        driver.closeDevice();
    }
    Bus::instance().clearTrace(chip());
    LxDCMotor dc;
    ASSERT_TRUE(dc.openDevice(0));
    EXPECT_EQ(Bus::instance().stats(chip()).bitMask, 0xEF);
    std::vector<std::uint8_t> written;
    for (const TraceEvent& e : Bus::instance().trace(chip()).events) {
        if (e.kind == TraceEvent::Kind::Write) {
            written.push_back(e.value);
        }
    }
    // Idle nibble on the pins, then the load edge that takes it into the counter.
    EXPECT_EQ(written, (std::vector<std::uint8_t>{0x0E, 0x8E}));
    dc.closeDevice();
    EXPECT_EQ(Bus::instance().stats(chip()).closes, 2u);
    EXPECT_FALSE(dc.isDeviceOpened());
}

TEST_F(FtdiLink, DeviceSearchTakesTheFirstMatchNotOpenAnywhere) {
    Bus& bus = Bus::instance();
    bus.clear();
    EXPECT_EQ(LxFTDIController::availableDeviceIndex("245R"), -1);

    bus.attach({"USB Serial Cable", "A1", false});
    const auto busy = bus.attach({"FT245R USB FIFO", "A2", true});
    bus.attach({"FT245R USB FIFO", "A3", false});
    bus.attach({"FT245R USB FIFO", "A4", false});
    // Where the list cannot tell a device open elsewhere, FT_Open refuses it.
    EXPECT_EQ(LxFTDIController::availableDeviceIndex("245R"),
              testpath::listFlagsDevicesOpenElsewhere() ? 2 : 1);
    EXPECT_EQ(LxFTDIController::availableDeviceIndex("245r"), -1) << "case-sensitive";
    bus.setOpenedElsewhere(busy, false);
    EXPECT_EQ(LxFTDIController::availableDeviceIndex("245R"), 1);

    LxStepperMotor driver(3);
    ASSERT_TRUE(driver.openDevice(1));
    EXPECT_EQ(LxFTDIController::availableDeviceIndex("245R"), 2) << "open in this process";
}

TEST_F(FtdiLink, TransferFailuresAreRecorded) {
    Bus& bus = Bus::instance();
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    bus.setPinModel(chip(), nullptr);
    bus.setInputLevels(chip(), 0x10);
    EXPECT_EQ(driver.readChipByte(0x10), 0x10);
    EXPECT_EQ(driver.readChipByte(0x01), 0x00) << "masked";
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_NO_ERROR);

    bus.setReadFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, 1, 1});
    EXPECT_EQ(driver.readChipByte(0x10), 0x00);
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_READ_ERROR);

    bus.setWriteFault(chip(), ftdisim::TransferFault{FT_OK, 1, 1});
    driver.writeChipByte(0x8E);
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_WRITE_ERROR) << "a short write";
    bus.setWriteFault(chip(), ftdisim::TransferFault{FT_IO_ERROR, 1, 1});
    driver.writeChipByte(0x8E);
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_WRITE_ERROR);
    driver.writeChipByte(0x8E);
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_NO_ERROR);
    // One purge of both buffers at the open, then one before each transfer.
    EXPECT_EQ(bus.stats(chip()).txPurges, bus.stats(chip()).writes + 1) << "before each write";
    EXPECT_EQ(bus.stats(chip()).rxPurges, bus.stats(chip()).reads + 1) << "before each read";
}

// A link that only reads and writes, as a move between its steps does.
class PinLink final : public LxFTDIController {
public:
    using LxFTDIController::isChipLost;
    bool triggerShutterRelease() override { return false; }
    bool Initialize() override { return true; }

protected:
    unsigned char pinDirections() const override { return 0x0F; }
    void writeOpeningPins() override {}
    void runMove() override {}
};

// A cable going bad on the inputs alone: each read times out, which D2XX
// reports as a success without a byte, while every write goes through.
TEST_F(FtdiLink, ReadsThatKeepFailingLoseTheChipWhateverWritesGoThroughBetween) {
    PinLink link;
    ASSERT_TRUE(link.openDevice(0));
    Bus::instance().setReadFault(chip(), ftdisim::TransferFault{FT_OK, -1, 1});
    const auto firstFailure = Clock::now();
    while (!link.isChipLost() && Clock::now() - firstFailure < 8s) {
        link.writeChipByte(0x01);
        link.readChipByte(0x10);
        EXPECT_EQ(link.lastFTDIError(), LxFTDIController::FTDI_READ_ERROR);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(link.isChipLost());
    EXPECT_GE(Clock::now() - firstFailure, LxFTDIController::CHIP_LOST_AFTER);
}

TEST_F(FtdiLink, WaitLastsWholeMilliseconds) {
    auto start = Clock::now();
    LxFTDIController::Wait(0);
    LxFTDIController::Wait(-5);
    EXPECT_LT(Clock::now() - start, 50ms);
    start = Clock::now();
    LxFTDIController::Wait(20);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 20ms);
    EXPECT_LT(waited, 2s);
}

TEST_F(FtdiLink, RotationNeedsAnOpenDeviceAndAPlannedMove) {
    LxStepperMotor driver(2);
    EXPECT_FALSE(driver.startRotation());
    EXPECT_EQ(driver.lastFTDIError(), LxFTDIController::FTDI_DEVICE_NOT_OPENED);
    EXPECT_FALSE(driver.stopRotation());
    EXPECT_FALSE(driver.IsTurntableRotating());

    ASSERT_TRUE(driver.openDevice(0));
    EXPECT_TRUE(driver.stopRotation()) << "nothing to stop is no failure";
    driver.SetCountsPerRevolution(72);
    driver.SetRotationIncrementInDegrees(2.4);
    Bus::instance().clearTrace(chip());
    EXPECT_FALSE(driver.startRotation()) << "under half a count plans no move";
    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_TRUE(Bus::instance().trace(chip()).events.empty()) << "nothing reached the chip";
}

TEST_F(FtdiLink, OneRotationAtATime) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    driver.SetCountsPerRevolution(200);
    driver.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(driver.startRotation());
    EXPECT_TRUE(driver.IsTurntableRotating());
    EXPECT_FALSE(driver.startRotation()) << "a second thread must never drive the chip";
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_FALSE(driver.IsTurntableRotating());

    // A move that ended by itself keeps its record until the next start or stop.
    driver.SetRotationIncrementInCounts(3);
    ASSERT_TRUE(driver.startRotation());
    waitForEndOfMove(driver);
    ASSERT_TRUE(driver.startRotation()) << "the ended thread is joined, a new one starts";
    waitForEndOfMove(driver);
    const auto start = Clock::now();
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_LT(Clock::now() - start, 1s) << "joining an ended thread does not wait";
}

TEST_F(FtdiLink, ClosingOrDestroyingStopsARunningRotation) {
    {
        LxStepperMotor driver(5);
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetCountsPerRevolution(6400);
        driver.SetRotationIncrementInCounts(0);
        ASSERT_TRUE(driver.startRotation());
        driver.closeDevice();
        EXPECT_FALSE(driver.IsTurntableRotating());
        EXPECT_FALSE(driver.isDeviceOpened());
    }
    auto driver = std::make_unique<LxDCMotor>();
    ASSERT_TRUE(driver->openDevice(0));
    driver->SetCountsPerRevolution(72);
    driver->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(driver->startRotation());
    driver.reset(); // joins; a leaked or running thread fails under the sanitizers
    EXPECT_FALSE(Bus::instance().stats(chip()).open) << "the destructor releases the handle";
}

} // namespace
