#ifndef KALVERA_LIBFTDI_BAUDRATE_H
#define KALVERA_LIBFTDI_BAUDRATE_H

#include <ftd2xx.h>

namespace kalvera::libftdi {

// The rate to hand to ftdi_set_baudrate so that the chip gets the divisor the
// D2XX library programs for `baudRate`; 0 when libftdi cannot take it.
//
// The divisor paces the pins in bit-bang mode, and the D2XX library computes
// it from the rate as given in every mode. libftdi multiplies the rate by 4
// while bit-bang mode is on, so there it gets a quarter of the rate (rounded
// to the nearest) and programs the same divisor; otherwise it gets the rate
// unchanged. The drivers set 1000000 before they enter bit-bang mode, which
// reaches libftdi as 1000000; the same call in bit-bang mode would pass 250000.
int libftdiBaudRate(ULONG baudRate, bool bitbangEnabled);

} // namespace kalvera::libftdi

#endif
