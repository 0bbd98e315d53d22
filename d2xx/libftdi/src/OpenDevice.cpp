#include "OpenDevice.h"

#include "BaudRate.h"
#include "BulkWrite.h"

namespace kalvera::libftdi {

namespace {

// libftdi results of the set-up calls: 0 on success; -1 a value the chip
// cannot take; below that the control transfer failed or the device is gone.
FT_STATUS setupStatus(int result, FT_STATUS invalidValue) {
    if (result == 0) {
        return FT_OK;
    }
    return result == -1 ? invalidValue : FT_STATUS{FT_IO_ERROR};
}

} // namespace

OpenDevice::OpenDevice(FtdiContext context, std::string location)
    : context(std::move(context))
    , location_(std::move(location)) {}

FT_STATUS OpenDevice::setBaudRate(ULONG baudRate) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    const int rate = libftdiBaudRate(baudRate, context->bitbang_enabled != 0);
    if (rate == 0) {
        return FT_INVALID_BAUD_RATE;
    }
    return setupStatus(ftdi_set_baudrate(context.get(), rate), FT_INVALID_BAUD_RATE);
}

FT_STATUS OpenDevice::setLatencyTimer(UCHAR milliseconds) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    // The D2XX range; libftdi would take 1 as well.
    if (milliseconds < 2) {
        return FT_INVALID_PARAMETER;
    }
    return setupStatus(ftdi_set_latency_timer(context.get(), milliseconds), FT_INVALID_PARAMETER);
}

FT_STATUS OpenDevice::setBitMode(UCHAR mask, UCHAR mode) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    if (mode != FT_BITMODE_RESET && mode != FT_BITMODE_ASYNC_BITBANG) {
        return FT_INVALID_PARAMETER;
    }
    // Both D2XX modes have libftdi's numbers (BITMODE_RESET, BITMODE_BITBANG).
    return setupStatus(ftdi_set_bitmode(context.get(), mask, mode), FT_IO_ERROR);
}

FT_STATUS OpenDevice::purge(ULONG mask) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    if (mask & ~ULONG{FT_PURGE_RX | FT_PURGE_TX}) {
        return FT_INVALID_PARAMETER;
    }
    // tciflush drops what the chip has received for us, tcoflush what waits
    // to be sent: unlike the older purge calls, named the way D2XX means them.
    if ((mask & FT_PURGE_RX) && ftdi_tciflush(context.get()) != 0) {
        return FT_IO_ERROR;
    }
    if ((mask & FT_PURGE_TX) && ftdi_tcoflush(context.get()) != 0) {
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS OpenDevice::write(const unsigned char* bytes, DWORD count, DWORD* written) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    return writeBulk(*context, bytes, count, *written);
}

FT_STATUS OpenDevice::read(unsigned char* bytes, DWORD count, DWORD* read) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    // Serial reception is not offered: bytes read outside bit-bang mode would
    // be pin levels posing as received data.
    if (!context->bitbang_enabled) {
        return FT_NOT_SUPPORTED;
    }
    // Each byte is one sample of the pins' present levels. Reading the
    // chip's stream of samples instead would hand out levels as old as its
    // buffer and latency timer make them.
    for (DWORD i = 0; i < count; ++i) {
        if (ftdi_read_pins(context.get(), &bytes[i]) != 0) {
            return FT_IO_ERROR;
        }
        *read = i + 1;
    }
    return FT_OK;
}

FT_STATUS OpenDevice::close() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        return FT_INVALID_HANDLE;
    }
    const int result = ftdi_usb_close(context.get());
    context.reset();
    return result == 0 ? FT_OK : FT_IO_ERROR;
}

} // namespace kalvera::libftdi
