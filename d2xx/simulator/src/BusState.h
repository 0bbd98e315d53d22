#ifndef FTDISIM_BUSSTATE_H
#define FTDISIM_BUSSTATE_H

#include "HandleTable.h"
#include "SimulatedDevice.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/Clock.h>
#include <ftdisim/D2xxFunction.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/Environment.h>

#include <ftd2xx.h>

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ftdisim {

// Everything on the simulated bus, and the rules of the device list and of
// opening. Not thread-safe: LockedBus gives access to the one instance.
class BusState {
public:
    BusState();

    void reset();
    void clear();
    DeviceId attach(DeviceDescription description);
    void unplug(DeviceId id);
    std::vector<DeviceId> pluggedDevices() const;
    // Plugged or unplugged since the bus was last emptied. Throws
    // std::out_of_range for any other id.
    SimulatedDevice& device(DeviceId id);
    const SimulatedDevice& device(DeviceId id) const;
    // Null for an id the bus does not know (any more).
    SimulatedDevice* findDevice(DeviceId id);

    void failNextOpen(FT_STATUS status);
    void failEveryOpen(std::optional<FT_STATUS> status);
    void setTraceCapacity(std::size_t eventsPerDevice);
    void setTiming(const BusTiming& timing);
    const BusTiming& timing() const { return timing_; }
    void setByteClockFactor(unsigned factor);
    unsigned byteClockFactor() const { return byteClockFactor_; }
    void setResetPins(ResetPins pins);
    ResetPins resetPins() const { return resetPins_; }
    // device(id) once the pins have taken every byte clocked out by now.
    SimulatedDevice& settledDevice(DeviceId id);
    void countCall(D2xxFunction function);
    unsigned callCount(D2xxFunction function) const;

    // Takes the snapshot that copyDeviceList() copies from; the number of devices.
    DWORD buildDeviceList();
    // Copies at most `capacity` entries; the number copied.
    DWORD copyDeviceList(FT_DEVICE_LIST_INFO_NODE* destination, DWORD capacity) const;
    FT_STATUS open(int index, FT_HANDLE* handle);
    FT_STATUS close(FT_HANDLE handle);
    // The failure the next open must return, if a test set one; a failure
    // set with failNextOpen() is used up.
    std::optional<FT_STATUS> takeOpenFailure();
    // Opens the device for the USB path, which holds it by DeviceId: the
    // D2XX side then sees it open. False when it cannot be opened.
    bool openForUsb(DeviceId id);
    // Closes what openForUsb() opened; FT_IO_ERROR once unplugged.
    FT_STATUS closeForUsb(DeviceId id);
    // The device of an open handle; null for an unknown, closed or stale one.
    SimulatedDevice* deviceFor(FT_HANDLE handle);
    // When a control request or read made now reaches the device's chip: at
    // once for a handle or id that reaches no plugged device.
    Clock::time_point transferCompletion(FT_HANDLE handle);
    Clock::time_point transferCompletion(DeviceId id);

private:
    static constexpr std::size_t kFunctionCount = static_cast<std::size_t>(D2xxFunction::Close) + 1;

    // A line on `device` in the report file, when one is set.
    void report(SimulatedDevice& device, const char* event);

    // Unplugged devices stay until the bus is emptied, for their traces.
    std::map<DeviceId, SimulatedDevice> devices_;
    std::vector<DeviceId> plugged_;
    HandleTable handles_;
    // The handles the USB path holds, one per device it opened.
    std::map<DeviceId, FT_HANDLE> usbHandles_;
    std::vector<FT_DEVICE_LIST_INFO_NODE> deviceList_;
    std::optional<FT_STATUS> nextOpenFailure_;
    std::optional<FT_STATUS> everyOpenFailure_;
    // FTDISIM_FAIL_CALL's, for every device attached until the next reset().
    std::optional<CallFailure> callFailure_;
    std::array<unsigned, kFunctionCount> calls_{};
    std::size_t traceCapacity_;
    // For the rigs of the devices attached until the next reset().
    Clock::duration dcTimePerCount_;
    BusTiming timing_;
    unsigned byteClockFactor_ = Bus::kDefaultByteClockFactor;
    ResetPins resetPins_ = ResetPins::PulledUp;
    std::string reportFile_;
    // Ids are never reused, so an id kept from before reset() cannot name a
    // device attached after it.
    DeviceId nextId_ = 1;
    int attachedSinceEmpty_ = 0;
};

} // namespace ftdisim

#endif
