#ifndef FTDISIM_LOCKEDBUS_H
#define FTDISIM_LOCKEDBUS_H

#include "BusState.h"

#include <mutex>

namespace ftdisim {

// Exclusive access to the process-wide bus for one D2XX or control call.
// One lock for the whole bus keeps every call atomic and the trace in call
// order; calls are short, so threads hardly wait.
class LockedBus {
public:
    LockedBus(std::mutex& mutex, BusState& state)
        : lock_(mutex)
        , state_(state) {}

    BusState* operator->() const { return &state_; }

private:
    std::lock_guard<std::mutex> lock_;
    BusState& state_;
};

LockedBus lockBus();

// Holds a caller until its USB transfer completes at `completion`, sleeping
// with the bus free, as a real FT_Write or control request blocks until its
// transfer is done. The pins take what the chip clocked out meanwhile at the
// next call on the device, off the caller's way back: a driver that keeps a
// chip's clocked output fed must not be held up by the simulation.
void waitForTransfer(Clock::time_point completion);

} // namespace ftdisim

#endif
