#ifndef FTDISIM_USBPORT_H
#define FTDISIM_USBPORT_H

#include <ftdisim/DeviceDescription.h>
#include <ftdisim/Export.h>
#include <ftdisim/UsbFault.h>

#include <ftd2xx.h>

#include <optional>
#include <string>
#include <vector>

namespace ftdisim {

// What a USB request to a simulated device came to; the libusb stand-in gives
// each its libusb code.
enum class UsbResult {
    Done,
    NoDevice,      // unplugged, or gone with Bus::reset()
    AccessDenied,  // the user may not open the device
    Busy,          // open elsewhere, in this process or another
    TransferError, // the wire or the chip failed the transfer
    Stall,         // the chip refuses the request
    Timeout,       // nothing moved before the timeout
};

// The simulated devices as the libusb stand-in (d2xx/usbsim) sees them: the
// same devices, state and faults as the D2XX functions and Bus. Not meant for
// tests, which drive the bus through Bus. Each call runs under the bus lock.
// An id the bus does not know gives NoDevice.
//
// Transfers (every call from resetChip() on, but write(), which
// beginBulkOut() counts) first count against the device's UsbFault, then act
// on the chip as the D2XX call of the same name does; a D2XX transfer fault
// with FT_IO_ERROR gives TransferError, one with FT_OK (nothing moved)
// Timeout, any other failing status Stall.
class FTDISIM_EXPORT UsbPort {
public:
    // The plugged devices, in D2XX index order.
    static std::vector<DeviceId> pluggedDevices();
    // Done with the device's product string and serial number.
    static UsbResult strings(DeviceId id, std::string& product, std::string& serialNumber);
    static bool plugged(DeviceId id);
    // Whether the user may open the device: Done, NoDevice or AccessDenied.
    static UsbResult open(DeviceId id);
    // Takes the device as an FT_Open would, open failures included: a status
    // set with Bus::failNextOpen()/failEveryOpen() is used up here. FT_IO_ERROR
    // lets the claim succeed and fails the next resetChip() instead, the step
    // a real chip's I/O failure shows at; any other status gives AccessDenied.
    // Busy when the device is open elsewhere.
    static UsbResult claim(DeviceId id);
    // Gives back what claim() took; NoDevice once unplugged.
    static UsbResult release(DeviceId id);

    static UsbResult resetChip(DeviceId id);
    static UsbResult purge(DeviceId id, ULONG mask);
    static UsbResult setBaudRate(DeviceId id, ULONG baudRate);
    static UsbResult setLatencyTimer(DeviceId id, UCHAR milliseconds);
    static UsbResult latencyTimer(DeviceId id, UCHAR& milliseconds);
    static UsbResult setBitMode(DeviceId id, UCHAR mask, UCHAR mode);
    // The pins' levels when the request reaches the chip (the read-pins
    // request), with the read faults of a one-byte FT_Read.
    static UsbResult readPins(DeviceId id, UCHAR& levels);
    // What a bulk IN carries after its status bytes: up to `count` of the
    // samples the chip queued in bit-bang mode, oldest first, in `bytes`;
    // `moved` says how many (none outside bit-bang mode). Never waits.
    static UsbResult readSamples(DeviceId id, UCHAR* bytes, DWORD count, DWORD& moved);
    // Counts a bulk OUT transfer against the device's UsbFault. A fault that
    // fails whole transfers fails it here, and nothing reaches the chip; one
    // that cuts packets (UsbFault::cutsPackets()) is handed back in
    // `packetFault` with Done, for the caller, who splits the transfer into
    // packets, to apply. Done without a fault for an unplugged device, which
    // write() then fails, counting the call.
    static UsbResult beginBulkOut(DeviceId id, std::optional<UsbFault>& packetFault);
    // What of a bulk OUT transfer reaches the chip, as one FT_Write, after
    // beginBulkOut(); `written` is 0 unless Done.
    static UsbResult write(DeviceId id, const UCHAR* bytes, DWORD count, DWORD& written);
    // A transfer that changes nothing on the simulated chip (modem and flow
    // control, line settings, the modem status).
    static UsbResult exchange(DeviceId id);
};

} // namespace ftdisim

#endif
