#ifndef FTDISIM_BUSTIMING_H
#define FTDISIM_BUSTIMING_H

#include <chrono>

namespace ftdisim {

// How long writes take on the simulated bus. The default is the ideal bus the
// tests run on: a write is taken at once and its bytes reach the pins inside
// the call.
struct BusTiming {
    enum class Transfers {
        // A write completes inside the call.
        Ideal,
        // USB full speed: a write completes at the next 1 ms frame boundary
        // after the call, plus a random delay up to `jitter`; the writing
        // thread sleeps until then, with the bus free for other threads.
        FullSpeed,
    };

    Transfers transfers = Transfers::Ideal;
    std::chrono::microseconds jitter{0};
    // The chip's bit-bang output: the bytes that reached the chip go through
    // its 128-byte buffer and are clocked onto the pins one at a time, at 16
    // times the baud rate the chip's divisor gives; a write that does not fit
    // waits for room. The pins, the trace and the pin model see each byte when
    // it is clocked out. Off: a byte reaches the pins when it reaches the chip.
    bool clockedOutput = false;

    // The full-speed bus of a real FT245R: frame-bound transfers and the
    // chip's clock.
    static BusTiming fullSpeed(std::chrono::microseconds jitter = kDefaultJitter) {
        return {Transfers::FullSpeed, jitter, true};
    }

    // The frame of a full-speed bus.
    static constexpr std::chrono::milliseconds kFrame{1};
    // A host controller schedules a transfer somewhere in its frame.
    static constexpr std::chrono::microseconds kDefaultJitter{50};
};

inline bool operator==(const BusTiming& a, const BusTiming& b) {
    return a.transfers == b.transfers && a.jitter == b.jitter && a.clockedOutput == b.clockedOutput;
}

} // namespace ftdisim

#endif
