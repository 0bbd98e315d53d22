#ifndef PINMODELFIXTURE_H
#define PINMODELFIXTURE_H

// A default simulated device, driven through the D2XX functions the way the
// turntable drivers drive it, with the rig behind its pins at hand.
#include <ftdisim/Bus.h>
#include <ftdisim/Environment.h>
#include <ftdisim/TurntableRig.h>

#include <ftd2xx.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

class PinModelTest : public ::testing::Test {
protected:
    // The bus starts as in a test run without the simulator's variables.
    void SetUp() override { resetBus(); }
    void TearDown() override { resetBus(); }

    static void resetBus() {
        for (const char* variable : {ftdisim::kDevicesVariable, ftdisim::kOpenStatusVariable,
                                     ftdisim::kDcCountTimeVariable, ftdisim::kUsbTimingVariable}) {
            unsetenv(variable);
        }
        ftdisim::Bus::instance().reset();
    }

    static ftdisim::DeviceId device() { return ftdisim::Bus::instance().devices().at(0); }
    static std::shared_ptr<ftdisim::TurntableRig> rig() {
        return ftdisim::Bus::instance().rig(device());
    }
    // The timestamp the models were given for the last pin access.
    static ftdisim::Clock::time_point lastAccessTime() {
        return ftdisim::Bus::instance().trace(device()).events.back().time;
    }

    // At the chip's fastest rate, 3 MBaud, which clocks a byte out within
    // 333 ns at any byte clock factor.
    void open(int index = 0) {
        opened_ = ftdisim::Bus::instance().devices().at(static_cast<std::size_t>(index));
        EXPECT_EQ(FT_Open(index, &handle_), FT_OK);
        EXPECT_EQ(FT_SetBaudRate(handle_, 3000000), FT_OK);
    }
    void setBitMode(UCHAR mask, UCHAR mode = FT_BITMODE_ASYNC_BITBANG) {
        EXPECT_EQ(FT_SetBitMode(handle_, mask, mode), FT_OK);
    }
    void openInBitBang(UCHAR mask) {
        open();
        setBitMode(mask);
    }
    // Returns once the chip has clocked the byte out and the models have it.
    void write(UCHAR byte) {
        DWORD written = 0;
        EXPECT_EQ(FT_Write(handle_, &byte, 1, &written), FT_OK);
        EXPECT_EQ(written, 1u);
        std::this_thread::sleep_for(std::chrono::microseconds(1));
        ftdisim::Bus::instance().stats(opened_);
    }
    // As the drivers read the pins: drops the samples the chip queued so far
    // and reads the one it takes when the purge reaches it.
    UCHAR read() {
        EXPECT_EQ(FT_Purge(handle_, FT_PURGE_RX), FT_OK);
        UCHAR byte = 0;
        DWORD count = 0;
        EXPECT_EQ(FT_Read(handle_, &byte, 1, &count), FT_OK);
        EXPECT_EQ(count, 1u);
        return byte;
    }

    FT_HANDLE handle_ = nullptr;
    ftdisim::DeviceId opened_ = 0;
};

#endif
