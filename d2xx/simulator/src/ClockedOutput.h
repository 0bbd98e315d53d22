#ifndef FTDISIM_CLOCKEDOUTPUT_H
#define FTDISIM_CLOCKEDOUTPUT_H

#include <ftdisim/Clock.h>

#include <ftd2xx.h>

#include <cstddef>
#include <cstdint>
#include <deque>

namespace ftdisim {

// The FT245R's path from its USB buffer to the pins in asynchronous bit-bang
// mode: bytes wait in the chip's 128-byte buffer and the baud-rate generator
// clocks them onto the pins one per tick. Bytes are given their clock-out
// times when they arrive, since nothing but a purge changes them afterwards;
// the device hands each to the pins once its time has come.
class ClockedOutput {
public:
    // The chip's receive buffer, which takes what the host writes (the
    // datasheet names its buffers from the USB side).
    static constexpr std::size_t kBufferBytes = 128;

    struct Byte {
        Clock::time_point time;
        std::uint8_t value = 0;
        // Not the first byte of its write.
        bool continued = false;
    };

    // The time between two bytes on the pins: one tick of the bit-bang clock,
    // which runs at `factor` times the baud rate of the divisor the chip
    // derives from `baudRate`.
    static Clock::duration bytePeriod(ULONG baudRate, unsigned factor);

    // Queues bytes that reach the chip at `arrival`; the time the last of them
    // entered the buffer, which is when a write of them can complete.
    Clock::time_point push(const std::uint8_t* bytes, std::size_t count, Clock::time_point arrival,
                           Clock::duration period);

    // Removes and calls `take(byte)` for every byte clocked out by `now`, in
    // order.
    template <typename Take>
    void popDue(Clock::time_point now, Take take) {
        while (!queued_.empty() && queued_.front().time <= now) {
            const Byte byte = queued_.front();
            queued_.pop_front();
            take(byte);
        }
    }

    // What is still in the buffer is lost, as FT_Purge of the transmit side
    // loses it; the next byte goes out when it arrives.
    void purge() {
        queued_.clear();
        lastOut_ = {};
    }
    bool empty() const { return queued_.empty(); }

private:
    std::deque<Byte> queued_;
    // The clock-out time of the latest byte, queued or gone.
    Clock::time_point lastOut_{};
};

} // namespace ftdisim

#endif
