#ifndef FTDISIM_USBFAULT_H
#define FTDISIM_USBFAULT_H

namespace ftdisim {

// A failure on the USB wire, which only the USB-level path (the libusb
// stand-in) sees: the request never reaches the chip, so the device's counts,
// pins and trace stay as they are. It acts on every bulk and vendor control
// transfer to the device; opening and claiming are not transfers.
struct UsbFault {
    enum class Kind {
        TransferError, // LIBUSB_ERROR_IO
        Stall,         // LIBUSB_ERROR_PIPE
        Timeout,       // LIBUSB_ERROR_TIMEOUT, nothing transferred
    };
    Kind kind = Kind::TransferError;
    // How many transfers fail before the fault clears itself; -1 = until cleared.
    int count = -1;
    // Every period-th transfer fails (1 = each one), counted from the moment
    // the fault is set.
    int period = 1;
};

} // namespace ftdisim

#endif
