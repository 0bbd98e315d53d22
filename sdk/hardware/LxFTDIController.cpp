#include "LxFTDIController.h"

#include "LxAbstractPlugin.h"
#include "LxKalveraTurntableControl.h"

#include <ftd2xx.h>

#include <cstring>
#include <future>
#include <vector>

namespace {

std::mutex& asyncMutex() {
    return LxAbstractPlugin::AbstractPluginPrivate::asyncMutex;
}

// The rotation that runs on this thread, if any. The thread reaches its own
// record through it: the driver's member may already have been handed to a
// thread that stops the rotation.
thread_local RotationThreadState* rotationOfThisThread = nullptr;

const wchar_t* openFailureText(FT_STATUS status) {
    switch (status) {
    case FT_INVALID_HANDLE:
        return L"Invalid handle.";
    case FT_DEVICE_NOT_FOUND:
        return L"Device not found";
    case FT_DEVICE_NOT_OPENED:
        return L"Device not opened";
    case FT_IO_ERROR:
        return L"IO Error";
    case FT_INSUFFICIENT_RESOURCES:
        return L"Insufficient resources";
    default:
        return nullptr;
    }
}

} // namespace

LxFTDIController::LxFTDIController() = default;

LxFTDIController::~LxFTDIController() {
    closeDevice();
}

bool LxFTDIController::openDevice(int index, std::wstring* message) {
    if (index == -1) {
        if (message) {
            *message = L"No available device found.";
        }
        return false;
    }
    FT_HANDLE handle = nullptr;
    const FT_STATUS status = FT_Open(index, &handle);
    if (status != FT_OK) {
        if (message) {
            if (const wchar_t* text = openFailureText(status)) {
                *message = text;
            }
        }
        deviceHandle = nullptr;
        return false;
    }
    deviceHandle = handle;
    chipLost = false;
    FT_SetBaudRate(deviceHandle, 1000000);
    FT_SetLatencyTimer(deviceHandle, 2);
    return true;
}

int LxFTDIController::availableDeviceIndex(const char* searchText) {
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK || count == 0) {
        return -1;
    }
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    FT_GetDeviceInfoList(nodes.data(), &count);
    const DWORD listed = count < nodes.size() ? count : static_cast<DWORD>(nodes.size());
    for (DWORD i = 0; i < listed; ++i) {
        const FT_DEVICE_LIST_INFO_NODE& node = nodes[i];
        if (node.Flags & FT_FLAGS_OPENED) {
            continue;
        }
        // The description need not be terminated by a misbehaving library.
        const std::string description(node.Description,
                                      strnlen(node.Description, sizeof node.Description));
        if (description.find(searchText) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void LxFTDIController::closeDevice() {
    stopAndJoinRotation();
    if (deviceHandle) {
        FT_Close(deviceHandle);
    }
    deviceHandle = nullptr;
}

void LxFTDIController::writeChipByte(unsigned char byte) {
    FT_Purge(deviceHandle, FT_PURGE_TX);
    DWORD written = 0;
    const FT_STATUS status = FT_Write(deviceHandle, &byte, 1, &written);
    const bool succeeded = status == FT_OK && written == 1;
    ftdiError = succeeded ? FTDI_NO_ERROR : FTDI_WRITE_ERROR;
    noteTransfer(succeeded);
}

unsigned char LxFTDIController::readChipByte(unsigned char mask) {
    unsigned char byte = 0;
    FT_Purge(deviceHandle, FT_PURGE_RX);
    DWORD read = 0;
    const FT_STATUS status = FT_Read(deviceHandle, &byte, 1, &read);
    const bool succeeded = status == FT_OK;
    ftdiError = succeeded ? FTDI_NO_ERROR : FTDI_READ_ERROR;
    noteTransfer(succeeded);
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

bool LxFTDIController::writeUntilTaken(unsigned char byte) {
    for (;;) {
        writeChipByte(byte);
        if (ftdiError == FTDI_NO_ERROR) {
            return true;
        }
        if (isChipLost()) {
            return false;
        }
        Wait(1);
    }
}

bool LxFTDIController::isChipLost() const {
    return transfersFailing &&
           std::chrono::steady_clock::now() - firstFailedTransfer >= CHIP_LOST_AFTER;
}

unsigned char LxFTDIController::SetMaskBits(unsigned char current, unsigned char mask,
                                            unsigned char value) {
    return static_cast<unsigned char>((current & ~mask) | (value & mask));
}

void LxFTDIController::SetMaskBits(unsigned char mask, unsigned char value) {
    outputRegister = SetMaskBits(outputRegister, mask, value);
}

void LxFTDIController::Wait(int ms) {
    const auto start = std::chrono::steady_clock::now();
    const auto duration = std::chrono::milliseconds(ms);
    // Whole elapsed milliseconds, as the protocol's timing is stated in them.
    while (std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start) < duration) {
    }
}

bool LxFTDIController::WaitUnlessStopped(int ms) {
    using std::chrono::milliseconds;
    const auto start = std::chrono::steady_clock::now();
    const auto duration = milliseconds(ms);
    // Once a millisecond: the flag's lock is shared with the caller's thread.
    auto nextLook = start + milliseconds(1);
    for (auto now = start; std::chrono::duration_cast<milliseconds>(now - start) < duration;
         now = std::chrono::steady_clock::now()) {
        if (now >= nextLook) {
            if (!isRotationRunning()) {
                return false;
            }
            nextLook = now + milliseconds(1);
        }
    }
    return true;
}

bool LxFTDIController::SetFTDIError(ENUM_ERROR error) {
    ftdiError = error;
    return false;
}

bool LxFTDIController::startRotation() {
    if (!deviceHandle) {
        return SetFTDIError(FTDI_DEVICE_NOT_OPENED);
    }
    if (isOnRotationThread() || IsTurntableRotating()) {
        // One rotation at a time drives the chip, and a thread never joins itself.
        return false;
    }
    stopAndJoinRotation();
    if (plannedMove == PlannedMove::None) {
        return false;
    }
    if (!Initialize()) {
        return SetFTDIError(FTDI_INITIALIZE_ERROR);
    }
    return StartRotationThread();
}

bool LxFTDIController::launchRotationThread(void (*rotationFunction)(LxFTDIController*)) {
    auto state = std::make_unique<RotationThreadState>();
    RotationThreadState* const record = state.get();
    // The thread waits until its record, handle included, is in place: a
    // rotation that ends at once may be stopped from its own end-of-move call.
    std::promise<void> published;
    state->thread = std::thread(
        [this, rotationFunction, record](std::future<void> ready) {
            ready.wait();
            rotationOfThisThread = record;
            rotationFunction(this);
        },
        published.get_future());
    state->threadId = state->thread.get_id();
    transfersFailing = false;
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
    stopAndJoinRotation();
    return true;
}

void LxFTDIController::stopAndJoinRotation() {
    // Whoever takes the record out is the one that joins it.
    std::unique_ptr<RotationThreadState> state;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        state = std::move(rotationState);
        if (state) {
            state->running = false;
        }
    }
    if (!state) {
        return;
    }
    if (state->threadId == std::this_thread::get_id()) {
        // Stopped from the end of this very rotation (the owner's handler
        // reached the host): the thread touches nothing after that call, so
        // it may finish on its own.
        state->thread.detach();
    } else {
        state->thread.join();
    }
}

bool LxFTDIController::isOnRotationThread() {
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationState && rotationState->threadId == std::this_thread::get_id();
}

bool LxFTDIController::IsTurntableRotating() {
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationState && rotationState->running;
}

bool LxFTDIController::isRotationRunning() {
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationOfThisThread->running;
}

void LxFTDIController::finishRotation() {
    globalPositionInDegrees = nextGlobalPositionInDegrees;
    chipLost = isChipLost();
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        rotationOfThisThread->running = false;
    }
    if (owner) {
        owner->turntableRotationStoppedHelper();
    }
}
