#ifndef FTDISIM_DEVICEDESCRIPTION_H
#define FTDISIM_DEVICEDESCRIPTION_H

#include <string>

namespace ftdisim {

// Stable id of an attached device. Unlike the D2XX list index it does not
// shift when other devices are unplugged, and it is never reused.
using DeviceId = int;

// How a device presents itself in the D2XX device list.
struct DeviceDescription {
    // The SDK looks for "245R" in it. Longer than 63 characters is cut short.
    std::string description = "FT245R USB FIFO";
    // Empty: the bus numbers it, "KT000001" for the first device attached
    // since the bus was last emptied, and so on. Longer than 15 is cut short.
    std::string serialNumber;
    // Open in another process: listed as opened, and FT_Open fails with
    // FT_DEVICE_NOT_OPENED.
    bool openedElsewhere = false;
    // The user lacks the permission to open it (no udev rule): listed with an
    // empty description and serial number, and FT_Open fails with
    // FT_DEVICE_NOT_OPENED; on the USB path libusb_open fails with
    // LIBUSB_ERROR_ACCESS.
    bool userMayNotOpen = false;
};

} // namespace ftdisim

#endif
