// Our libftdi backend over the libusb stand-in: the D2XX statuses it gives
// for what the bus does, next to what the simulator's own D2XX functions give.
#include "LibftdiBackend.h"

#include <ftdisim/Bus.h>

#include <gmock/gmock.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using ftdisim::Bus;
using ftdisim::DeviceId;
using ftdisim::TransferFault;
using ftdisim::UsbFault;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// The bytes the chip's pins took, in order.
// Once the chip has clocked out what its buffer still holds: 128 bytes take
// 13 ms at the 9600 baud of libftdi's open, at the slowest clock the bus has.
std::vector<UCHAR> bytesOnPins(DeviceId device) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<UCHAR> bytes;
    for (const ftdisim::TraceEvent& event : Bus::instance().trace(device).events) {
        if (event.kind == ftdisim::TraceEvent::Kind::Write && event.applied) {
            bytes.push_back(event.value);
        }
    }
    return bytes;
}

std::vector<FT_DEVICE_LIST_INFO_NODE> listOf(FT_STATUS (*create)(DWORD*),
                                             FT_STATUS (*get)(FT_DEVICE_LIST_INFO_NODE*, DWORD*)) {
    DWORD count = 0;
    EXPECT_EQ(create(&count), FT_OK);
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    EXPECT_EQ(get(nodes.data(), &count), FT_OK);
    nodes.resize(count);
    return nodes;
}

class LibftdiBackendOverUsb : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().clear();
        table = Bus::instance().attach({"FT245R USB FIFO", "KTA", false, false});
    }
    void TearDown() override { Bus::instance().reset(); }

    // Opens the device at `index` in bit-bang mode with every pin an output.
    FT_HANDLE openInBitBang(int index) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(backend.open(index, &handle), FT_OK);
        EXPECT_EQ(backend.setBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG), FT_OK);
        return handle;
    }
    // Gives the chip the tick it takes to clock the byte out: at most 104 us
    // at the 9600 baud libftdi's open sets.
    FT_STATUS writeByte(FT_HANDLE handle, UCHAR byte) {
        DWORD written = 0;
        const FT_STATUS status = backend.write(handle, &byte, 1, &written);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        return status;
    }

    LibftdiBackend backend;
    DeviceId table = 0;
};

TEST_F(LibftdiBackendOverUsb, ListsWhatTheSimulatorLists) {
    Bus::instance().attach({"Turntable B", "KTB", true, false});
    Bus::instance().attach({"Turntable C", "KTC", false, true});
    const auto simulated = listOf(FT_CreateDeviceInfoList, FT_GetDeviceInfoList);
    const auto overUsb = listOf(backend.createDeviceInfoList, backend.getDeviceInfoList);
    ASSERT_EQ(overUsb.size(), 3u);
    ASSERT_EQ(simulated.size(), 3u);
    for (std::size_t i = 0; i < overUsb.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(overUsb[i].Description, simulated[i].Description);
        EXPECT_STREQ(overUsb[i].SerialNumber, simulated[i].SerialNumber);
        EXPECT_EQ(overUsb[i].Type, simulated[i].Type);
        EXPECT_EQ(overUsb[i].ID, simulated[i].ID);
    }
    EXPECT_EQ(overUsb[0].Type, 5u); // FT_DEVICE_232R
    EXPECT_STREQ(overUsb[1].SerialNumber, "KTB");
    EXPECT_STREQ(overUsb[2].Description, "");
}

TEST_F(LibftdiBackendOverUsb, OpenFailuresReachFtOpen) {
    FT_HANDLE handle = nullptr;
    Bus::instance().setOpenedElsewhere(table, true);
    EXPECT_EQ(backend.open(0, &handle), FT_DEVICE_NOT_OPENED);
    Bus::instance().setOpenedElsewhere(table, false);

    Bus::instance().failNextOpen(FT_IO_ERROR);
    EXPECT_EQ(backend.open(0, &handle), FT_IO_ERROR);
    // The failed open gave the chip back.
    EXPECT_FALSE(Bus::instance().stats(table).open);
    Bus::instance().failNextOpen(FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(backend.open(0, &handle), FT_DEVICE_NOT_OPENED);

    ASSERT_EQ(backend.open(0, &handle), FT_OK);
    EXPECT_EQ(backend.close(handle), FT_OK);

    const DeviceId locked = Bus::instance().attach({"FT245R USB FIFO", "KTL", false, true});
    EXPECT_EQ(backend.open(1, &handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_Open(1, &handle), FT_DEVICE_NOT_OPENED);
    EXPECT_FALSE(Bus::instance().stats(locked).open);
}

TEST_F(LibftdiBackendOverUsb, EveryFailedTransferIsAnIoError) {
    const FT_HANDLE handle = openInBitBang(0);
    ASSERT_EQ(writeByte(handle, 0x11), FT_OK);
    for (const UsbFault::Kind kind :
         {UsbFault::Kind::TransferError, UsbFault::Kind::Stall, UsbFault::Kind::Timeout}) {
        Bus::instance().setUsbFault(table, UsbFault{kind, 1, 1});
        EXPECT_EQ(writeByte(handle, 0x22), FT_IO_ERROR);
    }
    // A short write must fail, not keep libftdi waiting for the rest.
    Bus::instance().setWriteFault(table, TransferFault{FT_OK, 1, 1});
    EXPECT_EQ(writeByte(handle, 0x22), FT_IO_ERROR);
    Bus::instance().setReadFault(table, TransferFault{FT_IO_ERROR, 1, 1});
    UCHAR pins = 0;
    DWORD read = 0;
    EXPECT_EQ(backend.read(handle, &pins, 1, &read), FT_IO_ERROR);
    EXPECT_EQ(Bus::instance().outputLevels(table), 0x11);

    EXPECT_EQ(writeByte(handle, 0x33), FT_OK);
    EXPECT_EQ(Bus::instance().outputLevels(table), 0x33);

    Bus::instance().unplug(table);
    EXPECT_EQ(writeByte(handle, 0x44), FT_IO_ERROR);
    EXPECT_EQ(backend.close(handle), FT_IO_ERROR);
}

// A write that fails part way reports what went out, so that the rest can be
// sent from there without a byte twice or missing, whether the host saw every
// packet the chip took or lost the acknowledgement of the last.
TEST_F(LibftdiBackendOverUsb, AWriteThatFailsPartWayReportsWhatWentOut) {
    const FT_HANDLE handle = openInBitBang(0);
    Bus::instance().setPinModel(table, nullptr);
    std::vector<UCHAR> bytes(300);
    std::iota(bytes.begin(), bytes.end(), UCHAR{0});
    DWORD written = 0;

    Bus::instance().setUsbFault(table, UsbFault{UsbFault::Kind::PartialTransfer, 1, 1, 3});
    EXPECT_EQ(backend.write(handle, bytes.data(), 300, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 192u);
    EXPECT_EQ(bytesOnPins(table), std::vector<UCHAR>(bytes.begin(), bytes.begin() + 192));
    // Cut after more packets than it has, a write still fails, with all of it out.
    Bus::instance().setUsbFault(table, UsbFault{UsbFault::Kind::PartialTransfer, 1, 1, 3});
    EXPECT_EQ(backend.write(handle, &bytes[192], 108, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 108u);
    EXPECT_EQ(bytesOnPins(table), bytes);

    Bus::instance().clearTrace(table);
    Bus::instance().setUsbFault(table, UsbFault{UsbFault::Kind::LostAcknowledgement, 1, 1, 2});
    EXPECT_EQ(backend.write(handle, bytes.data(), 300, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 128u);
    EXPECT_EQ(bytesOnPins(table), std::vector<UCHAR>(bytes.begin(), bytes.begin() + 192));
    // The chip takes the resent packet it has for a retry and drops it.
    EXPECT_EQ(backend.write(handle, &bytes[128], 172, &written), FT_OK);
    EXPECT_EQ(written, 172u);
    EXPECT_EQ(bytesOnPins(table), bytes);
    EXPECT_EQ(backend.close(handle), FT_OK);
}

// A chip that lets a write time out holds the caller for the backend's USB
// timeout of 250 ms, not libftdi's 5 s.
TEST_F(LibftdiBackendOverUsb, AWriteTimesOutAfterAQuarterOfASecond) {
    const FT_HANDLE handle = openInBitBang(0);
    Bus::instance().setUsbFault(table, UsbFault{UsbFault::Kind::Timeout, 1, 1});
    const auto start = Clock::now();
    EXPECT_EQ(writeByte(handle, 0x22), FT_IO_ERROR);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 2s);
    EXPECT_EQ(backend.close(handle), FT_OK);
}

TEST_F(LibftdiBackendOverUsb, TwoTablesDrivenFromTwoThreads) {
    const DeviceId other = Bus::instance().attach({"FT245R USB FIFO", "KTB", false, false});
    const FT_HANDLE handles[] = {openInBitBang(0), openInBitBang(1)};
    constexpr int kBytes = 200;
    int failures[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int table = 0; table < 2; ++table) {
        threads.emplace_back([this, &handles, &failures, table] {
            for (int i = 0; i < kBytes; ++i) {
                failures[table] += writeByte(handles[table], static_cast<UCHAR>(i)) != FT_OK;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_THAT(failures, ::testing::ElementsAre(0, 0));
    for (const DeviceId device : {table, other}) {
        EXPECT_EQ(Bus::instance().stats(device).writes, static_cast<unsigned>(kBytes));
        EXPECT_EQ(Bus::instance().outputLevels(device), kBytes - 1);
    }
    for (const FT_HANDLE handle : handles) {
        EXPECT_EQ(backend.close(handle), FT_OK);
    }
}

} // namespace
