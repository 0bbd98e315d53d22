// The real libftdi over the libusb stand-in: what it sends reaches the
// simulated chips as the D2XX functions would deliver it.
#include <ftdisim/Bus.h>
#include <ftdisim/StepperTable.h>
#include <ftdisim/TurntableRig.h>

#include <ftdi.h>
#include <gmock/gmock.h>
#include <libusb.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>

using ftdisim::Bus;
using ftdisim::DeviceId;
using ftdisim::UsbFault;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

struct FtdiDeleter {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Ftdi = std::unique_ptr<ftdi_context, FtdiDeleter>;

class LibftdiOverUsb : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().clear();
        first = Bus::instance().attach({"FT245R USB FIFO", "KTA", false, false});
        second = Bus::instance().attach({"Turntable B", "KTB", false, false});
        ftdi.reset(ftdi_new());
        ASSERT_TRUE(ftdi);
    }
    void TearDown() override {
        ftdi.reset();
        Bus::instance().reset();
    }

    DeviceId first = 0;
    DeviceId second = 0;
    Ftdi ftdi;
};

TEST_F(LibftdiOverUsb, ListsTheBusWithItsStrings) {
    ftdi_device_list* list = nullptr;
    ASSERT_EQ(ftdi_usb_find_all(ftdi.get(), &list, 0, 0), 2);
    char manufacturer[32];
    char description[64];
    char serial[16];
    ASSERT_EQ(ftdi_usb_get_strings(ftdi.get(), list->next->dev, manufacturer, sizeof manufacturer,
                                   description, sizeof description, serial, sizeof serial),
              0);
    ftdi_list_free(&list);
    EXPECT_STREQ(manufacturer, "FTDI");
    EXPECT_STREQ(description, "Turntable B");
    EXPECT_STREQ(serial, "KTB");
}

TEST_F(LibftdiOverUsb, BitBangWritesDriveTheRigAndReadsSampleThePins) {
    ASSERT_EQ(ftdi_usb_open_desc_index(ftdi.get(), 0x0403, 0x6001, nullptr, nullptr, 1), 0);
    EXPECT_EQ(ftdi->type, TYPE_R);
    EXPECT_TRUE(Bus::instance().stats(second).open);
    ASSERT_EQ(ftdi_set_bitmode(ftdi.get(), 0xFF, BITMODE_BITBANG), 0);
    // libftdi sends four times the rate in bit-bang mode.
    ASSERT_EQ(ftdi_set_baudrate(ftdi.get(), 9600), 0);
    ASSERT_EQ(ftdi_set_latency_timer(ftdi.get(), 2), 0);
    ASSERT_EQ(ftdi_tciflush(ftdi.get()), 0);

    // Enable, then two step pulses clockwise.
    const unsigned char steps[] = {0x03, 0x07, 0x03, 0x07, 0x03};
    ASSERT_EQ(ftdi_write_data(ftdi.get(), steps, sizeof steps), static_cast<int>(sizeof steps));
    // The chip clocks them out a byte at a time, within 26 us each.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    unsigned char pins = 0;
    ASSERT_EQ(ftdi_read_pins(ftdi.get(), &pins), 0);

    const ftdisim::DeviceStats stats = Bus::instance().stats(second);
    EXPECT_EQ(stats.bitMode, FT_BITMODE_ASYNC_BITBANG);
    EXPECT_EQ(stats.bitMask, 0xFF);
    EXPECT_EQ(stats.baudRate, 38400u);
    EXPECT_EQ(stats.latencyTimerMs, 2);
    EXPECT_EQ(stats.rxPurges, 1u);
    EXPECT_EQ(stats.txPurges, 0u);
    EXPECT_EQ(Bus::instance().outputLevels(second), 0x03);
    EXPECT_EQ(pins & 0x0F, 0x03);
    EXPECT_EQ(Bus::instance().rig(second)->stepperTable().steps(), 2u);
    EXPECT_EQ(Bus::instance().stats(first).writes, 0u);

    // The chip's samples of the pins come in 64-byte packets behind their
    // status bytes, which libftdi strips. It samples every 26 us or faster.
    ASSERT_EQ(ftdi_tciflush(ftdi.get()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::array<unsigned char, 200> samples{};
    ASSERT_EQ(ftdi_read_data(ftdi.get(), samples.data(), samples.size()),
              static_cast<int>(samples.size()));
    EXPECT_THAT(samples, ::testing::Each(0x03));

    EXPECT_EQ(ftdi_usb_close(ftdi.get()), 0);
    EXPECT_FALSE(Bus::instance().stats(second).open);
}

TEST_F(LibftdiOverUsb, ATimeoutHoldsTheCallerForTheTimeoutItWasGiven) {
    ASSERT_EQ(ftdi_usb_open_desc_index(ftdi.get(), 0x0403, 0x6001, nullptr, nullptr, 0), 0);
    ftdi->usb_write_timeout = 100;
    Bus::instance().setUsbFault(first, UsbFault{UsbFault::Kind::Timeout, 2, 1});
    const unsigned char byte = 0x01;
    for (const bool control : {true, false}) {
        SCOPED_TRACE(control ? "control transfer" : "bulk transfer");
        const auto start = Clock::now();
        EXPECT_LT(control ? ftdi_set_baudrate(ftdi.get(), 9600)
                          : ftdi_write_data(ftdi.get(), &byte, 1),
                  0);
        EXPECT_GE(Clock::now() - start, 100ms);
        EXPECT_LT(Clock::now() - start, 2s);
    }
}

// After a lost acknowledgement the chip drops the next packet as a retry,
// unless setting the configuration has put both data toggles back to DATA0.
TEST_F(LibftdiOverUsb, SettingTheConfigurationResynchronisesTheDataToggles) {
    ASSERT_EQ(ftdi_usb_open_desc_index(ftdi.get(), 0x0403, 0x6001, nullptr, nullptr, 0), 0);
    ASSERT_EQ(ftdi_set_bitmode(ftdi.get(), 0xFF, BITMODE_BITBANG), 0);
    Bus::instance().setPinModel(first, nullptr);
    Bus::instance().setUsbFault(first, UsbFault{UsbFault::Kind::LostAcknowledgement, 1, 1, 0});
    const unsigned char taken = 0x11;
    EXPECT_EQ(ftdi_write_data(ftdi.get(), &taken, 1), -1);
    // The chip clocks each byte out within a tick of its clock.
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(Bus::instance().outputLevels(first), 0x11);

    ASSERT_EQ(libusb_set_configuration(ftdi->usb_dev, 1), 0);
    const unsigned char next = 0x22;
    EXPECT_EQ(ftdi_write_data(ftdi.get(), &next, 1), 1);
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(Bus::instance().outputLevels(first), 0x22);
}

TEST_F(LibftdiOverUsb, ADeviceOpenElsewhereCannotBeClaimed) {
    Bus::instance().setOpenedElsewhere(first, true);
    EXPECT_EQ(ftdi_usb_open_desc_index(ftdi.get(), 0x0403, 0x6001, nullptr, nullptr, 0), -5);
}

} // namespace
