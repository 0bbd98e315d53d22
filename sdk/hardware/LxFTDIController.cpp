#include "LxFTDIController.h"

#include "KeepLibraryLoaded.h"
#include "LxAbstractPlugin.h"

#include <ftd2xx.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

std::mutex& asyncMutex() {
    return LxAbstractPlugin::AbstractPluginPrivate::asyncMutex;
}

// A sleeping thread may be woken up to its timer slack late, 50 us by
// default: a rotation thread times edges to a few microseconds, and a
// chip-clocked train must send its next block before the chip runs dry.
void keepSleepsShort() {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

// The rotation that runs on this thread, if any. The thread reaches its own
// record through it: the driver's member may already have been handed to a
// thread that stops the rotation.
thread_local RotationThreadState* rotationOfThisThread = nullptr;

// A text field of a device list entry, which a misbehaving library need not
// terminate.
template <std::size_t size>
std::string textOf(const char (&field)[size]) {
    return std::string(field, strnlen(field, size));
}

// Vendor 0403 (FTDI), product 6001 (FT245R, FT232R), as the list's ID packs them.
constexpr ULONG FT245R_USB_ID = 0x04036001;

bool describes(const FT_DEVICE_LIST_INFO_NODE& device, const char* searchText) {
    return textOf(device.Description).find(searchText) != std::string::npos;
}

// The attached FTDI devices in D2XX index order; none when the list cannot be
// made.
std::vector<FT_DEVICE_LIST_INFO_NODE> listDevices() {
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK || count == 0) {
        return {};
    }
    std::vector<FT_DEVICE_LIST_INFO_NODE> devices(count);
    if (FT_GetDeviceInfoList(devices.data(), &count) != FT_OK) {
        return {};
    }
    devices.resize(std::min<std::size_t>(count, devices.size()));
    return devices;
}

// The list index to open for the chip that a search for `searchText` found at
// `index` with `serialNumber`: that chip while it is free, wherever the list
// has it now; when it is listed there as open (taken since the search), the
// first free chip of its kind, else the taken one, which FT_Open refuses (the
// list need not describe a device open elsewhere). None when the chip found
// is gone and another chip, or none, is listed at its place.
std::optional<int> chipToOpen(int index, const char* searchText, const std::string& serialNumber) {
    const std::vector<FT_DEVICE_LIST_INFO_NODE> devices = listDevices();
    const auto firstFree = [&](const auto& matches) -> std::optional<int> {
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const FT_DEVICE_LIST_INFO_NODE& device = devices[i];
            if (!(device.Flags & FT_FLAGS_OPENED) && describes(device, searchText) &&
                matches(device)) {
                return static_cast<int>(i);
            }
        }
        return std::nullopt;
    };
    if (const auto found = firstFree([&](const FT_DEVICE_LIST_INFO_NODE& device) {
            return textOf(device.SerialNumber) == serialNumber;
        })) {
        return found;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= devices.size() ||
        !(devices[static_cast<std::size_t>(index)].Flags & FT_FLAGS_OPENED)) {
        return std::nullopt;
    }
    return firstFree([](const FT_DEVICE_LIST_INFO_NODE&) { return true; }).value_or(index);
}

// Whether the chip at `index` is listed as open now: taken by another open
// since it was chosen.
bool isTakenSince(int index) {
    const std::vector<FT_DEVICE_LIST_INFO_NODE> devices = listDevices();
    return index >= 0 && static_cast<std::size_t>(index) < devices.size() &&
           (devices[static_cast<std::size_t>(index)].Flags & FT_FLAGS_OPENED);
}

} // namespace

class LxFTDIController::SetUpRecording {
public:
    explicit SetUpRecording(LxFTDIController& driver)
        : driver(driver) {
        driver.setUpLog.clear();
        driver.recordingSetUp = true;
    }
    ~SetUpRecording() { driver.recordingSetUp = false; }
    SetUpRecording(const SetUpRecording&) = delete;
    SetUpRecording& operator=(const SetUpRecording&) = delete;

private:
    LxFTDIController& driver;
};

// The open results carry the status as the D2XX header types it.
static_assert(std::is_same<FT_STATUS, unsigned long>::value);

LxFTDIController::LxFTDIController() = default;

LxFTDIController::~LxFTDIController() {
    closeDevice();
}

LxChipOpenResult LxFTDIController::openDevice(int index) {
    const SetUpRecording recording(*this);
    if (index == -1) {
        return LxChipOpenResult::refused(LxChipOpenResult::Outcome::NoDeviceFound);
    }
    FT_HANDLE handle = nullptr;
    const FT_STATUS status = noteSetUpCall("FT_Open", FT_Open(index, &handle));
    return setUpOpenedChip(status, handle);
}

LxChipOpenResult LxFTDIController::setUpOpenedChip(unsigned long openStatus, void* handle) {
    if (openStatus != FT_OK) {
        deviceHandle = nullptr;
        return LxChipOpenResult::usbFailure(openStatus);
    }
    deviceHandle = handle;
    chipLost = false;
    byteClockReading = {};
    chipBaudRate = EDGE_BY_EDGE_BAUD_RATE;
    FT_STATUS status = noteSetUpCall("FT_SetBaudRate (single edges)",
                                     FT_SetBaudRate(deviceHandle, EDGE_BY_EDGE_BAUD_RATE));
    if (status == FT_OK) {
        status = noteSetUpCall("FT_SetLatencyTimer", FT_SetLatencyTimer(deviceHandle, 2));
    }
    if (status == FT_OK) {
        status = enterBitBangMode();
    }
    if (status != FT_OK) {
        // A chip whose set-up failed would not do what its pins are told.
        FT_Close(deviceHandle);
        deviceHandle = nullptr;
        return LxChipOpenResult::usbFailure(status);
    }
    writeOpeningPins();
    probeChip();
    return LxChipOpenResult::opened();
}

unsigned long LxFTDIController::enterBitBangMode() {
    // Through the reset mode, so that a chip left in bit-bang mode by another
    // program takes the new directions from a clean state.
    FT_STATUS status = noteSetUpCall(
        "FT_SetBitMode (reset)", FT_SetBitMode(deviceHandle, pinDirections(), FT_BITMODE_RESET));
    if (status != FT_OK) {
        return status;
    }
    Wait(10);
    status = noteSetUpCall("FT_SetBitMode (asynchronous bit-bang)",
                           FT_SetBitMode(deviceHandle, pinDirections(), FT_BITMODE_ASYNC_BITBANG));
    // The chip samples its pins into the receive buffer in bit-bang mode:
    // what lies there from before this open is not this driver's.
    return status == FT_OK ? noteSetUpCall("FT_Purge (both buffers)",
                                           FT_Purge(deviceHandle, FT_PURGE_RX | FT_PURGE_TX))
                           : status;
}

unsigned long LxFTDIController::noteSetUpCall(const char* call, unsigned long status) {
    if (!recordingSetUp) {
        return status;
    }
    // The timing of the byte clock writes a dozen times: one line tells it.
    const bool repeated = !setUpLog.empty() && std::strcmp(setUpLog.back().call, call) == 0 &&
                          setUpLog.back().status == status;
    if (!repeated) {
        setUpLog.push_back({call, status});
    }
    return status;
}

bool LxFTDIController::isUnopenableChipAttached(const char* searchText) {
    const std::vector<LxTurntableChip> chips = attachedChips(searchText);
    return std::any_of(chips.begin(), chips.end(), [](const LxTurntableChip& chip) {
        return chip.isTurntableChip && chip.availability != LxTurntableChip::Availability::Free;
    });
}

std::vector<LxTurntableChip> LxFTDIController::attachedChips(const char* searchText) {
    std::vector<LxTurntableChip> chips;
    const std::vector<FT_DEVICE_LIST_INFO_NODE> devices = listDevices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const FT_DEVICE_LIST_INFO_NODE& device = devices[i];
        LxTurntableChip chip;
        chip.listIndex = static_cast<int>(i);
        chip.description = textOf(device.Description);
        chip.serialNumber = textOf(device.SerialNumber);
        // A library that cannot open a device to read its strings lists it
        // without them: the USB ids are all it can tell.
        const bool withoutStrings = chip.description.empty() && chip.serialNumber.empty();
        chip.isTurntableChip = describes(device, searchText) ||
                               (device.ID == FT245R_USB_ID && chip.description.empty());
        if (device.Flags & FT_FLAGS_OPENED) {
            chip.availability = LxTurntableChip::Availability::OpenElsewhere;
        } else if (withoutStrings) {
            chip.availability = LxTurntableChip::Availability::NotPermitted;
        }
        chips.push_back(std::move(chip));
    }
    return chips;
}

int LxFTDIController::availableDeviceIndex(const char* searchText, std::string* serialNumber) {
    const std::vector<FT_DEVICE_LIST_INFO_NODE> devices = listDevices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const FT_DEVICE_LIST_INFO_NODE& device = devices[i];
        if (!(device.Flags & FT_FLAGS_OPENED) && describes(device, searchText)) {
            if (serialNumber) {
                *serialNumber = textOf(device.SerialNumber);
            }
            return static_cast<int>(i);
        }
    }
    if (serialNumber) {
        serialNumber->clear();
    }
    return -1;
}

LxChipOpenResult LxFTDIController::openFoundDevice(int index, const char* searchText,
                                                   const std::string& serialNumber) {
    if (index == -1) {
        return openDevice(index);
    }
    const SetUpRecording recording(*this);
    FT_HANDLE handle = nullptr;
    FT_STATUS status = FT_OK;
    // Chosen right before FT_Open: a chip put in the place of another has to
    // be enumerated by USB first, which takes far longer than the gap. Another
    // controller of this process may take the chosen chip in that gap; then
    // the choice is made again, at most once a chip, with no lock held over
    // the open.
    for (std::size_t tries = listDevices().size() + 1; tries > 0; --tries) {
        const std::optional<int> chosen = chipToOpen(index, searchText, serialNumber);
        if (!chosen) {
            deviceHandle = nullptr;
            return LxChipOpenResult::refused(LxChipOpenResult::Outcome::ChipChanged);
        }
        status = noteSetUpCall("FT_Open", FT_Open(*chosen, &handle));
        if (status == FT_OK || !isTakenSince(*chosen)) {
            break;
        }
    }
    return setUpOpenedChip(status, handle);
}

void LxFTDIController::closeDevice() {
    stopAndJoinRotation(true);
    joinEndedRotations(true);
    if (deviceHandle) {
        if (!chipLost) {
            writeClosingPins();
        }
        FT_Close(deviceHandle);
    }
    deviceHandle = nullptr;
}

void LxFTDIController::writeChipByte(unsigned char byte) {
    noteSetUpCall("FT_Purge (transmit buffer)", FT_Purge(deviceHandle, FT_PURGE_TX));
    DWORD written = 0;
    // A write whose byte went out put it on the pins, whatever its status
    // says of the transfer's end: sent again, it would only hold the level.
    noteSetUpCall("FT_Write (opening pins)", FT_Write(deviceHandle, &byte, 1, &written));
    const bool succeeded = written == 1;
    ftdiError = succeeded ? FTDI_NO_ERROR : FTDI_WRITE_ERROR;
    noteTransfer(succeeded);
}

unsigned char LxFTDIController::readChipByte(unsigned char mask) {
    unsigned char byte = 0;
    FT_Purge(deviceHandle, FT_PURGE_RX);
    DWORD read = 0;
    const FT_STATUS status = FT_Read(deviceHandle, &byte, 1, &read);
    // A read that "succeeds" with no byte (a timeout) read no pin.
    const bool succeeded = status == FT_OK && read == 1;
    ftdiError = succeeded ? FTDI_NO_ERROR : FTDI_READ_ERROR;
    noteTransfer(succeeded);
    if (succeeded) {
        readsFailing = false;
    } else if (!readsFailing) {
        readsFailing = true;
        firstFailedRead = std::chrono::steady_clock::now();
    }
    return succeeded ? static_cast<unsigned char>(byte & mask) : 0;
}

void LxFTDIController::noteTransfer(bool succeeded) {
    if (succeeded) {
        transfersFailing = false;
    } else if (!transfersFailing) {
        transfersFailing = true;
        firstFailedTransfer = std::chrono::steady_clock::now();
    }
}

bool LxFTDIController::writeUntilTaken(unsigned char byte,
                                       std::chrono::steady_clock::time_point* edgeAt) {
    for (;;) {
        // A refusing chip is not tried again once given up: each try may
        // hold the thread for a USB timeout.
        if (shouldGiveUpWriting()) {
            return false;
        }
        writeChipByte(byte);
        if (ftdiError == FTDI_NO_ERROR) {
            // The pins took the byte somewhere between the call and now. Only
            // the return is sure not to come before it, so the phase after the
            // edge is measured from there: a bus that held the write (a USB
            // frame, a retry) can then lengthen that phase but never shorten it.
            if (edgeAt) {
                *edgeAt = std::chrono::steady_clock::now();
            }
            return true;
        }
        retryPause();
    }
}

std::size_t LxFTDIController::writeBytesUntilTaken(const unsigned char* bytes, std::size_t count) {
    std::size_t taken = 0;
    // When a write first came back short after the rotation was asked to end.
    std::optional<std::chrono::steady_clock::time_point> shortAfterStop;
    while (taken < count) {
        DWORD written = 0;
        const std::size_t left = count - taken;
        const FT_STATUS status = FT_Write(deviceHandle, const_cast<unsigned char*>(bytes + taken),
                                          static_cast<DWORD>(left), &written);
        // A library that reports more than it was given is not believed. What
        // a failing write did send is counted too: sent again, it would put
        // its edges on the pins twice.
        written = std::min<DWORD>(written, static_cast<DWORD>(left));
        taken += written;
        // A write that moved bytes, failing or not, reached a chip that is
        // still there.
        const bool succeeded = written > 0;
        ftdiError = status == FT_OK && taken == count ? FTDI_NO_ERROR : FTDI_WRITE_ERROR;
        noteTransfer(succeeded);
        if (taken == count) {
            break;
        }
        // A chip that takes a packet now and then before each timeout would
        // otherwise never count as refusing: a stop waits for it as long as
        // for one that takes nothing.
        if (!shortAfterStop && !isRotationRunning()) {
            shortAfterStop = std::chrono::steady_clock::now();
        }
        if (shouldGiveUpWriting() ||
            (shortAfterStop &&
             std::chrono::steady_clock::now() - *shortAfterStop >= STOP_WRITES_FOR)) {
            break;
        }
        if (!succeeded) {
            retryPause();
        }
    }
    return taken;
}

void LxFTDIController::retryPause() {
    // Not Wait(): a retry needs no precision, and the thread may run at a
    // raised priority.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool LxFTDIController::shouldGiveUpWriting() {
    if (!transfersFailing) {
        return false;
    }
    if (isChipLost()) {
        return true;
    }
    // A stop waits a short while for a chip that refuses writes (a pulse
    // should still fall), but not until the chip counts as lost: what it did
    // not take is not on the pins, and the move ends where the pins are.
    return transfersFailing &&
           std::chrono::steady_clock::now() - firstFailedTransfer >= STOP_WRITES_FOR &&
           !isRotationRunning();
}

bool LxFTDIController::setChipBaudRate(unsigned long baudRate) {
    if (chipBaudRate == baudRate) {
        return true;
    }
    const bool succeeded = FT_SetBaudRate(deviceHandle, static_cast<ULONG>(baudRate)) == FT_OK;
    noteTransfer(succeeded);
    chipBaudRate = succeeded ? baudRate : 0;
    return succeeded || SetFTDIError(FTDI_WRITE_ERROR);
}

bool LxFTDIController::isChipLost() const {
    const auto now = std::chrono::steady_clock::now();
    return (transfersFailing && now - firstFailedTransfer >= CHIP_LOST_AFTER) ||
           (readsFailing && now - firstFailedRead >= CHIP_LOST_AFTER);
}

unsigned char LxFTDIController::SetMaskBits(unsigned char current, unsigned char mask,
                                            unsigned char value) {
    return static_cast<unsigned char>((current & ~mask) | (value & mask));
}

void LxFTDIController::SetMaskBits(unsigned char mask, unsigned char value) {
    outputRegister = SetMaskBits(outputRegister, mask, value);
}

void LxFTDIController::Wait(int ms) {
    WaitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

void LxFTDIController::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::this_thread::sleep_until(deadline - WAKE_UP_MARGIN);
    // The sleep may end late by up to the margin: the rest is spun, so that
    // the deadline is kept to the microsecond.
    while (std::chrono::steady_clock::now() < deadline) {
    }
}

bool LxFTDIController::WaitUnlessStoppedUntil(std::chrono::steady_clock::time_point deadline) {
    RotationThreadState& state = *rotationOfThisThread;
    // Never cut shorter: a step pulse must stay long enough for the stepper
    // electronics to see it.
    const auto floor = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    if (deadline <= floor) {
        WaitUntil(deadline);
        return true;
    }
    // The deadline comes after the floor, so the floor needs no precision.
    std::this_thread::sleep_until(floor);
    // A wait on the condition costs tens of microseconds even when it has
    // nothing left to wait for: a step that ends this soon is not cut.
    const auto wakeUp = deadline - WAKE_UP_MARGIN;
    if (std::chrono::steady_clock::now() < wakeUp) {
        std::unique_lock<std::mutex> lock(asyncMutex());
        if (state.stopAsked.wait_until(lock, wakeUp, [&state] { return !state.running; })) {
            return false;
        }
    }
    WaitUntil(deadline);
    return true;
}

bool LxFTDIController::SetFTDIError(ENUM_ERROR error) {
    ftdiError = error;
    return false;
}

bool LxFTDIController::startRotation() {
    if (!deviceHandle) {
        plannedMove = PlannedMove::None;
        return SetFTDIError(FTDI_DEVICE_NOT_OPENED);
    }
    // One rotation at a time drives the chip, and a thread never joins itself.
    const bool refused =
        isOnRotationThread() || IsTurntableRotating() || plannedMove == PlannedMove::None;
    if (!refused) {
        // The move before has ended; its notice, if still to come, still comes.
        stopAndJoinRotation(false);
        if (Initialize()) {
            return StartRotationThread();
        }
        SetFTDIError(FTDI_INITIALIZE_ERROR);
    }
    plannedMove = PlannedMove::None;
    return false;
}

bool LxFTDIController::startEmptyMove() {
    if (!deviceHandle || isOnRotationThread() || IsTurntableRotating()) {
        return false;
    }
    stopAndJoinRotation(false);
    return launchRotationThread(&LxFTDIController::runEmptyMove);
}

void LxFTDIController::runEmptyMove() {
    // Nothing turned: the position stays where the last move left it.
    nextGlobalPositionInDegrees = globalPositionInDegrees;
    finishRotation();
}

bool LxFTDIController::StartRotationThread() {
    return launchRotationThread(&LxFTDIController::runMove);
}

bool LxFTDIController::launchRotationThread(void (LxFTDIController::*move)()) {
    keepLibraryLoaded();
    auto state = std::make_shared<RotationThreadState>();
    state->driver = this;
    state->startPositionInDegrees = globalPositionInDegrees;
    state->degreesPerStep = degreesPerStepInDirection();
    // The thread waits until its record, handle included, is in place: a
    // rotation that ends at once may be stopped from its own end-of-move call.
    // It keeps its record alive to its end, since it marks the end of its
    // notice there after the driver may have let go of it.
    std::promise<void> published;
    state->thread = std::thread(
        [this, move, state](std::future<void> ready) {
            ready.wait();
            keepSleepsShort();
            rotationOfThisThread = state.get();
            (this->*move)();
        },
        published.get_future());
    state->threadId = state->thread.get_id();
    transfersFailing = false;
    readsFailing = false;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        rotationState = std::move(state);
    }
    published.set_value();
    return true;
}

bool LxFTDIController::stopRotation() {
    if (!deviceHandle) {
        return SetFTDIError(FTDI_DEVICE_NOT_OPENED);
    }
    stopAndJoinRotation(true);
    return true;
}

void LxFTDIController::stopAndJoinRotation(bool dropNotice) {
    // Whoever takes the record out is the one that joins it.
    std::shared_ptr<RotationThreadState> state;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        state = std::move(rotationState);
        if (state) {
            state->running = false;
            state->noticeDropped = state->noticeDropped || dropNotice;
            state->stopAsked.notify_all();
        }
    }
    if (state) {
        if (state->threadId == std::this_thread::get_id()) {
            // Stopped from the end of this very rotation (the move-ended
            // handler reached the host): the thread touches nothing of the driver
            // after that call, so it may finish on its own.
            state->thread.detach();
        } else {
            // Joined below, or later when it cannot be now.
            std::lock_guard<std::mutex> lock(asyncMutex());
            endedRotations.push_back(std::move(state));
        }
    }
    joinEndedRotations(false);
}

void LxFTDIController::joinEndedRotations(bool driverGoes) {
    using Phase = RotationThreadState::Phase;
    std::vector<std::shared_ptr<RotationThreadState>> joinable;
    std::vector<std::shared_ptr<RotationThreadState>> notYet;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        for (std::shared_ptr<RotationThreadState>& state : endedRotations) {
            // The host's notice may be waiting for the caller (a host that
            // hands it to its own thread and blocks until it is taken), and a
            // notice still to come would: neither is waited for. What ends
            // by itself is.
            state->noticeDropped = state->noticeDropped || driverGoes;
            const bool endsByItself = state->phase == Phase::Done ||
                                      (state->noticeDropped && state->phase != Phase::Notifying);
            (endsByItself ? joinable : notYet).push_back(std::move(state));
        }
        endedRotations.clear();
        if (!driverGoes) {
            endedRotations = std::move(notYet);
        }
    }
    for (const std::shared_ptr<RotationThreadState>& state : joinable) {
        state->thread.join();
    }
    // The driver goes: these touch nothing of it once their notice is over.
    for (const std::shared_ptr<RotationThreadState>& state : notYet) {
        state->thread.detach();
    }
}

bool LxFTDIController::isOnRotationThread() const {
    return rotationOfThisThread && rotationOfThisThread->driver == this;
}

bool LxFTDIController::hasThisRotationLostChip() {
    return rotationOfThisThread && rotationOfThisThread->chipLost;
}

bool LxFTDIController::isOnAnyRotationThread() {
    return rotationOfThisThread != nullptr;
}

bool LxFTDIController::IsTurntableRotating() {
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationState && rotationState->running;
}

bool LxFTDIController::isRotationRunning() {
    // Off a rotation thread no rotation of this thread can be asked to end.
    if (!rotationOfThisThread) {
        return true;
    }
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationOfThisThread->running;
}

bool LxFTDIController::sleepBeforeNotice(std::chrono::milliseconds delay) {
    RotationThreadState* const state = rotationOfThisThread;
    const auto end = std::chrono::steady_clock::now() + delay;
    // In slices, so that a stop need not wait out a long settling time.
    constexpr std::chrono::milliseconds slice{5};
    for (;;) {
        if (state) {
            std::lock_guard<std::mutex> lock(asyncMutex());
            if (state->noticeDropped) {
                return false;
            }
        }
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return true;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, slice));
    }
}

bool LxFTDIController::beginHostNotice(const std::function<void()>& begin) {
    RotationThreadState* const state = rotationOfThisThread;
    std::lock_guard<std::mutex> lock(asyncMutex());
    if (state) {
        if (state->noticeDropped) {
            return false;
        }
        state->phase = RotationThreadState::Phase::Notifying;
    }
    begin();
    return true;
}

void LxFTDIController::endHostNotice() {
    if (RotationThreadState* const state = rotationOfThisThread) {
        std::lock_guard<std::mutex> lock(asyncMutex());
        state->phase = RotationThreadState::Phase::Ending;
    }
}

void LxFTDIController::publishStepsTaken(int steps) {
    const RotationThreadState& state = *rotationOfThisThread;
    publishPosition(std::fmod(state.startPositionInDegrees + steps * state.degreesPerStep,
                              DEGREES_PER_REVOLUTION));
}

void LxFTDIController::finishRotation() {
    globalPositionInDegrees = nextGlobalPositionInDegrees;
    publishPosition(globalPositionInDegrees);
    chipLost = isChipLost();
    RotationThreadState* const state = rotationOfThisThread;
    state->chipLost = chipLost;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        state->running = false;
        state->phase = RotationThreadState::Phase::Ending;
    }
    if (moveEnded) {
        // A copy: the driver, its handler with it, may go inside the call.
        const std::function<void()> handler = moveEnded;
        handler();
    }
    // The driver and the handler's owner may be gone by now (closed or
    // destroyed inside the host's notice): only the thread's own record is
    // touched.
    std::lock_guard<std::mutex> lock(asyncMutex());
    state->phase = RotationThreadState::Phase::Done;
}
