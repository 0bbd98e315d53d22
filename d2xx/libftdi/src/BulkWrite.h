#ifndef KALVERA_LIBFTDI_BULKWRITE_H
#define KALVERA_LIBFTDI_BULKWRITE_H

#include <ftd2xx.h>
#include <ftdi.h>

namespace kalvera::libftdi {

// Writes `count` bytes to the open device as ftdi_write_data does (libusb bulk
// transfers to the endpoint libftdi writes to, in chunks of its
// writebuffer_chunksize, each with its write timeout), but keeps libusb's
// count of what went out when a transfer fails part way: ftdi_write_data drops
// it, and a caller that resends from its first byte then sends those bytes
// twice. `written` receives the bytes the chip acknowledged, also on failure.
// FT_OK once all are written; FT_IO_ERROR when a transfer fails (an I/O
// error, a stall, a timeout, the device gone) or moves nothing.
FT_STATUS writeBulk(ftdi_context& context, const unsigned char* bytes, DWORD count, DWORD& written);

} // namespace kalvera::libftdi

#endif
