#ifndef FTDISIM_PINMODEL_H
#define FTDISIM_PINMODEL_H

#include <ftdisim/Clock.h>
#include <ftdisim/Export.h>

#include <cstdint>

namespace ftdisim {

// What sits behind a device's pins: a turntable, a camera, a test's recorder.
//
// The bus calls a model under its lock, in call order, with the timestamp of
// the trace event that caused the call. So a model must not call back into the
// Bus (not even from its destructor): that deadlocks. It must not throw. If a
// test reads a model's state from another thread, the model guards that state
// with a mutex of its own, taken for nothing but that state.
class FTDISIM_EXPORT PinModel {
public:
    virtual ~PinModel();

    // The chip's bit mode was set; also called once when the model is
    // attached, so it starts from the chip's state. In bit-bang mode the pins
    // in `mask` are outputs; in any other mode no pin is driven. `levels` are
    // the levels on the pins: the outputs' and, on the undriven pins, what
    // the bus's ResetPins setting gives them. A model chooses its behaviour
    // here.
    virtual void bitModeChanged(std::uint8_t mask, std::uint8_t mode, std::uint8_t levels,
                                Clock::time_point time);

    // A write reached the pins: the pins are at `levels` from `time` on, the
    // outputs (the pins in `outputMask`) at the written byte's. Called for
    // each byte, changed or not.
    virtual void outputsWritten(std::uint8_t levels, std::uint8_t outputMask,
                                Clock::time_point time);

    // The levels the model drives at `time`; the bus uses those of the pins
    // that are not outputs. Called for each sample the chip takes of its pins
    // (at every tick of its byte clock in bit-bang mode, until its buffer is
    // full) and for each read-pins request, with times that never go back.
    virtual std::uint8_t inputLevels(Clock::time_point time);
};

} // namespace ftdisim

#endif
