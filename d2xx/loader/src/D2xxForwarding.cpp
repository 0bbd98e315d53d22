// The D2XX functions the SDK calls: a search or an open goes to the chosen
// backend, everything else to the backend that opened the handle.
#include "LoaderHandles.h"

#include <DeviceListSnapshot.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using d2xxloader::BackendLibrary;
using d2xxloader::OpenDevice;

// The reason for a failure is not the D2XX caller's to read: the SDK asks
// load() for it when it tells the user.
const BackendLibrary* chosenLibrary() {
    std::string failure;
    return d2xxloader::chosenLibrary(&failure);
}

template <typename Call>
FT_STATUS onItsBackend(FT_HANDLE handle, Call call) {
    // Shared: a close on another thread meanwhile leaves the backend to refuse
    // its own handle.
    const std::shared_ptr<OpenDevice> device = d2xxloader::openDevices().find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    return call(*device->library, device->handle);
}

// A D2XX library fills in as many entries as its own last enumeration found,
// whatever the caller's array holds: so the loader takes the backend's whole
// list right after building it, both under the snapshot's lock (the backend's
// two calls call nothing back), and hands out copies cut to each caller's
// array.
kalvera::d2xx::DeviceListSnapshot& snapshot() {
    static kalvera::d2xx::DeviceListSnapshot list;
    return list;
}

} // namespace

FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) {
    const BackendLibrary* library = chosenLibrary();
    return snapshot().rebuild(numDevs, [library](std::vector<FT_DEVICE_LIST_INFO_NODE>& nodes) {
        if (!library) {
            return FT_STATUS{FT_OTHER_ERROR};
        }
        DWORD count = 0;
        FT_STATUS status = library->createDeviceInfoList(&count);
        if (status != FT_OK || count == 0) {
            return status;
        }
        nodes.resize(count);
        DWORD copied = count;
        status = library->getDeviceInfoList(nodes.data(), &copied);
        nodes.resize(std::min(copied, count));
        // The backend's handles mean nothing to the loader's clients.
        for (FT_DEVICE_LIST_INFO_NODE& node : nodes) {
            if (const FT_HANDLE opened = node.ftHandle) {
                node.ftHandle = d2xxloader::openDevices().findHandle([&](const OpenDevice& device) {
                    return device.library == library && device.handle == opened;
                });
            }
        }
        return status;
    });
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs) {
    return snapshot().copyTo(dest, numDevs);
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (!handle) {
        return FT_INVALID_PARAMETER;
    }
    *handle = nullptr;
    const BackendLibrary* library = chosenLibrary();
    if (!library) {
        return FT_DEVICE_NOT_FOUND;
    }
    FT_HANDLE opened = nullptr;
    const FT_STATUS status = library->open(deviceNumber, &opened);
    if (status != FT_OK) {
        return status;
    }
    *handle =
        d2xxloader::openDevices().add(std::make_shared<OpenDevice>(OpenDevice{library, opened}));
    return FT_OK;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.setBaudRate(opened, baudRate);
    });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.setLatencyTimer(opened, timerMs);
    });
}

FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.setBitMode(opened, mask, mode);
    });
}

FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.purge(opened, mask);
    });
}

FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.write(opened, buffer, bytesToWrite, bytesWritten);
    });
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned) {
    return onItsBackend(handle, [=](const BackendLibrary& library, FT_HANDLE opened) {
        return library.read(opened, buffer, bytesToRead, bytesReturned);
    });
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    const std::shared_ptr<OpenDevice> device = d2xxloader::openDevices().remove(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    return device->library->close(device->handle);
}
