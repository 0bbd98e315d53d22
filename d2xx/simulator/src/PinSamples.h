#ifndef FTDISIM_PINSAMPLES_H
#define FTDISIM_PINSAMPLES_H

#include <ftdisim/Clock.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace ftdisim {

// What an FT245R in asynchronous bit-bang mode sends the host: a sample of
// its pins at every tick of the byte clock, from the moment the mode is on,
// queued for the host until its transmit buffer is full; then it takes no
// more until the host has read some. Samples are taken lazily, when the
// device settles, with the times they were due at, so that each sees the
// pins as they were then.
class PinSamples {
public:
    // The chip's transmit buffer, which holds what goes to the host (the
    // datasheet names its buffers from the USB side).
    static constexpr std::size_t kBufferBytes = 256;

    // Samples are taken every `period` from `time` on.
    void start(Clock::time_point time, Clock::duration period);
    // No more samples; those queued stay for the host.
    void stop() { next_.reset(); }
    bool sampling() const { return next_.has_value(); }
    // From the next sample on.
    void setPeriod(Clock::duration period) { period_ = period; }
    // What is queued is lost, as FT_Purge of the receive side loses it; the
    // next sample is taken at `time`.
    void purge(Clock::time_point time);

    // Takes every sample due by `until`, strictly before it when `before`,
    // each from `levelsAt(time)`.
    template <typename LevelsAt>
    void sampleUntil(Clock::time_point until, bool before, LevelsAt levelsAt) {
        while (next_ && (before ? *next_ < until : *next_ <= until)) {
            if (queued_.size() >= kBufferBytes) {
                // Full: the next sample waits for room, which a read makes
                // no earlier than now.
                next_ = until;
                return;
            }
            queued_.push_back(levelsAt(*next_));
            *next_ += period_;
        }
    }

    // Moves up to `count` samples, oldest first, to `destination`; how many.
    std::size_t take(std::uint8_t* destination, std::size_t count);
    // When `count` more samples will have been taken, if the chip samples.
    std::optional<Clock::time_point> timeOfSample(std::size_t count) const;

private:
    std::deque<std::uint8_t> queued_;
    std::optional<Clock::time_point> next_;
    Clock::duration period_{};
};

} // namespace ftdisim

#endif
