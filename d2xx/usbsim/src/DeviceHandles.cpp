// Opening a device and taking its one interface. libusb_open succeeds on a
// device in use, as on a real bus; only claiming the interface finds it busy.
#include "DataToggles.h"
#include "UsbObjects.h"

#include <cerrno>

using kalvera::usbsim::libusbCode;

namespace {

constexpr int kInterface = 0;
constexpr int kConfiguration = 1;

} // namespace

USBSIM_EXPORT int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    const ftdisim::UsbResult result = ftdisim::UsbPort::open(device->id);
    if (result != ftdisim::UsbResult::Done) {
        return libusbCode(result);
    }
    *handle = new libusb_device_handle(libusb_ref_device(device));
    return LIBUSB_SUCCESS;
}

// Closing gives back a claimed interface, as the kernel does when libusb
// closes the device file: libftdi closes without releasing after a failed open.
USBSIM_EXPORT void libusb_close(libusb_device_handle* handle) {
    if (!handle) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(handle->mutex);
        if (handle->claimed) {
            ftdisim::UsbPort::release(handle->device->id);
        }
    }
    libusb_unref_device(handle->device);
    delete handle;
}

USBSIM_EXPORT int libusb_claim_interface(libusb_device_handle* handle, int interface) {
    if (interface != kInterface) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (handle->claimed) {
        return LIBUSB_SUCCESS;
    }
    const ftdisim::UsbResult result = ftdisim::UsbPort::claim(handle->device->id);
    handle->claimed = result == ftdisim::UsbResult::Done;
    return libusbCode(result);
}

USBSIM_EXPORT int libusb_release_interface(libusb_device_handle* handle, int interface) {
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (interface != kInterface || !handle->claimed) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    handle->claimed = false;
    return libusbCode(ftdisim::UsbPort::release(handle->device->id));
}

// The chip stays in its one configuration.
USBSIM_EXPORT int libusb_get_configuration(libusb_device_handle* handle, int* configuration) {
    if (!ftdisim::UsbPort::plugged(handle->device->id)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    *configuration = kConfiguration;
    return LIBUSB_SUCCESS;
}

// Setting the configuration puts the data toggles back to DATA0 at both ends
// (USB 2.0, 9.1.1.5), even the one the chip is in.
USBSIM_EXPORT int libusb_set_configuration(libusb_device_handle* handle, int configuration) {
    if (configuration != kConfiguration && configuration != -1) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    if (!ftdisim::UsbPort::plugged(handle->device->id)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    kalvera::usbsim::resetDataToggles(handle->device->id);
    return LIBUSB_SUCCESS;
}

// No kernel driver is bound to a simulated chip: nothing to detach. libftdi
// keeps errno of a failed detach to explain a failed claim later, so it gets
// what the kernel leaves there (ENODATA), not whatever an earlier call left.
USBSIM_EXPORT int libusb_detach_kernel_driver(libusb_device_handle* handle, int) {
    if (!ftdisim::UsbPort::plugged(handle->device->id)) {
        errno = ENODEV;
        return LIBUSB_ERROR_NO_DEVICE;
    }
    errno = ENODATA;
    return LIBUSB_ERROR_NOT_FOUND;
}

USBSIM_EXPORT int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) {
    return LIBUSB_SUCCESS;
}
