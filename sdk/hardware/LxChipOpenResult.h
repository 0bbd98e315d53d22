#ifndef LXCHIPOPENRESULT_H
#define LXCHIPOPENRESULT_H

// How an open of the turntable's chip ended: opened, refused by the SDK
// itself before any D2XX call reached the chip, or failed in a D2XX call.
// The drivers report it; the controller words it for the host.
struct LxChipOpenResult {
    enum class Outcome {
        Opened,
        // No device index to open: the search found no chip.
        NoDeviceFound,
        // Another chip, or none, is listed where the search found the
        // turntable's: nothing was sent to it.
        ChipChanged,
        // A D2XX call of the open failed with `status`.
        UsbFailure
    };

    static LxChipOpenResult opened() { return {Outcome::Opened, 0}; }
    static LxChipOpenResult refused(Outcome outcome) { return {outcome, 0}; }
    static LxChipOpenResult usbFailure(unsigned long status) {
        return {Outcome::UsbFailure, status};
    }

    explicit operator bool() const { return outcome == Outcome::Opened; }

    Outcome outcome;
    // The FT_STATUS of the D2XX call that failed; FT_OK (0) for the others.
    unsigned long status;
};

#endif
