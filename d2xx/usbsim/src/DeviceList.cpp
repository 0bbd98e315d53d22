// The simulated bus's devices as libusb lists them, with a place on the bus
// derived from the DeviceId alone, so that a device keeps its place (and our
// backend's location for it) from one enumeration to the next.
#include "UsbObjects.h"

#include <vector>

namespace {

// A bus number no real machine hands out, so that nothing looking the
// location up in sysfs (our backend does) finds a real device there.
constexpr std::uint8_t kBusNumber = 240;
// Ports 1 to 255 on each of three hub tiers. The path has a fixed length so
// that ordering the devices by path, as our backend does, orders them by id,
// which is the D2XX index order.
constexpr int kPortDepth = 3;
constexpr int kPortsPerHub = 255;
constexpr int kMaxAddress = 127;

int idOffset(const libusb_device* device) {
    return device->id - 1;
}

} // namespace

USBSIM_EXPORT ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    const std::vector<ftdisim::DeviceId> ids = ftdisim::UsbPort::pluggedDevices();
    auto** devices = new libusb_device*[ids.size() + 1];
    for (std::size_t i = 0; i < ids.size(); ++i) {
        devices[i] = new libusb_device(ids[i]);
    }
    devices[ids.size()] = nullptr;
    *list = devices;
    return static_cast<ssize_t>(ids.size());
}

USBSIM_EXPORT libusb_device* libusb_ref_device(libusb_device* device) {
    device->references.fetch_add(1, std::memory_order_relaxed);
    return device;
}

USBSIM_EXPORT void libusb_unref_device(libusb_device* device) {
    if (device && device->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete device;
    }
}

USBSIM_EXPORT void libusb_free_device_list(libusb_device** list, int unrefDevices) {
    if (!list) {
        return;
    }
    if (unrefDevices) {
        for (libusb_device** device = list; *device; ++device) {
            libusb_unref_device(*device);
        }
    }
    delete[] list;
}

USBSIM_EXPORT uint8_t libusb_get_bus_number(libusb_device*) {
    return kBusNumber;
}

USBSIM_EXPORT int libusb_get_port_numbers(libusb_device* device, uint8_t* ports, int capacity) {
    if (capacity < kPortDepth) {
        return LIBUSB_ERROR_OVERFLOW;
    }
    int rest = idOffset(device);
    for (int tier = kPortDepth - 1; tier >= 0; --tier) {
        ports[tier] = static_cast<uint8_t>(1 + rest % kPortsPerHub);
        rest /= kPortsPerHub;
    }
    return kPortDepth;
}

USBSIM_EXPORT uint8_t libusb_get_device_address(libusb_device* device) {
    return static_cast<uint8_t>(1 + idOffset(device) % kMaxAddress);
}

USBSIM_EXPORT int libusb_get_device_speed(libusb_device*) {
    return LIBUSB_SPEED_FULL;
}
