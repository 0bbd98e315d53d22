#include "BusState.h"

#include "BusSetup.h"
#include "DeviceReport.h"

#include <ftdisim/TurntableRig.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>

namespace ftdisim {

namespace {

// Two million events are some minutes of a driver polling as fast as it can,
// and some tens of megabytes per device.
constexpr std::size_t kDefaultTraceCapacity = 2000000;

std::string serialNumberFor(int attachNumber) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "KT%06d", attachNumber);
    return serial;
}

void requireFailure(FT_STATUS status) {
    if (status == FT_OK) {
        throw std::invalid_argument("ftdisim: an open failure needs a status other than FT_OK");
    }
}

} // namespace

BusState::BusState()
    : traceCapacity_(kDefaultTraceCapacity)
    , dcTimePerCount_(DcTable::kDefaultTimePerCount) {
    reset();
}

void BusState::reset() {
    clear();
    nextOpenFailure_.reset();
    calls_.fill(0);
    traceCapacity_ = kDefaultTraceCapacity;
    BusSetup setup = busSetupFromEnvironment();
    everyOpenFailure_ = setup.openFailure;
    callFailure_ = setup.callFailure;
    dcTimePerCount_ = setup.dcTimePerCount;
    timing_ = setup.timing;
    byteClockFactor_ = setup.byteClockFactor;
    resetPins_ = setup.resetPins;
    reportFile_ = setup.reportFile;
    for (DeviceDescription& description : setup.devices) {
        attach(std::move(description));
    }
}

void BusState::clear() {
    devices_.clear();
    plugged_.clear();
    handles_.clear();
    usbHandles_.clear();
    deviceList_.clear();
    attachedSinceEmpty_ = 0;
}

DeviceId BusState::attach(DeviceDescription description) {
    ++attachedSinceEmpty_;
    if (description.serialNumber.empty()) {
        description.serialNumber = serialNumberFor(attachedSinceEmpty_);
    }
    const DeviceId id = nextId_++;
    SimulatedDevice& device =
        devices_.try_emplace(id, id, std::move(description), traceCapacity_).first->second;
    device.setTiming(timing_);
    device.setByteClockFactor(byteClockFactor_);
    // Before the rig, which starts from the levels the pins show.
    device.setResetPins(resetPins_);
    device.setPinModel(std::make_shared<TurntableRig>(dcTimePerCount_));
    if (callFailure_) {
        device.setSetUpFault(callFailure_->function, callFailure_->status);
    }
    plugged_.push_back(id);
    return id;
}

void BusState::unplug(DeviceId id) {
    device(id).unplug();
    plugged_.erase(std::remove(plugged_.begin(), plugged_.end(), id), plugged_.end());
}

std::vector<DeviceId> BusState::pluggedDevices() const {
    return plugged_;
}

SimulatedDevice& BusState::device(DeviceId id) {
    return devices_.at(id);
}

const SimulatedDevice& BusState::device(DeviceId id) const {
    return devices_.at(id);
}

SimulatedDevice* BusState::findDevice(DeviceId id) {
    const auto found = devices_.find(id);
    return found == devices_.end() ? nullptr : &found->second;
}

void BusState::failNextOpen(FT_STATUS status) {
    requireFailure(status);
    nextOpenFailure_ = status;
}

void BusState::failEveryOpen(std::optional<FT_STATUS> status) {
    if (status) {
        requireFailure(*status);
    }
    everyOpenFailure_ = status;
}

void BusState::setTraceCapacity(std::size_t eventsPerDevice) {
    traceCapacity_ = eventsPerDevice;
    for (auto& entry : devices_) {
        entry.second.setTraceCapacity(eventsPerDevice);
    }
}

void BusState::setTiming(const BusTiming& timing) {
    timing_ = timing;
    for (auto& entry : devices_) {
        entry.second.setTiming(timing);
    }
}

void BusState::setByteClockFactor(unsigned factor) {
    byteClockFactor_ = factor;
    for (auto& entry : devices_) {
        entry.second.setByteClockFactor(factor);
    }
}

void BusState::setResetPins(ResetPins pins) {
    resetPins_ = pins;
    for (auto& entry : devices_) {
        entry.second.setResetPins(pins);
    }
}

SimulatedDevice& BusState::settledDevice(DeviceId id) {
    SimulatedDevice& settled = device(id);
    settled.settle(Clock::now());
    return settled;
}

void BusState::countCall(D2xxFunction function) {
    ++calls_.at(static_cast<std::size_t>(function));
}

unsigned BusState::callCount(D2xxFunction function) const {
    return calls_.at(static_cast<std::size_t>(function));
}

DWORD BusState::buildDeviceList() {
    deviceList_.clear();
    for (DeviceId id : plugged_) {
        deviceList_.push_back(device(id).listNode());
    }
    return static_cast<DWORD>(deviceList_.size());
}

DWORD BusState::copyDeviceList(FT_DEVICE_LIST_INFO_NODE* destination, DWORD capacity) const {
    const std::size_t count = std::min<std::size_t>(capacity, deviceList_.size());
    std::copy_n(deviceList_.begin(), count, destination);
    return static_cast<DWORD>(count);
}

std::optional<FT_STATUS> BusState::takeOpenFailure() {
    if (nextOpenFailure_) {
        return std::exchange(nextOpenFailure_, std::nullopt);
    }
    return everyOpenFailure_;
}

FT_STATUS BusState::open(int index, FT_HANDLE* handle) {
    if (const std::optional<FT_STATUS> failure = takeOpenFailure()) {
        return *failure;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= plugged_.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const DeviceId id = plugged_[static_cast<std::size_t>(index)];
    SimulatedDevice& opening = device(id);
    if (!opening.canOpen()) {
        return FT_DEVICE_NOT_OPENED;
    }
    *handle = handles_.issue(id);
    opening.opened(*handle);
    report(opening, "opened");
    return FT_OK;
}

bool BusState::openForUsb(DeviceId id) {
    SimulatedDevice& opening = device(id);
    if (!opening.canOpen()) {
        return false;
    }
    const FT_HANDLE handle = handles_.issue(id);
    usbHandles_[id] = handle;
    opening.opened(handle);
    report(opening, "opened");
    return true;
}

FT_STATUS BusState::closeForUsb(DeviceId id) {
    const auto held = usbHandles_.find(id);
    if (held == usbHandles_.end()) {
        return FT_INVALID_HANDLE;
    }
    const FT_HANDLE handle = held->second;
    usbHandles_.erase(held);
    return close(handle);
}

FT_STATUS BusState::close(FT_HANDLE handle) {
    const std::optional<DeviceId> id = handles_.find(handle);
    if (!id) {
        return FT_INVALID_HANDLE;
    }
    handles_.release(handle);
    SimulatedDevice& closing = device(*id);
    closing.settle(Clock::now());
    report(closing, "closed");
    return closing.close();
}

void BusState::report(SimulatedDevice& device, const char* event) {
    if (!reportFile_.empty()) {
        appendReportLine(reportFile_, reportLine(device, event));
    }
}

SimulatedDevice* BusState::deviceFor(FT_HANDLE handle) {
    const std::optional<DeviceId> id = handles_.find(handle);
    return id ? &device(*id) : nullptr;
}

namespace {

Clock::time_point transferCompletionOn(SimulatedDevice* device) {
    const Clock::time_point now = Clock::now();
    return device && device->plugged() ? device->transferCompletion(now) : now;
}

} // namespace

Clock::time_point BusState::transferCompletion(FT_HANDLE handle) {
    return transferCompletionOn(deviceFor(handle));
}

Clock::time_point BusState::transferCompletion(DeviceId id) {
    return transferCompletionOn(findDevice(id));
}

} // namespace ftdisim
