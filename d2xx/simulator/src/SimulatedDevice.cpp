#include "SimulatedDevice.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace ftdisim {

namespace {

// USB vendor and product id of an FT245R, as the list shows them.
constexpr ULONG kFt245rUsbId = 0x04036001;
// The D2XX device type of the R series (FT_DEVICE_232R), to which the FT245R belongs.
constexpr ULONG kRSeriesType = 5;
constexpr ULONG kMaxBaudRate = 3000000;
constexpr UCHAR kMinLatencyTimerMs = 2;
constexpr ULONG kPurgeMasks = FT_PURGE_RX | FT_PURGE_TX;

template <std::size_t N>
void copyTerminated(const std::string& text, char (&field)[N]) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, field);
    field[length] = '\0';
}

TraceEvent event(TraceEvent::Kind kind, Clock::time_point time, std::uint8_t value,
                 FT_STATUS status) {
    TraceEvent e;
    e.kind = kind;
    e.time = time;
    e.value = value;
    e.status = status;
    return e;
}

} // namespace

SimulatedDevice::SimulatedDevice(DeviceId id, DeviceDescription description,
                                 std::size_t traceCapacity)
    : id_(id)
    , description_(std::move(description))
    , trace_(traceCapacity) {}

FT_DEVICE_LIST_INFO_NODE SimulatedDevice::listNode() const {
    FT_DEVICE_LIST_INFO_NODE node{};
    node.Flags = (handle_ || description_.openedElsewhere) ? FT_FLAGS_OPENED : 0;
    node.Type = kRSeriesType;
    node.ID = kFt245rUsbId;
    node.LocId = static_cast<DWORD>(id_);
    // Without permission the D2XX library cannot ask the chip for its strings.
    if (!description_.userMayNotOpen) {
        copyTerminated(description_.serialNumber, node.SerialNumber);
        copyTerminated(description_.description, node.Description);
    }
    node.ftHandle = handle_;
    return node;
}

bool SimulatedDevice::canOpen() const {
    return plugged_ && !handle_ && !description_.openedElsewhere && !description_.userMayNotOpen;
}

void SimulatedDevice::opened(FT_HANDLE handle) {
    handle_ = handle;
    ++stats_.opens;
}

FT_STATUS SimulatedDevice::close() {
    handle_ = nullptr;
    ++stats_.closes;
    return plugged_ ? FT_OK : FT_IO_ERROR;
}

void SimulatedDevice::unplug() {
    // The chip loses its power with the cable: what its buffer still held
    // never reaches the pins.
    settle(Clock::now());
    output_.purge();
    plugged_ = false;
}

void SimulatedDevice::setOpenedElsewhere(bool opened) {
    description_.openedElsewhere = opened;
}

void SimulatedDevice::setSetUpFault(D2xxFunction function, std::optional<FT_STATUS> status) {
    if (status) {
        setUpFaults_[function] = *status;
    } else {
        setUpFaults_.erase(function);
    }
}

FT_STATUS SimulatedDevice::setUpStatus(D2xxFunction function) const {
    if (!plugged_) {
        return FT_IO_ERROR;
    }
    const auto fault = setUpFaults_.find(function);
    return fault == setUpFaults_.end() ? FT_STATUS{FT_OK} : fault->second;
}

FT_STATUS SimulatedDevice::setBaudRate(ULONG baudRate) {
    ++stats_.baudRateSets;
    // The bytes queued already keep the times the old rate gave them.
    settle(Clock::now());
    if (const FT_STATUS status = setUpStatus(D2xxFunction::SetBaudRate); status != FT_OK) {
        return status;
    }
    if (baudRate == 0 || baudRate > kMaxBaudRate) {
        return FT_INVALID_BAUD_RATE;
    }
    stats_.baudRate = baudRate;
    samples_.setPeriod(bytePeriod());
    return FT_OK;
}

FT_STATUS SimulatedDevice::setLatencyTimer(UCHAR timerMs) {
    ++stats_.latencyTimerSets;
    if (const FT_STATUS status = setUpStatus(D2xxFunction::SetLatencyTimer); status != FT_OK) {
        return status;
    }
    if (timerMs < kMinLatencyTimerMs) {
        return FT_INVALID_PARAMETER;
    }
    stats_.latencyTimerMs = timerMs;
    return FT_OK;
}

FT_STATUS SimulatedDevice::setBitMode(UCHAR mask, UCHAR mode) {
    ++stats_.bitModeSets;
    const Clock::time_point now = Clock::now();
    settle(now);
    FT_STATUS status = setUpStatus(D2xxFunction::SetBitMode);
    if (status == FT_OK && mode != FT_BITMODE_RESET && mode != FT_BITMODE_ASYNC_BITBANG) {
        // The chip has more modes, but the drivers use these two only.
        status = FT_NOT_SUPPORTED;
    }
    TraceEvent e = event(TraceEvent::Kind::SetBitMode, now, mask, status);
    e.mode = mode;
    trace_.record(e);
    if (status != FT_OK) {
        return status;
    }
    stats_.bitMask = mask;
    stats_.bitMode = mode;
    if (!inBitBangMode()) {
        samples_.stop();
    } else if (!samples_.sampling()) {
        samples_.start(now, bytePeriod());
    }
    if (model_) {
        model_->bitModeChanged(mask, mode, lineLevels(), now);
    }
    return FT_OK;
}

FT_STATUS SimulatedDevice::purge(ULONG mask) {
    ++stats_.purges;
    const Clock::time_point now = Clock::now();
    settle(now);
    FT_STATUS status = setUpStatus(D2xxFunction::Purge);
    if (status == FT_OK && (mask & ~kPurgeMasks) != 0) {
        status = FT_INVALID_PARAMETER;
    }
    trace_.record(event(TraceEvent::Kind::Purge, now, static_cast<std::uint8_t>(mask), status));
    if (status == FT_OK && (mask & FT_PURGE_TX)) {
        output_.purge();
    }
    if (status == FT_OK && (mask & FT_PURGE_RX)) {
        samples_.purge(now);
    }
    if (status == FT_OK) {
        stats_.rxPurges += (mask & FT_PURGE_RX) ? 1 : 0;
        stats_.txPurges += (mask & FT_PURGE_TX) ? 1 : 0;
    }
    return status;
}

FT_STATUS SimulatedDevice::write(const UCHAR* bytes, DWORD count, DWORD* written) {
    ++stats_.writes;
    const Clock::time_point now = Clock::now();
    settle(now);
    // A write that fails or moves nothing completes at once.
    writeCompletion_ = now;
    if (!plugged_) {
        return failWrite(bytes, count, written, FT_IO_ERROR, now);
    }
    if (!written || (count > 0 && !bytes)) {
        return failWrite(bytes, count, written, FT_INVALID_PARAMETER, now);
    }
    *written = 0;
    if (count == 0) {
        return FT_OK;
    }
    if (const std::optional<TransferFault> fault = writeFaults_.nextCall()) {
        return failWrite(bytes, count, written, fault->status, now);
    }
    queueWrite(bytes, count, now);
    *written = count;
    return FT_OK;
}

void SimulatedDevice::queueWrite(const UCHAR* bytes, DWORD count, Clock::time_point now) {
    const Clock::time_point arrival = frames_.completion(now);
    // Outside bit-bang mode the bytes go to the FIFO, where nothing clocks
    // them onto the pins.
    const Clock::duration period = inBitBangMode() ? bytePeriod() : Clock::duration::zero();
    writeCompletion_ = std::max(arrival, output_.push(bytes, count, arrival, period));
    settle(now);
}

void SimulatedDevice::takeOnPins(std::uint8_t byte, Clock::time_point time, bool continued) {
    TraceEvent e = event(TraceEvent::Kind::Write, time, byte, FT_OK);
    e.applied = inBitBangMode();
    e.continued = continued;
    trace_.record(e);
    if (e.applied) {
        latch_ = byte;
        if (model_) {
            model_->outputsWritten(lineLevels(), outputMask(), time);
        }
    }
}

void SimulatedDevice::settle(Clock::time_point now) {
    // The chip samples the pins as they are between the bytes it clocks out.
    const auto levelsAt = [this](Clock::time_point time) { return pinLevels(time); };
    output_.popDue(now, [&](const ClockedOutput::Byte& byte) {
        samples_.sampleUntil(byte.time, true, levelsAt);
        takeOnPins(byte.value, byte.time, byte.continued);
    });
    samples_.sampleUntil(now, false, levelsAt);
}

void SimulatedDevice::setByteClockFactor(unsigned factor) {
    byteClockFactor_ = factor;
    samples_.setPeriod(bytePeriod());
}

void SimulatedDevice::setTiming(const BusTiming& timing) {
    frames_.setTiming(timing);
}

FT_STATUS SimulatedDevice::read(UCHAR* bytes, DWORD count, DWORD* returned,
                                std::optional<Clock::time_point>* restDue) {
    if (const std::optional<FT_STATUS> end = readFailure(bytes, count, returned)) {
        return *end;
    }
    *returned = takeSamples(bytes, count);
    if (restDue && *returned < count) {
        *restDue = samples_.timeOfSample(count - *returned).value_or(Clock::time_point::max());
    }
    return FT_OK;
}

std::optional<FT_STATUS> SimulatedDevice::readFailure(const UCHAR* bytes, DWORD count,
                                                      DWORD* returned) {
    ++stats_.reads;
    const Clock::time_point now = Clock::now();
    settle(now);
    if (!plugged_) {
        return failRead(returned, FT_IO_ERROR, now);
    }
    if (!returned || (count > 0 && !bytes)) {
        return failRead(returned, FT_INVALID_PARAMETER, now);
    }
    *returned = 0;
    if (count == 0) {
        return FT_OK;
    }
    if (const std::optional<TransferFault> fault = readFaults_.nextCall()) {
        return failRead(returned, fault->status, now);
    }
    return std::nullopt;
}

DWORD SimulatedDevice::takeSamples(UCHAR* bytes, DWORD count) {
    const Clock::time_point now = Clock::now();
    settle(now);
    const auto taken = static_cast<DWORD>(samples_.take(bytes, count));
    recordReads(bytes, taken, now);
    return taken;
}

FT_STATUS SimulatedDevice::readPins(UCHAR* levels, DWORD* returned) {
    if (const std::optional<FT_STATUS> end = readFailure(levels, 1, returned)) {
        return *end;
    }
    const Clock::time_point now = Clock::now();
    *levels = pinLevels(now);
    *returned = 1;
    recordReads(levels, 1, now);
    return FT_OK;
}

void SimulatedDevice::recordReads(const UCHAR* bytes, DWORD count, Clock::time_point time) {
    for (DWORD i = 0; i < count; ++i) {
        trace_.record(event(TraceEvent::Kind::Read, time, bytes[i], FT_OK));
    }
}

void SimulatedDevice::setWriteFault(std::optional<TransferFault> fault) {
    writeFaults_.set(fault);
}

void SimulatedDevice::setReadFault(std::optional<TransferFault> fault) {
    readFaults_.set(fault);
}

void SimulatedDevice::setUsbFault(std::optional<UsbFault> fault) {
    if (fault && fault->cutsPackets() && fault->packets < 0) {
        throw std::invalid_argument("ftdisim: a fault on packets needs a packet of 0 or more");
    }
    usbFaults_.set(fault);
}

std::optional<UsbFault> SimulatedDevice::nextUsbTransfer(bool bulkOut) {
    const std::optional<UsbFault>& fault = usbFaults_.fault();
    if (fault && fault->cutsPackets() && !bulkOut) {
        return std::nullopt;
    }
    return usbFaults_.nextCall();
}

void SimulatedDevice::setInputLevels(std::uint8_t levels) {
    inputLevels_ = levels;
}

void SimulatedDevice::setPinModel(std::shared_ptr<PinModel> model) {
    model_ = std::move(model);
    if (model_) {
        model_->bitModeChanged(stats_.bitMask, stats_.bitMode, lineLevels(), Clock::now());
    }
}

std::uint8_t SimulatedDevice::lineLevels() {
    const std::uint8_t driven = outputMask();
    std::uint8_t undriven = lines_;
    switch (resetPins_) {
    case ResetPins::PulledUp:
        undriven = 0xFF;
        break;
    case ResetPins::PulledDown:
        undriven = 0x00;
        break;
    case ResetPins::Held:
        break;
    }
    lines_ = static_cast<std::uint8_t>((latch_ & driven) | (undriven & ~driven));
    return lines_;
}

std::uint8_t SimulatedDevice::outputLevels() const {
    return latch_ & outputMask();
}

void SimulatedDevice::clearTrace() {
    trace_.clear();
}

void SimulatedDevice::setTraceCapacity(std::size_t capacity) {
    trace_.setCapacity(capacity);
}

DeviceStats SimulatedDevice::stats() const {
    DeviceStats stats = stats_;
    stats.plugged = plugged_;
    stats.open = handle_ != nullptr;
    stats.openedElsewhere = description_.openedElsewhere;
    return stats;
}

bool SimulatedDevice::inBitBangMode() const {
    return stats_.bitMode == FT_BITMODE_ASYNC_BITBANG;
}

Clock::duration SimulatedDevice::bytePeriod() const {
    return ClockedOutput::bytePeriod(stats_.baudRate, byteClockFactor_);
}

std::uint8_t SimulatedDevice::outputMask() const {
    return inBitBangMode() ? stats_.bitMask : 0;
}

std::uint8_t SimulatedDevice::pinLevels(Clock::time_point time) {
    const std::uint8_t driven = outputMask();
    const std::uint8_t outside = model_ ? model_->inputLevels(time) : inputLevels_;
    return static_cast<std::uint8_t>((latch_ & driven) | (outside & ~driven));
}

FT_STATUS SimulatedDevice::failWrite(const UCHAR* bytes, DWORD count, DWORD* written,
                                     FT_STATUS status, Clock::time_point time) {
    const std::uint8_t first = (bytes && count > 0) ? bytes[0] : 0;
    trace_.record(event(TraceEvent::Kind::Write, time, first, status));
    if (written) {
        *written = 0;
    }
    return status;
}

FT_STATUS SimulatedDevice::failRead(DWORD* returned, FT_STATUS status, Clock::time_point time) {
    trace_.record(event(TraceEvent::Kind::Read, time, 0, status));
    if (returned) {
        *returned = 0;
    }
    return status;
}

} // namespace ftdisim
