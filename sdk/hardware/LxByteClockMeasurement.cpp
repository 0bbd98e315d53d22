// The timing of the chip's bit-bang clock at an open.
#include "ChipClockedStepTrain.h"
#include "LxFTDIController.h"
#include "RaisedSchedulingPriority.h"

#include <ftd2xx.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The R series divides 3 MHz by exactly 384 for this rate: 7812.5 baud.
constexpr unsigned long MEASURING_BAUD_RATE = 7812;
constexpr double MEASURING_BAUD = 3000000.0 / 384;
// Fills the chip's buffer, so that the timed writes that follow are taken
// at the pace of the clock alone: each returns when its last byte has found
// room, exactly its length of bytes after the write before it.
constexpr std::size_t PRIMING_BYTES = ChipClockedStepTrain::CHIP_BUFFER_BYTES + 64;
// A first, short write tells the clock roughly, so that the timed writes can
// be sized to it: 2 ms at 16 bytes a baud, 8 ms at 4.
constexpr std::size_t PROBING_BYTES = 256;
// Of the timed writes: long enough that the chip's buffer is a small part.
constexpr std::size_t LEAST_TIMED_BYTES = 512;
// How long each timed write lasts: long against the millisecond or two by
// which a busy machine may wake the timing thread late, short enough that
// the 100 ms an open may spend hold a few pairs of them.
constexpr std::chrono::milliseconds TIMED_WRITE{15};
constexpr std::size_t MOST_TIMED_BYTES = 2048;
// What an open may spend on the timing, the baud rates set around it
// included.
constexpr std::chrono::milliseconds MEASURING_BUDGET{100};
constexpr std::chrono::milliseconds SETTING_UP{5};
// Two timings of the same write must agree this closely, and the clock must
// come this close to a published reading: 16 and 4 lie far apart, and a
// chip or bus that misses by more is not one whose clock is known (a chip of
// 3 bytes a baud misses 4 by 25 %).
constexpr double TOLERANCE = 0.10;
constexpr int PUBLISHED_FACTORS[] = {16, 4};

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    // A clock's tick apart at the least: a rate is never infinite.
    return std::max(std::chrono::duration<double>(to - from).count(), 1e-6);
}

// The least the chip's rate can be when `bytes` took `seconds`. A write is
// timed from the return of the one before it; a thread woken late after that
// one makes the write look shorter, by as much as the chip's buffer still held
// (beyond that the chip ran dry, and the write looks longer). Delays on the
// bus only ever make it look longer.
double leastRate(std::size_t bytes, double seconds) {
    const double buffered = static_cast<double>(ChipClockedStepTrain::CHIP_BUFFER_BYTES);
    return (static_cast<double>(bytes) - buffered) / seconds;
}

bool near(double value, double target) {
    return std::fabs(value - target) <= TOLERANCE * target;
}

std::string percent(double fraction) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f %%", fraction * 100);
    return text;
}

std::string neitherReading(double bytesPerSecond) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "its bit-bang clock puts %.1f bytes on the pins per baud period, neither 16 "
                  "nor 4",
                  bytesPerSecond / MEASURING_BAUD);
    return text;
}

} // namespace

bool LxFTDIController::writeSilentBytes(std::vector<unsigned char>& bytes, std::size_t count) {
    DWORD written = 0;
    const FT_STATUS status =
        noteSetUpCall("FT_Write (byte clock timing)",
                      FT_Write(deviceHandle, bytes.data(), static_cast<DWORD>(count), &written));
    return status == FT_OK && written == count;
}

LxByteClockReading LxFTDIController::measureByteClock(unsigned char silentByte) {
    LxByteClockReading reading;
    const Clock::time_point deadline = Clock::now() + MEASURING_BUDGET - SETTING_UP;
    if (noteSetUpCall("FT_SetBaudRate (byte clock timing)",
                      FT_SetBaudRate(deviceHandle, MEASURING_BAUD_RATE)) != FT_OK) {
        reading.problem = "the chip refused the baud rate of the timing";
    } else {
        reading = timeByteClock(silentByte, deadline);
        // What the chip still holds of the silent train changes no line, but
        // would hold the first byte of a move back by up to 4 ms.
        noteSetUpCall("FT_Purge (transmit buffer)", FT_Purge(deviceHandle, FT_PURGE_TX));
    }
    // Back to the rate of the open, at which single edges reach the pins at
    // once; a train sets its own.
    chipBaudRate = noteSetUpCall("FT_SetBaudRate (single edges)",
                                 FT_SetBaudRate(deviceHandle, EDGE_BY_EDGE_BAUD_RATE)) == FT_OK
                       ? EDGE_BY_EDGE_BAUD_RATE
                       : 0;
    return reading;
}

LxByteClockReading LxFTDIController::timeByteClock(unsigned char silentByte,
                                                   std::chrono::steady_clock::time_point deadline) {
    LxByteClockReading reading;
    // Woken late after a write, the thread would take the chip for slower.
    const RaisedSchedulingPriority raised;
    // The pins keep their levels: nothing behind them sees the timing.
    std::vector<unsigned char> silent(MOST_TIMED_BYTES, silentByte);
    const std::string refused = "the chip did not take the writes of the timing";
    if (!writeSilentBytes(silent, PRIMING_BYTES)) {
        reading.problem = refused;
        return reading;
    }
    Clock::time_point start = Clock::now();
    if (!writeSilentBytes(silent, PROBING_BYTES)) {
        reading.problem = refused;
        return reading;
    }
    Clock::time_point end = Clock::now();
    // Too slow on a bus that held the write up: the pairs below tell.
    const double rough = PROBING_BYTES / secondsBetween(start, end);
    // What no timing can be faster than, however a thread woke.
    double least = leastRate(PROBING_BYTES, secondsBetween(start, end));
    const std::size_t timedBytes = std::clamp<std::size_t>(
        static_cast<std::size_t>(rough * std::chrono::duration<double>(TIMED_WRITE).count()),
        LEAST_TIMED_BYTES, MOST_TIMED_BYTES);
    const auto pairTakes = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(2 * timedBytes / rough));
    // How far apart the last two timings were; none timed yet.
    double disagreement = -1.0;
    while (Clock::now() + pairTakes <= deadline) {
        start = end;
        if (!writeSilentBytes(silent, timedBytes)) {
            reading.problem = refused;
            return reading;
        }
        const Clock::time_point middle = Clock::now();
        if (!writeSilentBytes(silent, timedBytes)) {
            reading.problem = refused;
            return reading;
        }
        end = Clock::now();
        const double first = timedBytes / secondsBetween(start, middle);
        const double second = timedBytes / secondsBetween(middle, end);
        least = std::max({least, leastRate(timedBytes, secondsBetween(start, middle)),
                          leastRate(timedBytes, secondsBetween(middle, end))});
        const double rate = 2 * timedBytes / secondsBetween(start, end);
        disagreement = std::fabs(first - second) / rate;
        // Otherwise held up on the bus, or woken late: time again while the
        // budget lasts. A pair held up alike agrees, but is slower than an
        // earlier write showed the chip to be.
        if (disagreement > TOLERANCE || rate * (1 + TOLERANCE) < least) {
            continue;
        }
        reading.bytesPerSecond = rate;
        for (const int factor : PUBLISHED_FACTORS) {
            const double published = MEASURING_BAUD * factor;
            // Two writes held up alike must not pass a fast chip off as a
            // slow one, whose trains would then run four times too fast.
            if (near(rate, published) && least <= published * (1 + TOLERANCE)) {
                reading.factor = factor;
                return reading;
            }
        }
        reading.problem = neitherReading(rate);
        return reading;
    }
    if (disagreement < 0) {
        reading.problem = "its bit-bang clock could not be timed within 100 ms: the USB was too "
                          "busy, or the clock slower than 4 bytes per baud period";
        return reading;
    }
    reading.problem = "the USB was too busy to time its bit-bang clock: two timings of the same "
                      "write differed by " +
                      percent(disagreement);
    return reading;
}
