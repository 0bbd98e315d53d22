#include "ClockedOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace ftdisim {

namespace {

// The R series' baud-rate generator divides 3 MHz by a divisor in eighths;
// the two divisors below 2 stand for 3 and 2 MBaud.
constexpr double kBaudClockEighths = 3000000.0 * 8;
constexpr double kMinFractionalEighths = 16;

} // namespace

Clock::duration ClockedOutput::bytePeriod(ULONG baudRate, unsigned factor) {
    const double requestedEighths = std::round(kBaudClockEighths / baudRate);
    const double baud = requestedEighths < kMinFractionalEighths
                            ? static_cast<double>(baudRate)
                            : kBaudClockEighths / requestedEighths;
    const std::chrono::duration<double> period(1.0 / (baud * factor));
    return std::chrono::round<Clock::duration>(period);
}

Clock::time_point ClockedOutput::push(const std::uint8_t* bytes, std::size_t count,
                                      Clock::time_point arrival, Clock::duration period) {
    Clock::time_point entered = arrival;
    for (std::size_t i = 0; i < count; ++i) {
        // A full buffer takes the next byte when its oldest byte goes out.
        entered = queued_.size() < kBufferBytes
                      ? arrival
                      : std::max(arrival, queued_[queued_.size() - kBufferBytes].time);
        const Clock::time_point out = std::max(entered, lastOut_ + period);
        queued_.push_back({out, bytes[i], i > 0});
        lastOut_ = out;
    }
    return entered;
}

} // namespace ftdisim
