#ifndef KALVERA_LIBFTDI_FTDICONTEXT_H
#define KALVERA_LIBFTDI_FTDICONTEXT_H

#include <ftdi.h>

#include <memory>

namespace kalvera::libftdi {

struct FtdiContextDeleter {
    // ftdi_free also releases and closes a device the context still has open.
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};

// One libftdi context with its own libusb context: one per open handle and
// one per enumeration, so that no two threads ever share one.
using FtdiContext = std::unique_ptr<ftdi_context, FtdiContextDeleter>;

// Why no context could be made.
enum class ContextFailure {
    None,
    NoUsb,      // this machine offers no USB bus to look at: there are no devices to find
    OutOfMemory // the failure is one of resources, and a retry may succeed
};

// How long one USB transfer to a chip may take before it fails, for reads
// and writes alike; libftdi's own 5,000 ms would hold a driver for 5 s on a
// chip that stopped answering. The SDK retries a failed write after 1 ms and
// gives the chip up 2 s after the first failure, and a stop 200 ms after it,
// so on such a chip a move ends within 2 s and a timeout, and a stop returns
// within a few timeouts. A working chip needs far less for its longest
// transfers: 2,048 bytes of step train leave the host as the chip clocks them
// out, at 125,000 bytes a second about 16 ms, and a write of the SDK's timing
// of the chip's clock at most 2,048 bytes at 31,250 bytes a second, about
// 66 ms, to which a busy bus may add milliseconds.
constexpr int kUsbTimeoutMs = 250;

// A new context with kUsbTimeoutMs for its transfers; on failure null, with
// the reason in `failure`.
FtdiContext newFtdiContext(ContextFailure& failure);

} // namespace kalvera::libftdi

#endif
