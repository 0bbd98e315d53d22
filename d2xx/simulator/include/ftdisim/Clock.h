#ifndef FTDISIM_CLOCK_H
#define FTDISIM_CLOCK_H

#include <chrono>

namespace ftdisim {

// Monotonic, so that trace timestamps and pin-model times never go backwards.
using Clock = std::chrono::steady_clock;

} // namespace ftdisim

#endif
