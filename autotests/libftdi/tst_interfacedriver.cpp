// The "already open" flag comes from the driver sysfs shows on a device's
// first interface; these build small sysfs trees of their own.
#include "InterfaceDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

using kalvera::libftdi::firstInterfaceDriver;
using kalvera::libftdi::isClaimedByAProgram;

namespace fs = std::filesystem;

namespace {

// A /sys/bus/usb/devices stand-in, removed with the test.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() /
               ("kalvera-sysfs-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(root);
        fs::create_directories(root / "drivers");
    }
    void TearDown() override { fs::remove_all(root); }

    // A device with `configuration` as its active configuration ("" for
    // none), whose interface 0 of that configuration is bound to `driver`
    // ("" for none). Other configurations' interfaces are bound to "other".
    void addDevice(const std::string& location, const std::string& configuration,
                   const std::string& driver) {
        fs::create_directories(root / location);
        std::ofstream(root / location / "bConfigurationValue") << configuration << '\n';
        for (const std::string value : {"1", "2"}) {
            const fs::path interface = root / (location + ':' + value + ".0");
            fs::create_directories(interface);
            const std::string bound = value == configuration ? driver : "other";
            if (!bound.empty()) {
                fs::create_directories(root / "drivers" / bound);
                fs::create_directory_symlink(fs::path("..") / "drivers" / bound,
                                             interface / "driver");
            }
        }
    }

    std::string driverOf(const std::string& location) const {
        return firstInterfaceDriver(root.string(), location);
    }

    fs::path root;
};

TEST_F(FakeSysfs, AProgramsClaimShowsAsUsbfsAndCountsAsOpen) {
    addDevice("1-4.2", "1", "usbfs");
    EXPECT_EQ(driverOf("1-4.2"), "usbfs");
    EXPECT_TRUE(isClaimedByAProgram(root.string(), "1-4.2"));
}

// libftdi detaches the serial driver when it opens the device.
TEST_F(FakeSysfs, TheKernelSerialDriverDoesNotCountAsOpen) {
    addDevice("3-1", "1", "ftdi_sio");
    EXPECT_EQ(driverOf("3-1"), "ftdi_sio");
    EXPECT_FALSE(isClaimedByAProgram(root.string(), "3-1"));
}

TEST_F(FakeSysfs, TheActiveConfigurationsInterfaceIsTheOneRead) {
    addDevice("2-1", "2", "usbfs");
    EXPECT_EQ(driverOf("2-1"), "usbfs");
}

TEST_F(FakeSysfs, NoBoundDriverNoConfigurationOrNoDeviceTellNothing) {
    addDevice("1-1", "1", "");
    addDevice("1-2", "", "usbfs");
    for (const char* location : {"1-1", "1-2", "1-3"}) {
        SCOPED_TRACE(location);
        EXPECT_EQ(driverOf(location), "");
        EXPECT_FALSE(isClaimedByAProgram(root.string(), location));
    }
}

} // namespace
