#ifndef FTDISIM_DCCHUNK_H
#define FTDISIM_DCCHUNK_H

#include <ftdisim/Clock.h>
#include <ftdisim/Export.h>

#include <cstdint>
#include <optional>

namespace ftdisim {

// One run of a DC table, from the start pulse to the count mark it stopped at.
struct FTDISIM_EXPORT DcChunk {
    Clock::time_point start;
    // Unknown while a continuous chunk turns. While a counted chunk turns, the
    // stop planned so far: a load can still move it.
    std::optional<Clock::time_point> end;
    // From start to end; 0 while the end is unknown.
    unsigned counts = 0;
    // The continuous line was high at the start pulse.
    bool continuous = false;
    // The counter at the start pulse.
    std::uint8_t nibble = 0;
    Clock::duration timePerCount{};

    bool turningAt(Clock::time_point at) const;
    // The count marks passed by `at`.
    unsigned countsTurnedBy(Clock::time_point at) const;
};

} // namespace ftdisim

#endif
