#ifndef FTDISIM_TRACE_H
#define FTDISIM_TRACE_H

#include <ftdisim/Clock.h>

#include <ftd2xx.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ftdisim {

// One pin-level event of a device, in call order. A call that transfers
// several bytes gives one event per byte; a failing transfer gives one event.
struct TraceEvent {
    enum class Kind : std::uint8_t { Write, Read, SetBitMode, Purge };

    Kind kind = Kind::Write;
    // Taken under the bus lock, so timestamps follow trace order: inside the
    // call, or for a byte written while the bus times its writes
    // (Bus::setTiming), when the chip clocked it onto the pins.
    Clock::time_point time;
    // Write: the byte written. Read: the byte returned (0 when the read
    // failed). SetBitMode: the direction mask. Purge: the purge mask.
    std::uint8_t value = 0;
    // SetBitMode: the mode; 0 for the other kinds.
    std::uint8_t mode = 0;
    FT_STATUS status = FT_OK;
    // Write: whether the output pins took the byte. Not for the other kinds.
    bool applied = false;
    // Write: whether the byte came in the same call as the write before it,
    // as a chip clocks out a block of bytes one after the other.
    bool continued = false;
};

// The recorded events of a device. A trace is bounded; once full, newer events
// are counted in `dropped` instead, so a checker can tell it is incomplete.
struct Trace {
    std::vector<TraceEvent> events;
    std::size_t dropped = 0;
};

} // namespace ftdisim

#endif
