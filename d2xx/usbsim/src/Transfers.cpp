// Synchronous transfers: vendor control requests and the bulk endpoints.
// Asynchronous transfers are not offered (libftdi's *_submit functions and
// streaming read): allocation yields none and submitting fails with
// LIBUSB_ERROR_NOT_SUPPORTED.
#include "BulkOut.h"
#include "UsbObjects.h"
#include "VendorRequests.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

using kalvera::usbsim::libusbCode;

namespace {

constexpr unsigned char kBulkIn = 0x81;
constexpr unsigned char kBulkOut = 0x02;

// What a wait without limit (a timeout of 0) comes to, and the most any
// timeout waits: a caller that waits this long sees a hang by any measure,
// and a test with a fault left set still ends.
constexpr std::chrono::milliseconds kLongestWait{10000};

// A transfer that timed out has held its caller for its whole timeout, as
// libusb's does: whoever chose the timeout chose how long a chip that stopped
// answering holds them.
int afterTimeout(int result, unsigned int timeoutMs) {
    if (result == LIBUSB_ERROR_TIMEOUT) {
        const std::chrono::milliseconds timeout(timeoutMs);
        std::this_thread::sleep_for(timeoutMs == 0 ? kLongestWait
                                                   : std::min(timeout, kLongestWait));
    }
    return result;
}

} // namespace

// Vendor requests only; the standard requests (descriptors) are answered by
// the descriptor functions and give LIBUSB_ERROR_NOT_SUPPORTED here.
USBSIM_EXPORT int libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType,
                                          uint8_t request, uint16_t value, uint16_t index,
                                          unsigned char* data, uint16_t length,
                                          unsigned int timeoutMs) {
    if (!handle) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    if ((requestType & (0x03 << 5)) != LIBUSB_REQUEST_TYPE_VENDOR) {
        return LIBUSB_ERROR_NOT_SUPPORTED;
    }
    const bool deviceToHost = (requestType & LIBUSB_ENDPOINT_IN) != 0;
    return afterTimeout(
        kalvera::usbsim::answerVendorRequest(handle->device->id,
                                             {deviceToHost, request, value, index, data, length}),
        timeoutMs);
}

USBSIM_EXPORT int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                       unsigned char* data, int length, int* transferred,
                                       unsigned int timeoutMs) {
    if (!handle || length < 0 || (length > 0 && !data)) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    int moved = 0;
    int status = LIBUSB_ERROR_NOT_FOUND;
    if (endpoint == kBulkOut) {
        status = kalvera::usbsim::bulkOut(handle->device->id, data, length, moved);
    } else if (endpoint == kBulkIn) {
        status = kalvera::usbsim::answerBulkIn(handle->device->id, data, length, moved);
    }
    if (transferred) {
        *transferred = moved;
    }
    return afterTimeout(status, timeoutMs);
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
