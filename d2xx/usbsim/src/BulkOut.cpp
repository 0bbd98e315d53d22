#include "BulkOut.h"

#include "DataToggles.h"
#include "UsbObjects.h"

#include <algorithm>
#include <optional>

namespace kalvera::usbsim {

namespace {

using ftdisim::UsbFault;
using ftdisim::UsbPort;
using ftdisim::UsbResult;

// What the packets of one transfer came to. The chip takes a run of them:
// only the first can be a retry it drops, since the toggles agree after it.
struct PacketOutcome {
    int firstTaken = 0; // the bytes before it were dropped
    int takenEnd = 0;
    int acknowledged = 0;
};

bool strikes(const std::optional<UsbFault>& fault, UsbFault::Kind kind, int packet) {
    return fault && fault->kind == kind && fault->packets == packet;
}

PacketOutcome sendPackets(DataToggles& toggles, int length, const std::optional<UsbFault>& fault) {
    PacketOutcome outcome;
    for (int packet = 0; packet * kPacketSize < length; ++packet) {
        const int end = std::min(length, (packet + 1) * kPacketSize);
        if (strikes(fault, UsbFault::Kind::PartialTransfer, packet)) {
            break;
        }
        if (toggles.device == toggles.host) {
            toggles.device = !toggles.device;
        } else {
            outcome.firstTaken = end;
        }
        outcome.takenEnd = end;
        if (strikes(fault, UsbFault::Kind::LostAcknowledgement, packet)) {
            break;
        }
        toggles.host = !toggles.host;
        outcome.acknowledged = end;
    }
    return outcome;
}

} // namespace

int bulkOut(ftdisim::DeviceId device, const unsigned char* data, int length, int& acknowledged) {
    acknowledged = 0;
    std::optional<UsbFault> fault;
    const UsbResult begun = UsbPort::beginBulkOut(device, fault);
    if (begun != UsbResult::Done) {
        return libusbCode(begun);
    }
    DataToggles toggles = dataToggles(device);
    const PacketOutcome outcome = sendPackets(toggles, length, fault);
    UsbResult result = UsbResult::Done;
    if (outcome.takenEnd > outcome.firstTaken) {
        DWORD written = 0;
        result = UsbPort::write(device, data + outcome.firstTaken,
                                static_cast<DWORD>(outcome.takenEnd - outcome.firstTaken), written);
    } else if (!UsbPort::plugged(device)) {
        result = UsbResult::NoDevice;
    }
    // A chip that refused the bytes acknowledged none of the packets.
    if (result != UsbResult::Done) {
        return libusbCode(result);
    }
    storeDataToggles(device, toggles);
    acknowledged = outcome.acknowledged;
    // A fault fails the transfer it hits even when the transfer ends before
    // the packet it strikes.
    return fault ? LIBUSB_ERROR_IO : LIBUSB_SUCCESS;
}

} // namespace kalvera::usbsim
