#ifndef FTDISIM_RESETPINS_H
#define FTDISIM_RESETPINS_H

namespace ftdisim {

// What the chip's data pins show while it drives none of them: in reset mode
// (FT_SetBitMode mode 0), before any bit mode is set, and on the pins outside
// the bit-bang mask. What is wired to them sees these levels.
enum class ResetPins {
    // The FT245R's internal pull-ups to VCCIO take every pin high.
    PulledUp,
    // External pull-downs stronger than the chip's pull-ups take them low.
    PulledDown,
    // Each pin keeps the level it last had, as on a bus with keepers; low
    // until the chip first drives it.
    Held,
};

} // namespace ftdisim

#endif
