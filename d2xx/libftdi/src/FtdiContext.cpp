#include "FtdiContext.h"

#include <libusb.h>

namespace kalvera::libftdi {

FtdiContext newFtdiContext(ContextFailure& failure) {
    FtdiContext context(ftdi_new());
    if (context) {
        context->usb_read_timeout = kUsbTimeoutMs;
        context->usb_write_timeout = kUsbTimeoutMs;
        failure = ContextFailure::None;
        return context;
    }
    // ftdi_new reports a failed allocation and a failed libusb_init alike; a
    // libusb context of our own tells them apart.
    libusb_context* usb = nullptr;
    const int status = libusb_init(&usb);
    if (status == LIBUSB_SUCCESS) {
        libusb_exit(usb);
        failure = ContextFailure::OutOfMemory;
    } else {
        failure =
            status == LIBUSB_ERROR_NO_MEM ? ContextFailure::OutOfMemory : ContextFailure::NoUsb;
    }
    return nullptr;
}

} // namespace kalvera::libftdi
