// The simulated bus's timing: frame-bound USB writes and the chip's clocked
// bit-bang output, as a driver meets them through FT_Write.
#include <ftdisim/Bus.h>
#include <ftdisim/Environment.h>
#include <ftdisim/UsbPort.h>

#include <ftd2xx.h>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::BusTiming;
using ftdisim::Clock;
using ftdisim::TraceEvent;

namespace ftdisim {

void PrintTo(const BusTiming& timing, std::ostream* os) {
    *os << (timing.transfers == BusTiming::Transfers::Ideal ? "ideal" : "full-speed") << " +"
        << timing.jitter.count() << "us";
}

} // namespace ftdisim

namespace {

constexpr UCHAR kAllOutputs = 0xFF;
// The slowest baud rate the chip takes: at 16 bytes per baud period one byte
// every 208 us, at 4 one every 833 us, slow enough to see each byte come out
// on a busy machine.
constexpr ULONG kSlowBaud = 300;
constexpr std::size_t kChipBuffer = 128;

// One byte at the slow baud rate, at the bus's byte clock factor.
std::chrono::nanoseconds slowBytePeriod(unsigned factor = Bus::instance().byteClockFactor()) {
    return std::chrono::nanoseconds(1000000000 / (factor * kSlowBaud));
}

Clock::time_point nextFrameBoundary(Clock::time_point time) {
    const Clock::duration frame = BusTiming::kFrame;
    return time + (frame - time.time_since_epoch() % frame);
}

// A thread that sleeps gives its processor up of its own accord; one that
// spins loses it only when the scheduler takes it.
long voluntaryContextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

std::vector<TraceEvent> writesOf(const std::vector<TraceEvent>& events) {
    std::vector<TraceEvent> writes;
    for (const TraceEvent& e : events) {
        if (e.kind == TraceEvent::Kind::Write) {
            writes.push_back(e);
        }
    }
    return writes;
}

class BusTimingTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetBus();
        ASSERT_EQ(FT_Open(0, &handle_), FT_OK);
        ASSERT_EQ(FT_SetBitMode(handle_, kAllOutputs, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    }
    void TearDown() override {
        FT_Close(handle_);
        resetBus();
    }

    static void resetBus() {
        unsetenv(ftdisim::kUsbTimingVariable);
        Bus::instance().reset();
    }

    void write(const std::vector<UCHAR>& bytes) {
        DWORD written = 0;
        auto* data = const_cast<UCHAR*>(bytes.data());
        ASSERT_EQ(FT_Write(handle_, data, static_cast<DWORD>(bytes.size()), &written), FT_OK);
        ASSERT_EQ(written, bytes.size());
    }

    // The bytes' trace once the chip has had time to clock out `count` bytes.
    std::vector<TraceEvent> writesOnThePins(std::size_t count) {
        std::this_thread::sleep_for(slowBytePeriod() * count + 2 * BusTiming::kFrame);
        return writesOf(Bus::instance().trace(Bus::instance().devices().at(0)).events);
    }

    FT_HANDLE handle_ = nullptr;
};

std::vector<UCHAR> countingBytes(std::size_t count) {
    std::vector<UCHAR> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<UCHAR>(i);
    }
    return bytes;
}

TEST_F(BusTimingTest, FullSpeedWriteReturnsOnAFrameBoundaryAndSleepsUntilThen) {
    Bus::instance().setTiming(BusTiming::fullSpeed(0us));
    constexpr int kWrites = 50;
    const long switchesBefore = voluntaryContextSwitches();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kWrites; ++i) {
        const Clock::time_point call = Clock::now();
        write({static_cast<UCHAR>(i)});
        const Clock::time_point returned = Clock::now();
        EXPECT_GE(returned, nextFrameBoundary(call)) << "write " << i;
        const TraceEvent last =
            Bus::instance().trace(Bus::instance().devices().at(0)).events.back();
        EXPECT_GE(last.time, nextFrameBoundary(call)) << "write " << i;
        EXPECT_LE(last.time, returned) << "write " << i;
    }
    const Clock::duration wall = Clock::now() - start;
    EXPECT_GE(wall, kWrites * 1ms - 1ms);
    EXPECT_LT(wall, 5s);
    EXPECT_GE(voluntaryContextSwitches() - switchesBefore, kWrites / 2)
        << "the writer spins instead of sleeping";
}

TEST_F(BusTimingTest, ControlRequestsAndReadsActAFrameLaterAndSleepUntilThen) {
    Bus::instance().setTiming(BusTiming::fullSpeed(0us));
    const ftdisim::DeviceId device = Bus::instance().devices().at(0);
    UCHAR byte = 0;
    DWORD read = 0;
    const std::vector<std::function<bool()>> requests = {
        [&] { return FT_Purge(handle_, FT_PURGE_RX) == FT_OK; },
        [&] { return FT_SetBaudRate(handle_, 1000000) == FT_OK; },
        [&] { return FT_SetLatencyTimer(handle_, 2) == FT_OK; },
        [&] { return FT_SetBitMode(handle_, kAllOutputs, FT_BITMODE_ASYNC_BITBANG) == FT_OK; },
        [&] { return FT_Read(handle_, &byte, 1, &read) == FT_OK; },
        [&] { return ftdisim::UsbPort::purge(device, FT_PURGE_TX) == ftdisim::UsbResult::Done; },
        [&] { return ftdisim::UsbPort::readPins(device, byte) == ftdisim::UsbResult::Done; },
    };
    Bus::instance().clearTrace(device);
    const Clock::time_point firstCall = Clock::now();
    const long switchesBefore = voluntaryContextSwitches();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Clock::time_point call = Clock::now();
        EXPECT_TRUE(requests[i]()) << "request " << i;
        EXPECT_GE(Clock::now(), nextFrameBoundary(call)) << "request " << i;
    }
    const auto events = Bus::instance().trace(device).events;
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, TraceEvent::Kind::Purge);
    EXPECT_GE(events.front().time, nextFrameBoundary(firstCall))
        << "the purge acts on the chip when its transfer completes";
    EXPECT_GE(voluntaryContextSwitches() - switchesBefore, static_cast<long>(requests.size()) / 2)
        << "the caller spins instead of sleeping";
}

TEST_F(BusTimingTest, ANoisyBusCompletesSomeTransfersMillisecondsLate) {
    Bus::instance().setTiming(BusTiming::noisy(BusTiming::kNoisyLateEvery, 0us));
    constexpr int kWrites = 20;
    int late = 0;
    for (int i = 0; i < kWrites; ++i) {
        const Clock::time_point call = Clock::now();
        write({static_cast<UCHAR>(i)});
        const Clock::duration overFrame = Clock::now() - nextFrameBoundary(call);
        EXPECT_GE(overFrame, Clock::duration::zero()) << "write " << i;
        late += overFrame >= BusTiming::kNoisyLateMin ? 1 : 0;
    }
    EXPECT_GE(late, 1);
    EXPECT_LT(late, kWrites);
}

class ClockedOutputTest : public BusTimingTest, public ::testing::WithParamInterface<BusTiming> {
protected:
    void SetUp() override {
        BusTimingTest::SetUp();
        Bus::instance().setTiming(GetParam());
        ASSERT_EQ(FT_SetBaudRate(handle_, kSlowBaud), FT_OK);
    }
};

TEST_P(ClockedOutputTest, BytesReachThePinsAtTheByteRateInOrder) {
    constexpr std::size_t kBytes = 100;
    const Clock::time_point call = Clock::now();
    write(countingBytes(kBytes));
    const auto writes = writesOnThePins(kBytes);
    ASSERT_EQ(writes.size(), kBytes);
    EXPECT_GE(writes.front().time, call);
    for (std::size_t i = 0; i < kBytes; ++i) {
        EXPECT_EQ(writes[i].value, i);
        EXPECT_TRUE(writes[i].applied);
        if (i > 0) {
            const auto gap = writes[i].time - writes[i - 1].time;
            EXPECT_GE(gap, slowBytePeriod() - 1us) << "byte " << i;
            EXPECT_LE(gap, slowBytePeriod() + 1us) << "byte " << i;
        }
    }
}

TEST_P(ClockedOutputTest, AFullBufferHoldsTheWriterUntilThereIsRoom) {
    constexpr std::size_t kBeyondBuffer = 40;
    const Clock::time_point call = Clock::now();
    write(countingBytes(kChipBuffer + kBeyondBuffer));
    const Clock::duration held = Clock::now() - call;
    // The last byte gets in when the 40th goes out.
    EXPECT_GE(held, slowBytePeriod() * (kBeyondBuffer - 1));
    EXPECT_LT(held, 5s);
    EXPECT_EQ(writesOnThePins(kChipBuffer).size(), kChipBuffer + kBeyondBuffer);
}

TEST_P(ClockedOutputTest, PurgeDropsWhatTheChipHasNotClockedOut) {
    write(countingBytes(kChipBuffer));
    ASSERT_EQ(FT_Purge(handle_, FT_PURGE_TX), FT_OK);
    const auto events = Bus::instance().trace(Bus::instance().devices().at(0)).events;
    std::this_thread::sleep_for(slowBytePeriod() * kChipBuffer);
    const auto later = Bus::instance().trace(Bus::instance().devices().at(0)).events;
    EXPECT_EQ(later.size(), events.size());
    EXPECT_EQ(later.back().kind, TraceEvent::Kind::Purge);
}

INSTANTIATE_TEST_SUITE_P(Timings, ClockedOutputTest,
                         ::testing::Values(BusTiming{}, BusTiming::fullSpeed()),
                         [](const ::testing::TestParamInfo<BusTiming>& info) {
                             return info.param.transfers == BusTiming::Transfers::Ideal
                                        ? "Ideal"
                                        : "FullSpeed";
                         });

TEST_F(BusTimingTest, AByteClockFactorTimesTheBytesWrittenAfterIt) {
    ASSERT_EQ(FT_SetBaudRate(handle_, kSlowBaud), FT_OK);
    const std::chrono::nanoseconds before = slowBytePeriod();
    write(countingBytes(3));
    Bus::instance().setByteClockFactor(3);
    write(countingBytes(3));
    const auto writes = writesOnThePins(3 + 3 * 16 / 3);
    ASSERT_EQ(writes.size(), 6u);
    for (std::size_t i : {1, 2}) {
        EXPECT_EQ(writes[i].time - writes[i - 1].time, before) << "byte " << i;
    }
    for (std::size_t i : {4, 5}) {
        EXPECT_EQ(writes[i].time - writes[i - 1].time, slowBytePeriod(3)) << "byte " << i;
    }
}

// Sets an environment variable for one test and puts back what it was: CTest
// runs the tests again with the byte clock factor set.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value)
        : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
        Bus::instance().reset();
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ByteClockFactor, ResetTakesItFromTheEnvironmentAndTimingsLeaveIt) {
    ScopedVariable factor(ftdisim::kByteClockFactorVariable, "4");
    Bus::instance().reset();
    EXPECT_EQ(Bus::instance().byteClockFactor(), 4u);
    Bus::instance().setTiming(BusTiming::fullSpeed());
    EXPECT_EQ(Bus::instance().byteClockFactor(), 4u);
    Bus::instance().setByteClockFactor(3);
    EXPECT_EQ(Bus::instance().byteClockFactor(), 3u);
    EXPECT_THROW(Bus::instance().setByteClockFactor(0), std::invalid_argument);
    EXPECT_THROW(Bus::instance().setByteClockFactor(17), std::invalid_argument);
    Bus::instance().reset();
    EXPECT_EQ(Bus::instance().byteClockFactor(), 4u);
    setenv(ftdisim::kByteClockFactorVariable, "17", 1);
    testing::internal::CaptureStderr();
    Bus::instance().reset();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("FTDISIM_BYTE_CLOCK_FACTOR"),
              std::string::npos);
    EXPECT_EQ(Bus::instance().byteClockFactor(), 16u);
}

TEST(ByteClockFactor, ParserTakesOneToSixteen) {
    EXPECT_EQ(ftdisim::parseByteClockFactor("1"), 1u);
    EXPECT_EQ(ftdisim::parseByteClockFactor(" 16 "), 16u);
    for (const char* text : {"", "0", "17", "-4", "4x", "four"}) {
        EXPECT_FALSE(ftdisim::parseByteClockFactor(text).has_value()) << text;
    }
}

TEST(BusTimingParser, ReadsTheThreeTimingsAndRefusesTheRest) {
    EXPECT_EQ(ftdisim::parseBusTiming("ideal"), BusTiming{});
    EXPECT_EQ(ftdisim::parseBusTiming(" chip-clock "), BusTiming{});
    EXPECT_EQ(ftdisim::parseBusTiming("full-speed"), BusTiming::fullSpeed());
    EXPECT_EQ(ftdisim::parseBusTiming("full-speed:120"), BusTiming::fullSpeed(120us));
    EXPECT_EQ(ftdisim::parseBusTiming("noisy"), BusTiming::noisy());
    for (const char* text : {"", "fast", "full-speed:", "full-speed:1000", "full-speed:-1",
                             "full-speed120", "ideal:5"}) {
        EXPECT_FALSE(ftdisim::parseBusTiming(text).has_value()) << text;
    }
}

TEST(BusTimingEnvironment, ResetTakesTheTimingFromTheEnvironment) {
    setenv(ftdisim::kUsbTimingVariable, "full-speed:10", 1);
    Bus::instance().reset();
    EXPECT_EQ(Bus::instance().timing(), BusTiming::fullSpeed(10us));
    unsetenv(ftdisim::kUsbTimingVariable);
    Bus::instance().reset();
    EXPECT_EQ(Bus::instance().timing(), BusTiming{});
}

} // namespace
