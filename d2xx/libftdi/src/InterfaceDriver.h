#ifndef KALVERA_LIBFTDI_INTERFACEDRIVER_H
#define KALVERA_LIBFTDI_INTERFACEDRIVER_H

#include <string>

namespace kalvera::libftdi {

// Where the kernel lists USB devices and their interfaces.
inline const char* const kSysfsUsbDevices = "/sys/bus/usb/devices";

// The kernel driver bound to the first interface of the device at `location`
// ("1-4.2") in the active configuration, as sysfs under `sysfsUsbDevices`
// shows it: "ftdi_sio" for the serial driver, "usbfs" while a program has
// claimed the interface (libftdi, libusb, the D2XX library), empty when no
// driver is bound or sysfs cannot tell. It only reads, so unlike a trial
// claim it never disturbs the program that holds the device.
std::string firstInterfaceDriver(const std::string& sysfsUsbDevices, const std::string& location);

// Whether another program (or another handle of this one) has claimed the
// device, as far as sysfs can tell: the D2XX "already open" flag.
inline bool isClaimedByAProgram(const std::string& sysfsUsbDevices, const std::string& location) {
    return firstInterfaceDriver(sysfsUsbDevices, location) == "usbfs";
}

} // namespace kalvera::libftdi

#endif
