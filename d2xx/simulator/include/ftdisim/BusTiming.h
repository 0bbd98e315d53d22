#ifndef FTDISIM_BUSTIMING_H
#define FTDISIM_BUSTIMING_H

#include <chrono>

namespace ftdisim {

// How long USB transfers take on the simulated bus. The default is the ideal
// bus the tests run on: a transfer completes inside the call. On every bus the
// chip clocks its bit-bang output: the bytes that reached the chip go through
// its 128-byte buffer and are clocked onto the pins one at a time, at the
// byte clock factor (Bus::setByteClockFactor()) times the baud rate the
// chip's divisor gives; a write that does not fit holds its caller until its
// last byte is in the buffer. The pins, the trace and the pin model see each
// byte when it is clocked out.
struct BusTiming {
    enum class Transfers {
        // A write's transfer completes inside the call.
        Ideal,
        // USB full speed: a write, a read or a control request (purge, baud
        // rate, bit mode, latency timer) completes at the next 1 ms frame
        // boundary after the call, plus a random delay up to `jitter`, and
        // acts on the chip then; the calling thread sleeps until then, with
        // the bus free for other threads.
        FullSpeed,
        // A full-speed bus shared with a device that hogs it: as FullSpeed,
        // but one transfer in `lateEvery`, at random, completes a further
        // kNoisyLateMin to kNoisyLateMax late. Too noisy for a driver to time
        // the chip's clock from a few transfers; from every one at 1. The random draws are seeded
        // alike in every run, so a test sees the same delays each time.
        Noisy,
    };

    Transfers transfers = Transfers::Ideal;
    std::chrono::microseconds jitter{0};
    // Of a noisy bus: how many transfers, one of which is held up.
    unsigned lateEvery = kNoisyLateEvery;

    // The full-speed bus of a real FT245R: frame-bound transfers.
    static BusTiming fullSpeed(std::chrono::microseconds jitter = kDefaultJitter) {
        return {Transfers::FullSpeed, jitter};
    }

    // A full-speed bus that another device hogs, one transfer in `lateEvery`
    // (at least 1).
    static BusTiming noisy(unsigned lateEvery = kNoisyLateEvery,
                           std::chrono::microseconds jitter = kDefaultJitter) {
        return {Transfers::Noisy, jitter, lateEvery < 1 ? 1 : lateEvery};
    }

    // The frame of a full-speed bus.
    static constexpr std::chrono::milliseconds kFrame{1};
    // A host controller schedules a transfer somewhere in its frame.
    static constexpr std::chrono::microseconds kDefaultJitter{50};
    static constexpr unsigned kNoisyLateEvery = 4;
    static constexpr std::chrono::milliseconds kNoisyLateMin{3};
    static constexpr std::chrono::milliseconds kNoisyLateMax{40};
};

inline bool operator==(const BusTiming& a, const BusTiming& b) {
    return a.transfers == b.transfers && a.jitter == b.jitter && a.lateEvery == b.lateEvery;
}

} // namespace ftdisim

#endif
