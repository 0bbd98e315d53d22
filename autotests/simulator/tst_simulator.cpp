// The simulated D2XX bus, driven through the C functions as the turntable
// drivers call them, and watched through the control interface.
#include <ftdisim/Bus.h>
#include <ftdisim/Environment.h>

#include <ftd2xx.h>

#include <gmock/gmock.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::Clock;
using ftdisim::D2xxFunction;
using ftdisim::DeviceId;
using ftdisim::PinModel;
using ftdisim::Trace;
using ftdisim::TraceEvent;
using ftdisim::TransferFault;
using ::testing::_;
using ::testing::HasSubstr;

namespace {

constexpr UCHAR kDcTableMask = 0xEF;
constexpr UCHAR kStepperMask = 0xFF;

struct Transfer {
    FT_STATUS status;
    DWORD count;
    unsigned byte;
};

// The chip's fastest rate, at which it clocks a byte out within 333 ns at
// any byte clock factor.
constexpr ULONG kFastestBaud = 3000000;

// Writes a byte and gives the chip the time to clock it out, so that the pins
// hold it when the call returns.
Transfer writeByte(FT_HANDLE handle, UCHAR byte) {
    DWORD written = 99;
    const FT_STATUS status = FT_Write(handle, &byte, 1, &written);
    std::this_thread::sleep_for(1us);
    return {status, written, byte};
}

// The buffer is preset, so a read that returns nothing shows as kUntouched.
constexpr UCHAR kUntouched = 0xA5;

Transfer readByte(FT_HANDLE handle) {
    UCHAR byte = kUntouched;
    DWORD read = 99;
    const FT_STATUS status = FT_Read(handle, &byte, 1, &read);
    return {status, read, byte};
}

// As the drivers read the pins: drops the samples the chip queued so far and
// reads the one it takes when the purge reaches it.
Transfer readFreshByte(FT_HANDLE handle) {
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
    return readByte(handle);
}

// "Mef/1" set bit mode, "P2" purge, "W0f*" write the pins took, "W0f" one
// they did not, "R1f" read; "!4" after an event that returned status 4.
std::string describe(const Trace& trace) {
    std::string text;
    for (const TraceEvent& e : trace.events) {
        char event[16];
        switch (e.kind) {
        case TraceEvent::Kind::Write:
            std::snprintf(event, sizeof event, "W%02x%s", e.value, e.applied ? "*" : "");
            break;
        case TraceEvent::Kind::Read:
            std::snprintf(event, sizeof event, "R%02x", e.value);
            break;
        case TraceEvent::Kind::SetBitMode:
            std::snprintf(event, sizeof event, "M%02x/%u", e.value, e.mode);
            break;
        case TraceEvent::Kind::Purge:
            std::snprintf(event, sizeof event, "P%u", e.value);
            break;
        }
        text += (text.empty() ? "" : " ") + std::string(event);
        if (e.status != FT_OK) {
            text += "!" + std::to_string(e.status);
        }
    }
    return text;
}

class Simulator : public ::testing::Test {
protected:
    // The bus starts as in a test run without the simulator's variables.
    void SetUp() override { resetBus(); }
    void TearDown() override { resetBus(); }

    static void resetBus() {
        unsetenv(ftdisim::kDevicesVariable);
        unsetenv(ftdisim::kOpenStatusVariable);
        unsetenv(ftdisim::kUsbTimingVariable);
        Bus::instance().reset();
    }

    static std::vector<FT_DEVICE_LIST_INFO_NODE> deviceList() {
        DWORD count = 0;
        EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
        std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
        EXPECT_EQ(FT_GetDeviceInfoList(nodes.data(), &count), FT_OK);
        EXPECT_EQ(count, nodes.size());
        return nodes;
    }

    static FT_HANDLE open(int index = 0) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(FT_Open(index, &handle), FT_OK);
        EXPECT_EQ(FT_SetBaudRate(handle, kFastestBaud), FT_OK);
        return handle;
    }

    static FT_HANDLE openInBitBang(UCHAR mask) {
        FT_HANDLE handle = open();
        EXPECT_EQ(FT_SetBitMode(handle, mask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
        return handle;
    }

    static DeviceId firstDevice() { return Bus::instance().devices().at(0); }

    Bus& bus = Bus::instance();
};

TEST_F(Simulator, DefaultBusHoldsOneUnopenedFt245r) {
    const auto nodes = deviceList();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_THAT(nodes[0].Description, HasSubstr("245R"));
    EXPECT_STREQ(nodes[0].SerialNumber, "KT000001");
    EXPECT_EQ(nodes[0].Flags & FT_FLAGS_OPENED, 0u);
    EXPECT_EQ(nodes[0].ftHandle, nullptr);
}

TEST_F(Simulator, ListsDevicesInAttachOrderAndCloseTheGapOfAnUnpluggedOne) {
    bus.clear();
    EXPECT_TRUE(deviceList().empty());
    const DeviceId a = bus.attach({"FT245R A", "SA"});
    const DeviceId b = bus.attach({"FT245R B", ""});
    const DeviceId c = bus.attach({"FT245R C", "SC"});
    EXPECT_EQ(bus.devices(), (std::vector<DeviceId>{a, b, c}));
    auto nodes = deviceList();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_STREQ(nodes[1].Description, "FT245R B");
    EXPECT_STREQ(nodes[1].SerialNumber, "KT000002");

    bus.unplug(b);
    nodes = deviceList();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_STREQ(nodes[1].SerialNumber, "SC");
    open(1);
    EXPECT_TRUE(bus.stats(c).open);
}

TEST_F(Simulator, ListShowsDevicesOpenHereOrElsewhere) {
    FT_HANDLE handle = open();
    auto node = deviceList().at(0);
    EXPECT_EQ(node.Flags & FT_FLAGS_OPENED, FT_FLAGS_OPENED);
    EXPECT_EQ(node.ftHandle, handle);
    EXPECT_EQ(FT_Close(handle), FT_OK);
    EXPECT_EQ(deviceList().at(0).Flags & FT_FLAGS_OPENED, 0u);

    bus.setOpenedElsewhere(firstDevice(), true);
    node = deviceList().at(0);
    EXPECT_EQ(node.Flags & FT_FLAGS_OPENED, FT_FLAGS_OPENED);
    EXPECT_EQ(node.ftHandle, nullptr);
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
}

TEST_F(Simulator, GetDeviceInfoListCopiesAtMostTheCountFromTheListBuiltLast) {
    bus.attach();
    bus.attach();
    DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    ASSERT_EQ(count, 3u);
    bus.attach();

    FT_DEVICE_LIST_INFO_NODE nodes[5] = {};
    nodes[2].Flags = 0xDEAD;
    count = 2;
    EXPECT_EQ(FT_GetDeviceInfoList(nodes, &count), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(nodes[2].Flags, 0xDEADu);
    count = 5;
    EXPECT_EQ(FT_GetDeviceInfoList(nodes, &count), FT_OK);
    EXPECT_EQ(count, 3u);
}

TEST_F(Simulator, LongNamesAreCutToFitTheListNode) {
    bus.clear();
    bus.attach({std::string(80, 'd'), std::string(20, 's')});
    const auto node = deviceList().at(0);
    EXPECT_EQ(std::strlen(node.Description), sizeof node.Description - 1);
    EXPECT_EQ(std::strlen(node.SerialNumber), sizeof node.SerialNumber - 1);
}

TEST_F(Simulator, NullPointersAreInvalidParameters) {
    FT_DEVICE_LIST_INFO_NODE node{};
    DWORD count = 1;
    EXPECT_EQ(FT_CreateDeviceInfoList(nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_GetDeviceInfoList(nullptr, &count), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_GetDeviceInfoList(&node, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Open(0, nullptr), FT_INVALID_PARAMETER);
    FT_HANDLE handle = open();
    EXPECT_EQ(FT_Write(handle, nullptr, 1, &count), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Read(handle, &node, 1, nullptr), FT_INVALID_PARAMETER);
}

TEST_F(Simulator, OpenFailsForAnIndexOutOfRangeOrADeviceOpenAlready) {
    FT_HANDLE handle = &handle;
    EXPECT_EQ(FT_Open(1, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Open(-1, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, &handle);

    FT_HANDLE first = open();
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_Close(first), FT_OK);
    EXPECT_NE(open(), first);
}

class SimulatorOpenFailure : public Simulator, public ::testing::WithParamInterface<FT_STATUS> {};

TEST_P(SimulatorOpenFailure, FailsTheNextOpenOnlyAndOpensNothing) {
    bus.failNextOpen(GetParam());
    FT_HANDLE handle = &handle;
    EXPECT_EQ(FT_Open(0, &handle), GetParam());
    EXPECT_EQ(handle, &handle);
    EXPECT_EQ(deviceList().at(0).Flags & FT_FLAGS_OPENED, 0u);
    EXPECT_EQ(bus.stats(firstDevice()).opens, 0u);
    open();
}

// 1 to 5 have texts in the drivers; 6 stands for any status they do not know.
INSTANTIATE_TEST_SUITE_P(Statuses, SimulatorOpenFailure, ::testing::Range<FT_STATUS>(1, 7));

TEST_F(Simulator, StaleAndGarbageHandlesAreRejectedByEveryFunction) {
    FT_HANDLE closed = open();
    ASSERT_EQ(FT_Close(closed), FT_OK);
    FT_HANDLE beforeReset = open();
    const DeviceId deviceBeforeReset = firstDevice();
    bus.reset();
    EXPECT_THROW(bus.stats(deviceBeforeReset), std::out_of_range);
    FT_HANDLE live = openInBitBang(kStepperMask);
    bus.clearTrace(firstDevice());
    int local = 0;

    for (FT_HANDLE handle : {closed, beforeReset, FT_HANDLE{}, FT_HANDLE(&local)}) {
        EXPECT_EQ(FT_SetBaudRate(handle, 1000000), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetBitMode(handle, 0xFF, 1), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_INVALID_HANDLE);
        EXPECT_EQ(writeByte(handle, 0xFF).status, FT_INVALID_HANDLE);
        const Transfer read = readByte(handle);
        EXPECT_EQ(read.status, FT_INVALID_HANDLE);
        EXPECT_EQ(read.byte, kUntouched);
        EXPECT_EQ(FT_Close(handle), FT_INVALID_HANDLE);
    }
    EXPECT_EQ(describe(bus.trace(firstDevice())), "");
    EXPECT_EQ(bus.outputLevels(firstDevice()), 0u);
    EXPECT_EQ(writeByte(live, 0x01).status, FT_OK);
}

TEST_F(Simulator, OutputPinsReadBackTheirLevelsAndInputPinsTheOutside) {
    FT_HANDLE handle = openInBitBang(kDcTableMask);
    const DeviceId device = firstDevice();
    bus.setPinModel(device, nullptr);
    bus.setInputLevels(device, 0x10);
    EXPECT_EQ(writeByte(handle, 0x00).status, FT_OK);
    EXPECT_EQ(readFreshByte(handle).byte, 0x10u);
    EXPECT_EQ(writeByte(handle, 0xFF).count, 1u);
    EXPECT_EQ(bus.outputLevels(device), kDcTableMask);
    EXPECT_EQ(readFreshByte(handle).byte, 0xFFu);
    bus.setInputLevels(device, 0xEF);
    EXPECT_EQ(writeByte(handle, 0x00).status, FT_OK);
    EXPECT_EQ(readFreshByte(handle).byte, 0x00u);
    EXPECT_EQ(FT_SetBitMode(handle, kStepperMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    bus.setInputLevels(device, 0xFF);
    EXPECT_EQ(writeByte(handle, 0x5A).status, FT_OK);
    EXPECT_EQ(readFreshByte(handle).byte, 0x5Au);
}

TEST_F(Simulator, OnlyBitBangModeDrivesThePinsAndTheLatchOutlastsModeChanges) {
    FT_HANDLE handle = open();
    const DeviceId device = firstDevice();
    bus.setPinModel(device, nullptr);
    bus.setInputLevels(device, 0x33);
    EXPECT_EQ(writeByte(handle, 0xFF).count, 1u);
    EXPECT_EQ(FT_SetBitMode(handle, kStepperMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    EXPECT_EQ(bus.outputLevels(device), 0x00u);
    EXPECT_EQ(writeByte(handle, 0x3C).status, FT_OK);
    EXPECT_EQ(FT_SetBitMode(handle, kStepperMask, FT_BITMODE_RESET), FT_OK);
    EXPECT_EQ(bus.outputLevels(device), 0x00u);
    EXPECT_EQ(FT_SetBitMode(handle, kStepperMask, 0x04), FT_NOT_SUPPORTED);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    EXPECT_EQ(bus.outputLevels(device), 0x3Cu & kDcTableMask);
    EXPECT_EQ(describe(bus.trace(device)), "Wff Mff/1 W3c* Mff/0 Mff/4!17 Mef/1");
}

TEST_F(Simulator, MultiByteTransfersGoByteByByte) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    UCHAR bytes[] = {1, 2, 3};
    DWORD count = 0;
    EXPECT_EQ(FT_Write(handle, bytes, 3, &count), FT_OK);
    EXPECT_EQ(count, 3u);
    // The chip clocks them out one tick apart, within 333 ns each.
    std::this_thread::sleep_for(1us);
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(FT_Read(handle, bytes, 2, &count), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(describe(bus.trace(firstDevice())), "Mff/1 W01* W02* W03* P1 R03 R03");
}

class MockPinModel : public PinModel {
public:
    MOCK_METHOD(void, bitModeChanged, (uint8_t, uint8_t, uint8_t, Clock::time_point), (override));
    MOCK_METHOD(void, outputsWritten, (uint8_t, uint8_t, Clock::time_point), (override));
    MOCK_METHOD(uint8_t, inputLevels, (Clock::time_point), (override));
};

TEST_F(Simulator, PinModelSeesEveryChangeAndDrivesTheInputs) {
    FT_HANDLE handle = open();
    const DeviceId device = firstDevice();
    auto model = std::make_shared<::testing::StrictMock<MockPinModel>>();
    Clock::time_point writtenAt;
    {
        ::testing::InSequence inOrder;
        // The chip's pull-ups hold every pin it does not drive high.
        EXPECT_CALL(*model, bitModeChanged(0x00, FT_BITMODE_RESET, 0xFF, _));
        EXPECT_CALL(*model, bitModeChanged(kDcTableMask, FT_BITMODE_ASYNC_BITBANG, 0x10, _));
        EXPECT_CALL(*model, outputsWritten(0x1F, kDcTableMask, _))
            .WillOnce(::testing::SaveArg<2>(&writtenAt));
        EXPECT_CALL(*model, bitModeChanged(kDcTableMask, FT_BITMODE_RESET, 0xFF, _));
        EXPECT_CALL(*model, bitModeChanged(kDcTableMask, FT_BITMODE_ASYNC_BITBANG, 0x1F, _));
    }
    // The chip samples the inputs at every tick of its clock in bit-bang mode.
    EXPECT_CALL(*model, inputLevels(_)).WillRepeatedly(::testing::Return(0xE0));
    bus.setPinModel(device, model);
    bus.setInputLevels(device, 0x10);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    EXPECT_EQ(writeByte(handle, 0x1F).status, FT_OK);
    EXPECT_EQ(readFreshByte(handle).byte, 0x0Fu);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_RESET), FT_OK);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    EXPECT_EQ(bus.trace(device).events.at(1).time, writtenAt);
}

TEST_F(Simulator, FailingWriteLeavesThePinsAndPassesAgainAfterItsCount) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    const DeviceId device = firstDevice();
    EXPECT_EQ(writeByte(handle, 0x01).status, FT_OK);
    bus.setWriteFault(device, TransferFault{FT_IO_ERROR, 1});
    const Transfer failed = writeByte(handle, 0x02);
    EXPECT_EQ(failed.status, FT_IO_ERROR);
    EXPECT_EQ(failed.count, 0u);
    EXPECT_EQ(bus.outputLevels(device), 0x01u);
    EXPECT_EQ(writeByte(handle, 0x03).status, FT_OK);
    EXPECT_EQ(describe(bus.trace(device)), "Mff/1 W01* W02!4 W03*");
}

TEST_F(Simulator, ShortWriteSucceedsWithoutWritingUntilCleared) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    const DeviceId device = firstDevice();
    bus.setWriteFault(device, TransferFault{FT_OK});
    const Transfer shortWrite = writeByte(handle, 0x07);
    EXPECT_EQ(shortWrite.status, FT_OK);
    EXPECT_EQ(shortWrite.count, 0u);
    EXPECT_EQ(writeByte(handle, 0x07).count, 0u);
    bus.setWriteFault(device, std::nullopt);
    EXPECT_EQ(writeByte(handle, 0x07).count, 1u);
    EXPECT_EQ(describe(bus.trace(device)), "Mff/1 W07 W07 W07*");
}

TEST_F(Simulator, FaultWithPeriodFailsEveryPeriodthCallForItsCount) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    bus.setWriteFault(firstDevice(), TransferFault{FT_IO_ERROR, 2, 3});
    std::string outcomes;
    for (int i = 0; i < 9; ++i) {
        outcomes += writeByte(handle, 0x01).status == FT_OK ? '.' : 'x';
    }
    EXPECT_EQ(outcomes, "..x..x...");
}

TEST_F(Simulator, FailingReadLeavesTheBufferAndOnlyReadsFail) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    bus.setReadFault(firstDevice(), TransferFault{FT_INSUFFICIENT_RESOURCES});
    const Transfer failed = readByte(handle);
    EXPECT_EQ(failed.status, FT_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(failed.count, 0u);
    EXPECT_EQ(failed.byte, kUntouched);
    EXPECT_EQ(writeByte(handle, 0x01).status, FT_OK);
}

TEST_F(Simulator, UnpluggedOpenDeviceFailsEveryCallAndCloseReleasesIt) {
    FT_HANDLE handle = openInBitBang(kStepperMask);
    const DeviceId device = firstDevice();
    bus.unplug(device);
    EXPECT_TRUE(deviceList().empty());
    EXPECT_EQ(FT_SetBaudRate(handle, 1000000), FT_IO_ERROR);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_IO_ERROR);
    EXPECT_EQ(FT_SetBitMode(handle, 0xFF, 1), FT_IO_ERROR);
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_TX), FT_IO_ERROR);
    EXPECT_EQ(writeByte(handle, 0x01).status, FT_IO_ERROR);
    EXPECT_EQ(readByte(handle).byte, kUntouched);
    EXPECT_EQ(FT_Close(handle), FT_IO_ERROR);
    EXPECT_EQ(FT_Close(handle), FT_INVALID_HANDLE);
    EXPECT_FALSE(bus.stats(device).plugged);
    EXPECT_FALSE(bus.stats(device).open);
    EXPECT_EQ(describe(bus.trace(device)), "Mff/1 Mff/1!4 P2!4 W01!4 R00!4");
}

TEST_F(Simulator, DriverSessionShowsInTraceAndStats) {
    const Clock::time_point before = Clock::now();
    FT_HANDLE handle = open();
    const DeviceId device = firstDevice();
    bus.setPinModel(device, nullptr);
    bus.setInputLevels(device, 0x10);
    EXPECT_EQ(FT_SetBaudRate(handle, 1000000), FT_OK);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_OK);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_RESET), FT_OK);
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(FT_SetBitMode(handle, kDcTableMask, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_TX), FT_OK);
    EXPECT_EQ(writeByte(handle, 0x0F).status, FT_OK);
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(readByte(handle).byte, 0x1Fu);
    EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    const Clock::time_point after = Clock::now();

    const Trace trace = bus.trace(device);
    EXPECT_EQ(describe(trace), "Mef/0 Mef/1 P2 W0f* P1 R1f P3");
    EXPECT_EQ(trace.dropped, 0u);
    for (std::size_t i = 0; i < trace.events.size(); ++i) {
        EXPECT_LE(i == 0 ? before : trace.events[i - 1].time, trace.events[i].time);
        EXPECT_LE(trace.events[i].time, after);
    }
    const auto modeSwitch = trace.events.at(1).time - trace.events.at(0).time;
    EXPECT_GE(modeSwitch, 10ms);
    EXPECT_LT(modeSwitch, 5s);

    const ftdisim::DeviceStats stats = bus.stats(device);
    EXPECT_EQ(stats.baudRate, 1000000u);
    EXPECT_EQ(stats.latencyTimerMs, 2u);
    EXPECT_EQ(stats.bitMask, kDcTableMask);
    EXPECT_EQ(stats.bitMode, FT_BITMODE_ASYNC_BITBANG);
    EXPECT_EQ(stats.rxPurges, 2u);
    EXPECT_EQ(stats.txPurges, 2u);
}

TEST_F(Simulator, TraceKeepsItsOldestEventsAndCountsTheDroppedOnes) {
    bus.setTraceCapacity(3);
    FT_HANDLE handle = openInBitBang(kStepperMask);
    for (UCHAR byte = 1; byte <= 5; ++byte) {
        writeByte(handle, byte);
    }
    Trace trace = bus.trace(firstDevice());
    EXPECT_EQ(describe(trace), "Mff/1 W01* W02*");
    EXPECT_EQ(trace.dropped, 3u);
    bus.clearTrace(firstDevice());
    writeByte(handle, 6);
    trace = bus.trace(firstDevice());
    EXPECT_EQ(describe(trace), "W06*");
    EXPECT_EQ(trace.dropped, 0u);
}

TEST_F(Simulator, CallCountsIncludeCallsThatReachNoDeviceUntilReset) {
    DWORD count = 0;
    FT_CreateDeviceInfoList(&count);
    writeByte(nullptr, 0x01);
    writeByte(nullptr, 0x01);
    EXPECT_EQ(bus.callCount(D2xxFunction::CreateDeviceInfoList), 1u);
    EXPECT_EQ(bus.callCount(D2xxFunction::Write), 2u);
    EXPECT_EQ(bus.callCount(D2xxFunction::Open), 0u);
    bus.reset();
    EXPECT_EQ(bus.callCount(D2xxFunction::Write), 0u);
}

TEST(SimulatorDeviceListParser, ReadsEntriesWithOptionalSerialAndFlag) {
    const auto parse =
        ftdisim::parseDeviceList(" FT245R A , KT9 ;; FT245R B,,opened ;Cam,C1,; D,, noaccess");
    EXPECT_TRUE(parse.errors.empty());
    ASSERT_EQ(parse.devices.size(), 4u);
    EXPECT_EQ(parse.devices[0].description, "FT245R A");
    EXPECT_EQ(parse.devices[0].serialNumber, "KT9");
    EXPECT_FALSE(parse.devices[0].openedElsewhere);
    EXPECT_EQ(parse.devices[1].serialNumber, "");
    EXPECT_TRUE(parse.devices[1].openedElsewhere);
    EXPECT_FALSE(parse.devices[2].openedElsewhere);
    EXPECT_FALSE(parse.devices[2].userMayNotOpen);
    EXPECT_TRUE(parse.devices[3].userMayNotOpen);
    EXPECT_FALSE(parse.devices[3].openedElsewhere);
    EXPECT_TRUE(ftdisim::parseDeviceList("").devices.empty());
}

TEST(SimulatorDeviceListParser, SkipsMalformedEntriesAndKeepsTheOthers) {
    const auto parse = ftdisim::parseDeviceList("A,1,opened,x;,S;B,2,closed;C");
    ASSERT_EQ(parse.devices.size(), 1u);
    EXPECT_EQ(parse.devices[0].description, "C");
    ASSERT_EQ(parse.errors.size(), 3u);
    EXPECT_THAT(parse.errors[2], HasSubstr("B,2,closed"));
}

TEST(SimulatorOpenStatusParser, AcceptsOnlyADecimalFailureStatus) {
    EXPECT_EQ(ftdisim::parseOpenStatus("3"), FT_STATUS{3});
    EXPECT_EQ(ftdisim::parseOpenStatus(" 42 "), FT_STATUS{42});
    for (const char* text : {"0", "", "x", "-1", "3x", "0x3", "99999999999999999999999"}) {
        EXPECT_FALSE(ftdisim::parseOpenStatus(text).has_value()) << text;
    }
}

TEST(SimulatorCallFailureParser, AcceptsASetUpFunctionAndAFailureStatus) {
    const auto failure = ftdisim::parseCallFailure(" FT_SetBitMode : 4");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->function, ftdisim::D2xxFunction::SetBitMode);
    EXPECT_EQ(failure->status, FT_STATUS{4});
    EXPECT_EQ(ftdisim::parseCallFailure("FT_Purge:18")->function, ftdisim::D2xxFunction::Purge);
    for (const char* text : {"FT_SetBitMode", "FT_SetBitMode:0", "FT_SetBitMode:x", "SetBitMode:4",
                             "FT_Write:4", "FT_Open:3", ":4", ""}) {
        EXPECT_FALSE(ftdisim::parseCallFailure(text).has_value()) << text;
    }
}

TEST_F(Simulator, ResetTakesTheBusFromTheEnvironment) {
    setenv(ftdisim::kDevicesVariable, "Cam 245R,C1;Table 245R,T1,opened", 1);
    bus.reset();
    const auto nodes = deviceList();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_STREQ(nodes[1].SerialNumber, "T1");
    EXPECT_EQ(nodes[1].Flags & FT_FLAGS_OPENED, FT_FLAGS_OPENED);

    setenv(ftdisim::kDevicesVariable, "", 1);
    setenv(ftdisim::kOpenStatusVariable, "9", 1);
    bus.reset();
    EXPECT_TRUE(deviceList().empty());
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS{9});
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS{9});
    bus.failEveryOpen(std::nullopt);
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
}

// Counts the bytes the pins took; the test thread reads the count while the
// bus calls the model from the transfer thread.
class CountingPinModel : public PinModel {
public:
    void outputsWritten(uint8_t, uint8_t, Clock::time_point) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++writes_;
    }
    uint8_t inputLevels(Clock::time_point) override { return 0x10; }
    unsigned writes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_;
    }

private:
    mutable std::mutex mutex_;
    unsigned writes_ = 0;
};

TEST_F(Simulator, TransfersOnOneThreadWhileAnotherWatches) {
    constexpr unsigned kRounds = 2000;
    FT_HANDLE handle = openInBitBang(kDcTableMask);
    const DeviceId device = firstDevice();
    auto model = std::make_shared<CountingPinModel>();
    bus.setPinModel(device, model);

    std::atomic<bool> done{false};
    std::atomic<unsigned> wrongReads{0};
    // No ASSERT until join(): the thread ends on its own after kRounds.
    std::thread transfers([&] {
        for (unsigned i = 0; i < kRounds; ++i) {
            const auto byte = static_cast<UCHAR>(i);
            FT_Purge(handle, FT_PURGE_TX);
            const bool wrote = writeByte(handle, byte).count == 1;
            FT_Purge(handle, FT_PURGE_RX);
            if (!wrote || readByte(handle).byte != ((byte & kDcTableMask) | 0x10u)) {
                ++wrongReads;
            }
        }
        done = true;
    });
    std::size_t lastSize = 0;
    unsigned lastWrites = 0;
    while (!done) {
        const std::size_t size = bus.trace(device).events.size();
        const ftdisim::DeviceStats stats = bus.stats(device);
        EXPECT_GE(size, lastSize);
        EXPECT_GE(stats.writes, lastWrites);
        EXPECT_LE(model->writes(), kRounds);
        lastSize = size;
        lastWrites = stats.writes;
        // Leaves the bus lock to the transfers now and then, as a UI would.
        std::this_thread::sleep_for(200us);
    }
    transfers.join();

    EXPECT_EQ(wrongReads, 0u);
    EXPECT_EQ(model->writes(), kRounds);
    EXPECT_EQ(bus.stats(device).purges, 2 * kRounds);
    EXPECT_EQ(bus.trace(device).events.size(), 1 + 4 * kRounds);
}

} // namespace
