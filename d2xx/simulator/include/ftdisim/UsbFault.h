#ifndef FTDISIM_USBFAULT_H
#define FTDISIM_USBFAULT_H

namespace ftdisim {

// A failure on the USB wire, which only the USB-level path (the libusb
// stand-in) sees. Opening and claiming are not transfers.
//
// The kinds that fail whole transfers act on every bulk and vendor control
// transfer to the device: the request never reaches the chip, so the
// device's counts, pins and trace stay as they are.
//
// The kinds that cut into a transfer's 64-byte data packets act on bulk OUT
// transfers (writes) only, and only those count towards their count and
// period. Packets are numbered from 0 in each transfer; the ones before
// packet `packets` go through as they would without the fault.
struct UsbFault {
    enum class Kind {
        TransferError, // LIBUSB_ERROR_IO
        Stall,         // LIBUSB_ERROR_PIPE
        Timeout,       // LIBUSB_ERROR_TIMEOUT after the transfer's timeout, nothing transferred
        // The transfer breaks off before packet `packets`: the packets before
        // it reach the chip, and the transfer fails at once with
        // LIBUSB_ERROR_IO and those packets' bytes as transferred (all of a
        // transfer that has no more packets).
        PartialTransfer,
        // The chip takes packet `packets` too, but its acknowledgement is
        // lost: the transfer fails at once with LIBUSB_ERROR_IO and only the
        // bytes of the packets before it as transferred. The chip's data
        // toggle has moved on and the host's has not, so the chip takes the
        // first packet of the next bulk OUT transfer for a retry of that
        // packet: it acknowledges it and drops its bytes (USB 2.0, 8.6).
        LostAcknowledgement,
    };
    Kind kind = Kind::TransferError;
    // How many transfers fail before the fault clears itself; -1 = until cleared.
    int count = -1;
    // Every period-th transfer fails (1 = each one), counted from the moment
    // the fault is set.
    int period = 1;
    // PartialTransfer, LostAcknowledgement: the packet the fault strikes, 0
    // or more. Ignored by the other kinds.
    int packets = 0;

    // Whether the fault cuts into the data packets of bulk OUT transfers
    // rather than failing whole transfers.
    bool cutsPackets() const {
        return kind == Kind::PartialTransfer || kind == Kind::LostAcknowledgement;
    }
};

} // namespace ftdisim

#endif
