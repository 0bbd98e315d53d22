#ifndef LXUSBROUNDTRIP_H
#define LXUSBROUNDTRIP_H

#include <optional>

class LxFTDIController;

// The USB round trip to an open chip, timed with reads of its pins.
namespace LxUsbRoundTrip {

// How many reads are timed: enough for a median that one late wake-up of the
// thread does not move.
inline constexpr int READS = 5;

// The median in milliseconds of READS pin reads of `driver`'s open chip (a
// purge of its receive buffer and a one-byte read each, which drive no pin);
// none when a read fails. Only while no rotation of the driver runs.
std::optional<double> medianMilliseconds(LxFTDIController& driver);

} // namespace LxUsbRoundTrip

#endif
