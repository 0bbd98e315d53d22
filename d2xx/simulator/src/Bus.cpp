#include <ftdisim/Bus.h>

#include "LockedBus.h"

#include <ftdisim/TurntableRig.h>

#include <stdexcept>
#include <utility>

namespace ftdisim {

Bus& Bus::instance() {
    // The state lives behind lockBus(); Bus only gives tests a name for it.
    static Bus bus;
    return bus;
}

void Bus::reset() {
    lockBus()->reset();
}

void Bus::clear() {
    lockBus()->clear();
}

DeviceId Bus::attach(const DeviceDescription& description) {
    return lockBus()->attach(description);
}

void Bus::unplug(DeviceId device) {
    lockBus()->unplug(device);
}

std::vector<DeviceId> Bus::devices() const {
    return lockBus()->pluggedDevices();
}

void Bus::setOpenedElsewhere(DeviceId device, bool opened) {
    lockBus()->device(device).setOpenedElsewhere(opened);
}

void Bus::failNextOpen(FT_STATUS status) {
    lockBus()->failNextOpen(status);
}

void Bus::failEveryOpen(std::optional<FT_STATUS> status) {
    lockBus()->failEveryOpen(status);
}

void Bus::setSetUpFault(DeviceId device, D2xxFunction function, std::optional<FT_STATUS> status) {
    const bool setUpFunction =
        function == D2xxFunction::SetBaudRate || function == D2xxFunction::SetLatencyTimer ||
        function == D2xxFunction::SetBitMode || function == D2xxFunction::Purge;
    if (!setUpFunction || status == FT_STATUS{FT_OK}) {
        throw std::invalid_argument("a set-up fault needs a set-up function and a failing status");
    }
    lockBus()->device(device).setSetUpFault(function, status);
}

void Bus::setWriteFault(DeviceId device, std::optional<TransferFault> fault) {
    lockBus()->device(device).setWriteFault(fault);
}

void Bus::setReadFault(DeviceId device, std::optional<TransferFault> fault) {
    lockBus()->device(device).setReadFault(fault);
}

void Bus::setUsbFault(DeviceId device, std::optional<UsbFault> fault) {
    lockBus()->device(device).setUsbFault(fault);
}

void Bus::setInputLevels(DeviceId device, std::uint8_t levels) {
    lockBus()->device(device).setInputLevels(levels);
}

void Bus::setPinModel(DeviceId device, std::shared_ptr<PinModel> model) {
    lockBus()->device(device).setPinModel(std::move(model));
}

std::shared_ptr<TurntableRig> Bus::rig(DeviceId device) const {
    return std::dynamic_pointer_cast<TurntableRig>(lockBus()->settledDevice(device).pinModel());
}

void Bus::setTiming(const BusTiming& timing) {
    lockBus()->setTiming(timing);
}

BusTiming Bus::timing() const {
    return lockBus()->timing();
}

void Bus::setByteClockFactor(unsigned factor) {
    if (factor < 1 || factor > kMaxByteClockFactor) {
        throw std::invalid_argument("ftdisim: a byte clock factor is from 1 to 16");
    }
    lockBus()->setByteClockFactor(factor);
}

unsigned Bus::byteClockFactor() const {
    return lockBus()->byteClockFactor();
}

void Bus::setResetPins(ResetPins pins) {
    lockBus()->setResetPins(pins);
}

ResetPins Bus::resetPins() const {
    return lockBus()->resetPins();
}

std::uint8_t Bus::outputLevels(DeviceId device) const {
    return lockBus()->settledDevice(device).outputLevels();
}

Trace Bus::trace(DeviceId device) const {
    return lockBus()->settledDevice(device).trace();
}

void Bus::clearTrace(DeviceId device) {
    lockBus()->device(device).clearTrace();
}

void Bus::setTraceCapacity(std::size_t eventsPerDevice) {
    lockBus()->setTraceCapacity(eventsPerDevice);
}

DeviceStats Bus::stats(DeviceId device) const {
    return lockBus()->settledDevice(device).stats();
}

unsigned Bus::callCount(D2xxFunction function) const {
    return lockBus()->callCount(function);
}

} // namespace ftdisim
