// Synchronous transfers: vendor control requests and the bulk endpoints.
// Asynchronous transfers are not offered (libftdi's *_submit functions and
// streaming read): allocation yields none and submitting fails with
// LIBUSB_ERROR_NOT_SUPPORTED. A timeout is reported at once, without waiting.
#include "UsbObjects.h"
#include "VendorRequests.h"

#include <algorithm>
#include <cstring>

using kalvera::usbsim::libusbCode;

namespace {

constexpr unsigned char kBulkIn = 0x81;
constexpr unsigned char kBulkOut = 0x02;

} // namespace

// Vendor requests only; the standard requests (descriptors) are answered by
// the descriptor functions and give LIBUSB_ERROR_NOT_SUPPORTED here.
USBSIM_EXPORT int libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType,
                                          uint8_t request, uint16_t value, uint16_t index,
                                          unsigned char* data, uint16_t length, unsigned int) {
    if (!handle) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    if ((requestType & (0x03 << 5)) != LIBUSB_REQUEST_TYPE_VENDOR) {
        return LIBUSB_ERROR_NOT_SUPPORTED;
    }
    const bool deviceToHost = (requestType & LIBUSB_ENDPOINT_IN) != 0;
    return kalvera::usbsim::answerVendorRequest(
        handle->device->id, {deviceToHost, request, value, index, data, length});
}

USBSIM_EXPORT int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                       unsigned char* data, int length, int* transferred,
                                       unsigned int) {
    if (!handle || length < 0 || (length > 0 && !data)) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    int moved = 0;
    int status = LIBUSB_ERROR_NOT_FOUND;
    if (endpoint == kBulkOut) {
        DWORD written = 0;
        status = libusbCode(
            ftdisim::UsbPort::write(handle->device->id, data, static_cast<DWORD>(length), written));
        moved = static_cast<int>(written);
    } else if (endpoint == kBulkIn) {
        status = kalvera::usbsim::answerBulkIn(handle->device->id, data, length, moved);
    }
    if (transferred) {
        *transferred = moved;
    }
    return status;
}

USBSIM_EXPORT libusb_transfer* libusb_alloc_transfer(int) {
    return nullptr;
}

USBSIM_EXPORT void libusb_free_transfer(libusb_transfer*) {}

USBSIM_EXPORT int libusb_submit_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

USBSIM_EXPORT int libusb_cancel_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
