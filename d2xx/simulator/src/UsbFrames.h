#ifndef FTDISIM_USBFRAMES_H
#define FTDISIM_USBFRAMES_H

#include <ftdisim/BusTiming.h>
#include <ftdisim/Clock.h>

#include <random>

namespace ftdisim {

// When a write handed to the host controller at a given time completes. A
// full-speed bus runs in 1 ms frames, and a bulk transfer queued during a
// frame goes out in a later one, whenever the controller gets to it.
class UsbFrames {
public:
    void setTiming(const BusTiming& timing) { timing_ = timing; }
    const BusTiming& timing() const { return timing_; }

    // Ideal: `call` itself. Full speed: strictly after the frame boundary that
    // follows `call`, never before it, plus up to the jitter. Noisy: now and
    // then some milliseconds later still.
    Clock::time_point completion(Clock::time_point call);

private:
    BusTiming timing_;
    // Seeded alike in every run, so that a benchmark's jitter is the same.
    std::minstd_rand random_;
};

} // namespace ftdisim

#endif
