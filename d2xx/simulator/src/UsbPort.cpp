#include <ftdisim/UsbPort.h>

#include "LockedBus.h"

namespace ftdisim {

namespace {

UsbResult resultOf(UsbFault::Kind kind) {
    switch (kind) {
    case UsbFault::Kind::Stall:
        return UsbResult::Stall;
    case UsbFault::Kind::Timeout:
        return UsbResult::Timeout;
    case UsbFault::Kind::TransferError:
    case UsbFault::Kind::PartialTransfer: // cut into packets by the stand-in instead
    case UsbFault::Kind::LostAcknowledgement:
        break;
    }
    return UsbResult::TransferError;
}

UsbResult resultOf(FT_STATUS status) {
    switch (status) {
    case FT_OK:
        return UsbResult::Done;
    case FT_IO_ERROR:
        return UsbResult::TransferError;
    default:
        return UsbResult::Stall;
    }
}

// A call on the chip: an unplugged device still counts it, as the D2XX
// functions count calls on unplugged devices.
template <typename Call>
UsbResult onChip(DeviceId id, Call call) {
    LockedBus bus = lockBus();
    SimulatedDevice* device = bus->findDevice(id);
    if (!device) {
        return UsbResult::NoDevice;
    }
    if (!device->plugged()) {
        call(*device);
        return UsbResult::NoDevice;
    }
    return call(*device);
}

// A transfer other than a bulk OUT: counted against the UsbFault first.
template <typename Call>
UsbResult transfer(DeviceId id, Call call) {
    return onChip(id, [&](SimulatedDevice& device) {
        const std::optional<UsbFault> fault =
            device.plugged() ? device.nextUsbTransfer(false) : std::nullopt;
        return fault ? resultOf(fault->kind) : call(device);
    });
}

// A control request, which acts on the chip when its transfer completes: a
// frame later on a full-speed bus.
template <typename Call>
UsbResult controlTransfer(DeviceId id, Call call) {
    // The bus is locked for the look-up only: others use it meanwhile.
    const Clock::time_point due = lockBus()->transferCompletion(id);
    waitForTransfer(due);
    return transfer(id, call);
}

// A transfer whose D2XX counterpart moves `expected` bytes: moving none
// with FT_OK is the injected short transfer, which USB shows as a timeout.
UsbResult movedResult(FT_STATUS status, DWORD moved, DWORD expected) {
    if (status == FT_OK && moved < expected) {
        return UsbResult::Timeout;
    }
    return resultOf(status);
}

} // namespace

std::vector<DeviceId> UsbPort::pluggedDevices() {
    return lockBus()->pluggedDevices();
}

UsbResult UsbPort::strings(DeviceId id, std::string& product, std::string& serialNumber) {
    LockedBus bus = lockBus();
    const SimulatedDevice* device = bus->findDevice(id);
    if (!device || !device->plugged()) {
        return UsbResult::NoDevice;
    }
    product = device->description().description;
    serialNumber = device->description().serialNumber;
    return UsbResult::Done;
}

bool UsbPort::plugged(DeviceId id) {
    LockedBus bus = lockBus();
    const SimulatedDevice* device = bus->findDevice(id);
    return device && device->plugged();
}

UsbResult UsbPort::open(DeviceId id) {
    LockedBus bus = lockBus();
    const SimulatedDevice* device = bus->findDevice(id);
    if (!device || !device->plugged()) {
        return UsbResult::NoDevice;
    }
    return device->userMayOpen() ? UsbResult::Done : UsbResult::AccessDenied;
}

UsbResult UsbPort::claim(DeviceId id) {
    LockedBus bus = lockBus();
    SimulatedDevice* device = bus->findDevice(id);
    if (!device || !device->plugged()) {
        return UsbResult::NoDevice;
    }
    const std::optional<FT_STATUS> failure = bus->takeOpenFailure();
    if (failure && *failure != FT_IO_ERROR) {
        return UsbResult::AccessDenied;
    }
    if (!bus->openForUsb(id)) {
        return device->userMayOpen() ? UsbResult::Busy : UsbResult::AccessDenied;
    }
    if (failure) {
        device->failNextReset();
    }
    return UsbResult::Done;
}

UsbResult UsbPort::release(DeviceId id) {
    LockedBus bus = lockBus();
    if (!bus->findDevice(id)) {
        return UsbResult::NoDevice;
    }
    const FT_STATUS status = bus->closeForUsb(id);
    return status == FT_OK ? UsbResult::Done : UsbResult::NoDevice;
}

UsbResult UsbPort::resetChip(DeviceId id) {
    return transfer(id, [](SimulatedDevice& device) {
        return device.takeResetFailure() ? UsbResult::TransferError : UsbResult::Done;
    });
}

UsbResult UsbPort::purge(DeviceId id, ULONG mask) {
    return controlTransfer(id,
                           [&](SimulatedDevice& device) { return resultOf(device.purge(mask)); });
}

UsbResult UsbPort::setBaudRate(DeviceId id, ULONG baudRate) {
    return controlTransfer(
        id, [&](SimulatedDevice& device) { return resultOf(device.setBaudRate(baudRate)); });
}

UsbResult UsbPort::setLatencyTimer(DeviceId id, UCHAR milliseconds) {
    return controlTransfer(id, [&](SimulatedDevice& device) {
        return resultOf(device.setLatencyTimer(milliseconds));
    });
}

UsbResult UsbPort::latencyTimer(DeviceId id, UCHAR& milliseconds) {
    return transfer(id, [&](SimulatedDevice& device) {
        milliseconds = device.stats().latencyTimerMs;
        return UsbResult::Done;
    });
}

UsbResult UsbPort::setBitMode(DeviceId id, UCHAR mask, UCHAR mode) {
    return controlTransfer(
        id, [&](SimulatedDevice& device) { return resultOf(device.setBitMode(mask, mode)); });
}

UsbResult UsbPort::readPins(DeviceId id, UCHAR& levels) {
    return controlTransfer(id, [&](SimulatedDevice& device) {
        DWORD returned = 0;
        const FT_STATUS status = device.readPins(&levels, &returned);
        return movedResult(status, returned, 1);
    });
}

UsbResult UsbPort::beginBulkOut(DeviceId id, std::optional<UsbFault>& packetFault) {
    packetFault.reset();
    LockedBus bus = lockBus();
    SimulatedDevice* device = bus->findDevice(id);
    if (!device) {
        return UsbResult::NoDevice;
    }
    if (!device->plugged()) {
        return UsbResult::Done;
    }
    const std::optional<UsbFault> fault = device->nextUsbTransfer(true);
    if (fault && fault->cutsPackets()) {
        packetFault = fault;
    } else if (fault) {
        return resultOf(fault->kind);
    }
    return UsbResult::Done;
}

UsbResult UsbPort::write(DeviceId id, const UCHAR* bytes, DWORD count, DWORD& written) {
    written = 0;
    Clock::time_point completion;
    const UsbResult result = onChip(id, [&](SimulatedDevice& device) {
        const FT_STATUS status = device.write(bytes, count, &written);
        completion = device.writeCompletion();
        return movedResult(status, written, count);
    });
    if (result == UsbResult::Done) {
        waitForTransfer(completion);
    }
    return result;
}

UsbResult UsbPort::readSamples(DeviceId id, UCHAR* bytes, DWORD count, DWORD& moved) {
    moved = 0;
    return transfer(id, [&](SimulatedDevice& device) {
        moved = device.takeSamples(bytes, count);
        return UsbResult::Done;
    });
}

UsbResult UsbPort::exchange(DeviceId id) {
    return transfer(id, [](SimulatedDevice&) { return UsbResult::Done; });
}

} // namespace ftdisim
