#ifndef FTDISIM_BUS_H
#define FTDISIM_BUS_H

#include <ftdisim/BusTiming.h>
#include <ftdisim/D2xxFunction.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/DeviceStats.h>
#include <ftdisim/Export.h>
#include <ftdisim/PinModel.h>
#include <ftdisim/ResetPins.h>
#include <ftdisim/Trace.h>
#include <ftdisim/TransferFault.h>
#include <ftdisim/UsbFault.h>

#include <ftd2xx.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ftdisim {

class TurntableRig;

// The simulated USB bus behind the D2XX functions: one per process, shared by
// the SDK and the tests. Every member is thread-safe and may be called while
// other threads are inside D2XX calls. A DeviceId that the bus does not know
// (for instance one from before reset()) throws std::out_of_range.
class FTDISIM_EXPORT Bus {
public:
    static Bus& instance();

    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    // Back to the start state: the devices of FTDISIM_DEVICES, or one unopened
    // FT245R, each with a new TurntableRig; FTDISIM_OPEN_STATUS, or no open
    // failure; FTDISIM_USB_TIMING, or the ideal bus; FTDISIM_BYTE_CLOCK_FACTOR,
    // or 16 bytes per baud period; FTDISIM_RESET_PINS, or pins pulled up; no
    // other fault or trace;
    // counts zero. Handles of earlier opens become invalid.
    void reset();
    // No devices at all. Handles of earlier opens become invalid.
    void clear();

    // Appended to the device list: list order is D2XX index order. The device
    // gets a TurntableRig of its own.
    DeviceId attach(const DeviceDescription& description = {});
    // Gone from the list. A handle still open on it fails every call with
    // FT_IO_ERROR; FT_Close fails too but releases the handle. Its trace and
    // stats stay readable.
    void unplug(DeviceId device);
    // The plugged devices, in D2XX index order.
    std::vector<DeviceId> devices() const;
    void setOpenedElsewhere(DeviceId device, bool opened);

    // The next FT_Open returns `status`, whatever index it asks for, and opens
    // nothing. Throws std::invalid_argument for FT_OK.
    void failNextOpen(FT_STATUS status);
    // Every FT_Open returns `status` until cleared with std::nullopt.
    void failEveryOpen(std::optional<FT_STATUS> status);
    // Every call of `function` on the device (SetBaudRate, SetLatencyTimer,
    // SetBitMode or Purge) returns `status` and changes nothing, until cleared
    // with std::nullopt. Throws std::invalid_argument for another function or
    // for FT_OK.
    void setSetUpFault(DeviceId device, D2xxFunction function, std::optional<FT_STATUS> status);
    // std::nullopt clears the fault. Throws std::invalid_argument for a count
    // of 0 or below -1, or a period below 1.
    void setWriteFault(DeviceId device, std::optional<TransferFault> fault);
    void setReadFault(DeviceId device, std::optional<TransferFault> fault);
    // A fault on the USB wire, seen by the libusb stand-in's path only (the
    // D2XX functions of this library ignore it). Same rules and exceptions as
    // the transfer faults; also std::invalid_argument for a fault that cuts
    // packets at a packet below 0.
    void setUsbFault(DeviceId device, std::optional<UsbFault> fault);

    // What the outside drives on the input pins while no pin model is attached:
    // detach the device's rig first with setPinModel(device, nullptr).
    void setInputLevels(DeviceId device, std::uint8_t levels);
    // Replaces the device's pin model; nullptr detaches it.
    void setPinModel(DeviceId device, std::shared_ptr<PinModel> model);
    // The device's pin model if it is a TurntableRig, as the bus attaches one
    // to each device; nullptr once setPinModel replaced it by another model.
    // Bytes still in the chip's buffer reach the model at the next call on
    // the device, of the D2XX functions or of rig(), outputLevels(), trace()
    // or stats(): call one of them before reading a model that the chip may
    // still be clocking bytes into.
    std::shared_ptr<TurntableRig> rig(DeviceId device) const;
    // How long transfers take on every device, now and attached later, until
    // reset() restores FTDISIM_USB_TIMING's or the ideal bus. A write under
    // way keeps the timing it started with.
    void setTiming(const BusTiming& timing);
    BusTiming timing() const;

    // AN232R-01 gives the bit-bang byte clock as 16 times the baud rate;
    // measurements of R-series chips found 4 times (libftdi multiplies the
    // rate by 4 in bit-bang mode for it).
    static constexpr unsigned kDefaultByteClockFactor = 16;
    static constexpr unsigned kMaxByteClockFactor = 16;
    // The bytes the chips clock out per baud period in bit-bang mode, on every
    // device, now and attached later, until reset() restores
    // FTDISIM_BYTE_CLOCK_FACTOR's or 16. setTiming() leaves it alone, so a
    // test's timing keeps the chip the environment chose. Bytes already queued
    // keep their times; the factor applies to bytes written after the call.
    // Throws std::invalid_argument outside 1 to kMaxByteClockFactor.
    void setByteClockFactor(unsigned factor);
    unsigned byteClockFactor() const;

    // What the chips' undriven data pins show, and what is wired to them
    // sees: in reset mode, before any bit mode is set, and outside the
    // bit-bang mask. For every device, now and attached later, until reset()
    // restores FTDISIM_RESET_PINS's or ResetPins::PulledUp, the FT245R's own
    // pull-ups. A device's pin model hears the new levels at its next bit-mode
    // change or write.
    void setResetPins(ResetPins pins);
    ResetPins resetPins() const;

    // The levels the chip drives: the last byte the pins took, on the output
    // pins of bit-bang mode; 0 on the other pins.
    std::uint8_t outputLevels(DeviceId device) const;

    Trace trace(DeviceId device) const;
    void clearTrace(DeviceId device);
    // Events kept per device, for the devices attached now and later, until
    // reset() restores the default of two million.
    void setTraceCapacity(std::size_t eventsPerDevice);
    DeviceStats stats(DeviceId device) const;
    // Calls of a D2XX function since reset(), on any or no device: failing
    // calls, calls with invalid handles and calls on unplugged devices count.
    unsigned callCount(D2xxFunction function) const;

private:
    Bus() = default;
};

} // namespace ftdisim

#endif
