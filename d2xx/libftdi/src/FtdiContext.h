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

// A new context; on failure null, with the reason in `failure`.
FtdiContext newFtdiContext(ContextFailure& failure);

} // namespace kalvera::libftdi

#endif
