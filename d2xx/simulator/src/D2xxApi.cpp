// The D2XX functions of ftd2xx.h, on the simulated bus. Each call runs under
// the bus lock, is counted, and never dereferences a handle.
#include "LockedBus.h"

#include <ftdisim/Export.h>

#include <ftd2xx.h>

#include <algorithm>
#include <optional>

using ftdisim::D2xxFunction;
using ftdisim::lockBus;
using ftdisim::LockedBus;
using ftdisim::SimulatedDevice;

namespace {

template <typename Call>
FT_STATUS onDevice(D2xxFunction function, FT_HANDLE handle, Call call) {
    LockedBus bus = lockBus();
    bus->countCall(function);
    SimulatedDevice* device = bus->deviceFor(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    return call(*device);
}

// A control request or read, which reaches the chip when its USB transfer
// completes: a frame later on a full-speed bus.
template <typename Call>
FT_STATUS onDeviceAfterTransfer(D2xxFunction function, FT_HANDLE handle, Call call) {
    // The bus is locked for the look-up only: others use it meanwhile.
    const ftdisim::Clock::time_point due = lockBus()->transferCompletion(handle);
    ftdisim::waitForTransfer(due);
    return onDevice(function, handle, call);
}

} // namespace

extern "C" {

FTDISIM_EXPORT FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) {
    LockedBus bus = lockBus();
    bus->countCall(D2xxFunction::CreateDeviceInfoList);
    if (!numDevs) {
        return FT_INVALID_PARAMETER;
    }
    *numDevs = bus->buildDeviceList();
    return FT_OK;
}

FTDISIM_EXPORT FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs) {
    LockedBus bus = lockBus();
    bus->countCall(D2xxFunction::GetDeviceInfoList);
    // No destination is fine for no entries: a caller may size its array by
    // the count of an empty bus.
    if (!numDevs || (!dest && *numDevs > 0)) {
        return FT_INVALID_PARAMETER;
    }
    *numDevs = bus->copyDeviceList(dest, *numDevs);
    return FT_OK;
}

FTDISIM_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    LockedBus bus = lockBus();
    bus->countCall(D2xxFunction::Open);
    if (!handle) {
        return FT_INVALID_PARAMETER;
    }
    return bus->open(deviceNumber, handle);
}

FTDISIM_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return onDeviceAfterTransfer(D2xxFunction::SetBaudRate, handle, [&](SimulatedDevice& device) {
        return device.setBaudRate(baudRate);
    });
}

FTDISIM_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs) {
    return onDeviceAfterTransfer(
        D2xxFunction::SetLatencyTimer, handle,
        [&](SimulatedDevice& device) { return device.setLatencyTimer(timerMs); });
}

FTDISIM_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    return onDeviceAfterTransfer(D2xxFunction::SetBitMode, handle, [&](SimulatedDevice& device) {
        return device.setBitMode(mask, mode);
    });
}

FTDISIM_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return onDeviceAfterTransfer(D2xxFunction::Purge, handle,
                                 [&](SimulatedDevice& device) { return device.purge(mask); });
}

FTDISIM_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                  DWORD* bytesWritten) {
    ftdisim::Clock::time_point completion;
    const FT_STATUS status = onDevice(D2xxFunction::Write, handle, [&](SimulatedDevice& device) {
        const FT_STATUS result =
            device.write(static_cast<const UCHAR*>(buffer), bytesToWrite, bytesWritten);
        completion = device.writeCompletion();
        return result;
    });
    if (status == FT_OK) {
        ftdisim::waitForTransfer(completion);
    }
    return status;
}

FTDISIM_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                 DWORD* bytesReturned) {
    auto* bytes = static_cast<UCHAR*>(buffer);
    const ftdisim::Clock::time_point timeout =
        ftdisim::Clock::now() + SimulatedDevice::kReadTimeout;
    std::optional<ftdisim::Clock::time_point> restDue;
    const FT_STATUS status =
        onDeviceAfterTransfer(D2xxFunction::Read, handle, [&](SimulatedDevice& device) {
            return device.read(bytes, bytesToRead, bytesReturned, &restDue);
        });
    if (!restDue) {
        return status;
    }
    // A real FT_Read waits for the rest, until its timeout at the latest.
    ftdisim::waitForTransfer(std::min(*restDue, timeout));
    LockedBus bus = lockBus();
    if (SimulatedDevice* device = bus->deviceFor(handle)) {
        *bytesReturned += device->takeSamples(bytes + *bytesReturned, bytesToRead - *bytesReturned);
    }
    return FT_OK;
}

FTDISIM_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    LockedBus bus = lockBus();
    bus->countCall(D2xxFunction::Close);
    return bus->close(handle);
}

} // extern "C"
