// What FT_Read returns in bit-bang mode: the samples of the pins the chip
// takes at every tick of its byte clock and queues for the host.
#include "PinModelFixture.h"

#include <ftdisim/UsbPort.h>

#include <array>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::Clock;

namespace {

constexpr UCHAR kOutputs = 0x0F;
constexpr UCHAR kInputs = 0x30;

class PinSamplesTest : public PinModelTest {
protected:
    void SetUp() override {
        PinModelTest::SetUp();
        open();
        Bus::instance().setPinModel(device(), nullptr);
        Bus::instance().setInputLevels(device(), kInputs);
    }

    DWORD readQueued(UCHAR* bytes, DWORD count) {
        DWORD returned = 0;
        EXPECT_EQ(FT_Read(handle_, bytes, count, &returned), FT_OK);
        return returned;
    }

    // One tick of the byte clock at `baud`, at the bus's factor.
    static std::chrono::nanoseconds tick(ULONG baud) {
        return std::chrono::nanoseconds(1000000000 / (baud * Bus::instance().byteClockFactor()));
    }
};

TEST_F(PinSamplesTest, ReadsTakeTheQueuedSamplesOldestFirstFromThePurgeOn) {
    constexpr ULONG kSlowBaud = 300;
    ASSERT_EQ(FT_SetBaudRate(handle_, kSlowBaud), FT_OK);
    setBitMode(kOutputs);
    write(0x0A);
    std::this_thread::sleep_for(2 * tick(kSlowBaud));

    // The drivers' read: a purge, then the sample the chip took when it came.
    // Timed from before the purge: a thread kept from running after it
    // finds the later samples there already.
    const Clock::time_point beforePurge = Clock::now();
    ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX), FT_OK);
    write(0x05);
    std::array<UCHAR, 3> samples{};
    EXPECT_EQ(readQueued(samples.data(), 1), 1u);
    EXPECT_EQ(samples[0], kInputs | 0x0A) << "the pins as the purge found them";
    // The next two are due a tick and two after the purge: the read waits.
    EXPECT_EQ(readQueued(samples.data(), 2), 2u);
    EXPECT_GE(Clock::now() - beforePurge, tick(kSlowBaud) - 1us);

    ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(readQueued(samples.data(), 1), 1u);
    EXPECT_EQ(samples[0], kInputs | 0x05);
}

TEST_F(PinSamplesTest, AFullBufferTakesNoMoreAndOutsideBitBangNothingComes) {
    setBitMode(kOutputs);
    std::this_thread::sleep_for(1ms);
    std::array<UCHAR, 300> samples{};
    DWORD moved = 0;
    EXPECT_EQ(ftdisim::UsbPort::readSamples(device(), samples.data(), 300, moved),
              ftdisim::UsbResult::Done);
    EXPECT_EQ(moved, 256u) << "the chip's transmit buffer";

    setBitMode(kOutputs, FT_BITMODE_RESET);
    ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX), FT_OK);
    const Clock::time_point call = Clock::now();
    EXPECT_EQ(readQueued(samples.data(), 1), 0u);
    const Clock::duration waited = Clock::now() - call;
    EXPECT_GE(waited, 300ms) << "the read timeout of the D2XX library";
    EXPECT_LT(waited, 5s);
}

} // namespace
