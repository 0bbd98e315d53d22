#include "DeviceInfo.h"

#include "InterfaceDriver.h"

#include <libusb.h>

namespace kalvera::libftdi {

namespace {

// The D2XX library's FT_DEVICE values.
enum D2xxDeviceType : ULONG {
    FT_DEVICE_BM = 0,
    FT_DEVICE_AM = 1,
    FT_DEVICE_UNKNOWN = 3,
    FT_DEVICE_2232C = 4,
    FT_DEVICE_232R = 5,
    FT_DEVICE_2232H = 6,
    FT_DEVICE_4232H = 7,
    FT_DEVICE_232H = 8,
    FT_DEVICE_X_SERIES = 9
};

// FTDI chips tell their family by bcdDevice. An AM's release number is
// also found on BM chips without a serial number, which libftdi treats as BM.
ULONG deviceType(const libusb_device_descriptor& descriptor) {
    switch (descriptor.bcdDevice) {
    case 0x200:
        return descriptor.iSerialNumber == 0 ? FT_DEVICE_BM : FT_DEVICE_AM;
    case 0x400:
        return FT_DEVICE_BM;
    case 0x500:
        return FT_DEVICE_2232C;
    case 0x600:
        return FT_DEVICE_232R;
    case 0x700:
        return FT_DEVICE_2232H;
    case 0x800:
        return FT_DEVICE_4232H;
    case 0x900:
        return FT_DEVICE_232H;
    case 0x1000:
        return FT_DEVICE_X_SERIES;
    default:
        return FT_DEVICE_UNKNOWN;
    }
}

} // namespace

FT_DEVICE_LIST_INFO_NODE describeDevice(ftdi_context* context, libusb_device* device,
                                        const std::string& location) {
    FT_DEVICE_LIST_INFO_NODE node{};
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS) {
        node.Type = deviceType(descriptor);
        node.ID = (ULONG{descriptor.idVendor} << 16) | descriptor.idProduct;
    } else {
        node.Type = FT_DEVICE_UNKNOWN;
    }
    node.LocId = (DWORD{libusb_get_bus_number(device)} << 8) | libusb_get_device_address(device);
    if (libusb_get_device_speed(device) >= LIBUSB_SPEED_HIGH) {
        node.Flags |= FT_FLAGS_HISPEED;
    }
    if (isClaimedByAProgram(kSysfsUsbDevices, location)) {
        node.Flags |= FT_FLAGS_OPENED;
    }
    // One string per call: libftdi gives up at the first string that fails,
    // and a device without a serial number still has a product string.
    if (ftdi_usb_get_strings(context, device, nullptr, 0, node.Description, sizeof node.Description,
                             nullptr, 0) < 0) {
        node.Description[0] = '\0';
    }
    if (ftdi_usb_get_strings(context, device, nullptr, 0, nullptr, 0, node.SerialNumber,
                             sizeof node.SerialNumber) < 0) {
        node.SerialNumber[0] = '\0';
    }
    return node;
}

} // namespace kalvera::libftdi
