#include "BaudRate.h"

#include <climits>

namespace kalvera::libftdi {

int libftdiBaudRate(ULONG baudRate, bool bitbangEnabled) {
    const ULONG rate = bitbangEnabled ? (baudRate + 2) / 4 : baudRate;
    // libftdi takes an int, and multiplies it by 4 in bit-bang mode.
    const ULONG limit = bitbangEnabled ? INT_MAX / 4 : INT_MAX;
    return rate == 0 || rate > limit ? 0 : static_cast<int>(rate);
}

} // namespace kalvera::libftdi
