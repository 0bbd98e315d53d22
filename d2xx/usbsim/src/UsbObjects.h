#ifndef KALVERA_USBSIM_USBOBJECTS_H
#define KALVERA_USBSIM_USBOBJECTS_H

#include <ftdisim/DeviceDescription.h>
#include <ftdisim/UsbPort.h>

#include <libusb-1.0/libusb.h>

#include <atomic>
#include <mutex>

// The stand-in replaces libusb-1.0 by name, so its C functions are what it
// exports; everything else stays hidden.
#define USBSIM_EXPORT extern "C" __attribute__((visibility("default")))

// libusb's opaque types, as the stand-in fills them.
struct libusb_context {};

// One simulated FT245R as a libusb device. Each device list makes its own
// objects; they live while referenced (by lists, libftdi and open handles).
struct libusb_device {
    explicit libusb_device(ftdisim::DeviceId id)
        : id(id) {}

    const ftdisim::DeviceId id;
    std::atomic<int> references{1};
};

struct libusb_device_handle {
    explicit libusb_device_handle(libusb_device* device)
        : device(device) {}

    libusb_device* const device;
    std::mutex mutex;
    bool claimed = false; // under mutex
};

namespace kalvera::usbsim {

// The bulk endpoints' largest packet, as full speed allows it.
constexpr int kPacketSize = 64;

inline int libusbCode(ftdisim::UsbResult result) {
    switch (result) {
    case ftdisim::UsbResult::Done:
        return LIBUSB_SUCCESS;
    case ftdisim::UsbResult::NoDevice:
        return LIBUSB_ERROR_NO_DEVICE;
    case ftdisim::UsbResult::AccessDenied:
        return LIBUSB_ERROR_ACCESS;
    case ftdisim::UsbResult::Busy:
        return LIBUSB_ERROR_BUSY;
    case ftdisim::UsbResult::TransferError:
        return LIBUSB_ERROR_IO;
    case ftdisim::UsbResult::Stall:
        return LIBUSB_ERROR_PIPE;
    case ftdisim::UsbResult::Timeout:
        return LIBUSB_ERROR_TIMEOUT;
    }
    return LIBUSB_ERROR_OTHER;
}

} // namespace kalvera::usbsim

#endif
