#ifndef KALVERA_LIBFTDI_DEVICEINFO_H
#define KALVERA_LIBFTDI_DEVICEINFO_H

#include <ftd2xx.h>
#include <ftdi.h>

#include <string>

namespace kalvera::libftdi {

// The device-list entry of one device, as the D2XX library would fill it:
// - Flags: FT_FLAGS_OPENED when sysfs shows a program's claim on its first
//   interface (see InterfaceDriver.h), FT_FLAGS_HISPEED on a high-speed bus;
// - Type: the D2XX chip type, told by the device's release number;
// - ID: vendor id in the upper, product id in the lower 16 bits;
// - LocId: bus number times 256 plus the device address;
// - SerialNumber, Description: the USB serial number and product strings,
//   empty where the device has none or cannot be opened to read them (no
//   permission: see packaging/udev/);
// - ftHandle: null; the caller fills in this process's own handles.
// `context` must have no device open; it is only borrowed for the strings.
FT_DEVICE_LIST_INFO_NODE describeDevice(ftdi_context* context, libusb_device* device,
                                        const std::string& location);

} // namespace kalvera::libftdi

#endif
