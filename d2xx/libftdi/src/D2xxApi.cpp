// The D2XX functions of ftd2xx.h over libftdi1. Each function's comment gives
// how libftdi's results become D2XX statuses. Every call on a handle first
// looks the handle up among the live ones (HandleRegistry), so a null,
// closed or foreign handle gets FT_INVALID_HANDLE and is never dereferenced.
#include "DeviceInfo.h"
#include "FtdiContext.h"
#include "FtdiDeviceList.h"
#include "OpenDevice.h"

#include <DeviceListSnapshot.h>
#include <HandleRegistry.h>
#include <ftd2xx.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#define KALVERA_D2XX_EXPORT __attribute__((visibility("default")))

using kalvera::d2xx::HandleRegistry;
using kalvera::libftdi::ContextFailure;
using kalvera::libftdi::describeDevice;
using kalvera::libftdi::FtdiContext;
using kalvera::libftdi::FtdiDeviceList;
using kalvera::libftdi::newFtdiContext;
using kalvera::libftdi::OpenDevice;

namespace {

HandleRegistry<OpenDevice>& openDevices() {
    static HandleRegistry<OpenDevice> registry;
    return registry;
}

kalvera::d2xx::DeviceListSnapshot& snapshot() {
    static kalvera::d2xx::DeviceListSnapshot list;
    return list;
}

FT_HANDLE handleAt(const std::string& location) {
    return openDevices().findHandle(
        [&location](const OpenDevice& device) { return device.location() == location; });
}

// ftdi_usb_open_dev's failures. -4 (libusb_open failed: no permission, see
// packaging/udev/), -5 (the interface cannot be claimed: another program or
// handle holds it), -8 (no permission to detach the kernel driver) and -11
// (the kernel driver cannot be detached) all leave a device that is there but
// cannot be had; so does -3 (its configuration cannot be set, which happens
// while another program uses it). The rest are transfers that failed on the
// way: -6 reset, -7 baud rate, -9 device and -10 configuration descriptor,
// -12 reading the configuration.
FT_STATUS openFailureStatus(int result) {
    switch (result) {
    case -6:
    case -7:
    case -9:
    case -10:
    case -12:
        return FT_IO_ERROR;
    default:
        return FT_DEVICE_NOT_OPENED;
    }
}

template <typename Call>
FT_STATUS onDevice(FT_HANDLE handle, Call call) {
    const std::shared_ptr<OpenDevice> device = openDevices().find(handle);
    return device ? call(*device) : FT_STATUS{FT_INVALID_HANDLE};
}

} // namespace

extern "C" {

// Enumerates the FTDI devices and keeps the list for FT_GetDeviceInfoList.
// FT_OK with the count, 0 where this machine has no USB bus at all;
// FT_INVALID_PARAMETER for a null count; FT_INSUFFICIENT_RESOURCES when
// libftdi or libusb runs out of memory; FT_IO_ERROR when libusb cannot list
// the bus or read a device descriptor. After a failure the kept list is empty.
KALVERA_D2XX_EXPORT FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) {
    return snapshot().rebuild(numDevs, [](std::vector<FT_DEVICE_LIST_INFO_NODE>& nodes) {
        ContextFailure failure = ContextFailure::None;
        const FtdiContext context = newFtdiContext(failure);
        if (!context) {
            return failure == ContextFailure::NoUsb ? FT_STATUS{FT_OK}
                                                    : FT_STATUS{FT_INSUFFICIENT_RESOURCES};
        }
        FtdiDeviceList devices;
        const FT_STATUS status = devices.find(context.get());
        if (status != FT_OK) {
            return status;
        }
        nodes.reserve(devices.size());
        for (std::size_t i = 0; i < devices.size(); ++i) {
            FT_DEVICE_LIST_INFO_NODE node =
                describeDevice(context.get(), devices.device(i), devices.location(i));
            node.ftHandle = handleAt(devices.location(i));
            if (node.ftHandle) {
                node.Flags |= FT_FLAGS_OPENED;
            }
            nodes.push_back(node);
        }
        return FT_STATUS{FT_OK};
    });
}

// Copies at most *numDevs entries of the kept list and stores how many it
// copied; no list kept yet copies none. FT_OK; FT_INVALID_PARAMETER for a null
// count, or a null destination for a count above 0. No libftdi call.
KALVERA_D2XX_EXPORT FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs) {
    return snapshot().copyTo(dest, numDevs);
}

// Opens the device at index deviceNumber of a fresh enumeration (the same
// order as FT_CreateDeviceInfoList's). libftdi detaches the ftdi_sio kernel
// driver on the way. *handle is null unless FT_OK. Statuses:
// - FT_INVALID_PARAMETER: null handle address;
// - FT_DEVICE_NOT_FOUND: negative index, no device at the index, or no USB
//   bus on this machine;
// - FT_DEVICE_NOT_OPENED: this process has the device open already, or
//   ftdi_usb_open_dev returns -3, -4, -5, -8, -11 or an unknown code (held by
//   another program or driver, or no permission);
// - FT_IO_ERROR: enumeration failed (as in FT_CreateDeviceInfoList), or
//   ftdi_usb_open_dev returns -6, -7, -9, -10 or -12;
// - FT_INSUFFICIENT_RESOURCES: out of memory.
KALVERA_D2XX_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (!handle) {
        return FT_INVALID_PARAMETER;
    }
    *handle = nullptr;
    if (deviceNumber < 0) {
        return FT_DEVICE_NOT_FOUND;
    }
    ContextFailure failure = ContextFailure::None;
    FtdiContext context = newFtdiContext(failure);
    if (!context) {
        return failure == ContextFailure::NoUsb ? FT_DEVICE_NOT_FOUND : FT_INSUFFICIENT_RESOURCES;
    }
    std::string location;
    {
        // The list holds the libusb device until libftdi has opened it.
        FtdiDeviceList devices;
        const FT_STATUS status = devices.find(context.get());
        if (status != FT_OK) {
            return status;
        }
        const auto index = static_cast<std::size_t>(deviceNumber);
        if (index >= devices.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        location = devices.location(index);
        // A second claim from this process would fail anyway, but only after
        // libftdi had tried to detach a driver from a device in use.
        if (handleAt(location)) {
            return FT_DEVICE_NOT_OPENED;
        }
        const int result = ftdi_usb_open_dev(context.get(), devices.device(index));
        if (result != 0) {
            return openFailureStatus(result);
        }
    }
    *handle =
        openDevices().add(std::make_shared<OpenDevice>(std::move(context), std::move(location)));
    return FT_OK;
}

// ftdi_set_baudrate with the rate BaudRate.h derives, so that the chip gets
// the divisor the D2XX library would give it. FT_OK; FT_INVALID_HANDLE;
// FT_INVALID_BAUD_RATE for 0, a rate beyond libftdi's int, or libftdi's -1
// (no divisor within 5 % of the rate); FT_IO_ERROR for -2 (transfer failed)
// and -3 (device gone).
KALVERA_D2XX_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return onDevice(handle, [&](OpenDevice& device) { return device.setBaudRate(baudRate); });
}

// ftdi_set_latency_timer. FT_OK; FT_INVALID_HANDLE; FT_INVALID_PARAMETER below
// 2 ms (the D2XX range is 2 to 255); FT_IO_ERROR for -2 (transfer failed) and
// -3 (device gone).
KALVERA_D2XX_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs) {
    return onDevice(handle, [&](OpenDevice& device) { return device.setLatencyTimer(timerMs); });
}

// ftdi_set_bitmode for FT_BITMODE_RESET and FT_BITMODE_ASYNC_BITBANG. FT_OK;
// FT_INVALID_HANDLE; FT_INVALID_PARAMETER for any other mode; FT_IO_ERROR for
// -1 (transfer failed) and -2 (device gone).
KALVERA_D2XX_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    return onDevice(handle, [&](OpenDevice& device) { return device.setBitMode(mask, mode); });
}

// FT_PURGE_RX: ftdi_tciflush; FT_PURGE_TX: ftdi_tcoflush (receive first).
// FT_OK, also for a mask of 0; FT_INVALID_HANDLE; FT_INVALID_PARAMETER for
// other mask bits; FT_IO_ERROR for -1 (transfer failed) and -2 (device gone).
KALVERA_D2XX_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return onDevice(handle, [&](OpenDevice& device) { return device.purge(mask); });
}

// libusb bulk transfers on libftdi's device handle, chunked as
// ftdi_write_data chunks them (BulkWrite.h). *bytesWritten counts the bytes
// the chip acknowledged, also when a transfer failed part way, so that a
// caller resends from the first byte that did not go out. Statuses:
// - FT_OK: every byte written;
// - FT_INVALID_HANDLE;
// - FT_INVALID_PARAMETER: a null count, or a null buffer with bytes to write
//   (nothing is written);
// - FT_IO_ERROR: a transfer failed, stalled, timed out (after the backend's
//   USB timeout, FtdiContext.h) or moved nothing, or the device is gone; what
//   went out before is counted.
KALVERA_D2XX_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                       DWORD* bytesWritten) {
    return onDevice(handle, [&](OpenDevice& device) {
        if (!bytesWritten || (!buffer && bytesToWrite > 0)) {
            return FT_STATUS{FT_INVALID_PARAMETER};
        }
        *bytesWritten = 0;
        return device.write(static_cast<const unsigned char*>(buffer), bytesToWrite, bytesWritten);
    });
}

// One ftdi_read_pins per byte: in bit-bang mode each byte holds the pins'
// levels at the time of the call. *bytesReturned counts the bytes read, also
// after a failure. FT_OK; FT_INVALID_HANDLE; FT_INVALID_PARAMETER for a null
// count or a null buffer with bytes to read; FT_NOT_SUPPORTED outside bit-bang
// mode (no serial reception); FT_IO_ERROR for -1 (transfer failed) and -2
// (device gone).
KALVERA_D2XX_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                      DWORD* bytesReturned) {
    return onDevice(handle, [&](OpenDevice& device) {
        if (!bytesReturned || (!buffer && bytesToRead > 0)) {
            return FT_STATUS{FT_INVALID_PARAMETER};
        }
        *bytesReturned = 0;
        return device.read(static_cast<unsigned char*>(buffer), bytesToRead, bytesReturned);
    });
}

// ftdi_usb_close, which releases the interface; the kernel driver stays
// detached. The handle is dead afterwards whatever the status. FT_OK;
// FT_INVALID_HANDLE for a handle that is not live; FT_IO_ERROR when releasing
// the interface failed (as it does after the device was unplugged).
KALVERA_D2XX_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    const std::shared_ptr<OpenDevice> device = openDevices().remove(handle);
    return device ? device->close() : FT_STATUS{FT_INVALID_HANDLE};
}

} // extern "C"
