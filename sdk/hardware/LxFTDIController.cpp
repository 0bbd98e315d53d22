#include "LxFTDIController.h"

#include "LxAbstractPlugin.h"
#include "LxKalveraTurntableControl.h"

#include <ftd2xx.h>

#include <cstring>
#include <vector>

namespace {

std::mutex& asyncMutex() {
    return LxAbstractPlugin::AbstractPluginPrivate::asyncMutex;
}

// The driver whose rotation runs on this thread, if any: such a thread must
// never join itself.
thread_local const LxFTDIController* rotatingDriverOfThisThread = nullptr;

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

bool LxFTDIController::SetFTDIError(ENUM_ERROR error) {
    ftdiError = error;
    return false;
}

bool LxFTDIController::startRotation() {
    if (!deviceHandle) {
        return SetFTDIError(FTDI_DEVICE_NOT_OPENED);
    }
    if (rotatingDriverOfThisThread == this || IsTurntableRotating()) {
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
    // The record is in place, running, before the thread first looks at it.
    rotationState = std::make_unique<RotationThreadState>();
    transfersFailing = false;
    rotationState->thread = std::thread([this, rotationFunction] {
        rotatingDriverOfThisThread = this;
        rotationFunction(this);
    });
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
    if (!rotationState) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        rotationState->running = false;
    }
    if (rotatingDriverOfThisThread == this) {
        // Called back from the end of this very rotation (the owner's handler
        // reached the host, which stops or closes): the thread touches nothing
        // of the driver after that call, so it may finish on its own.
        rotationState->thread.detach();
    } else if (rotationState->thread.joinable()) {
        rotationState->thread.join();
    }
    rotationState.reset();
}

bool LxFTDIController::IsTurntableRotating() {
    if (!rotationState) {
        return false;
    }
    return isRotationRunning();
}

bool LxFTDIController::isRotationRunning() {
    std::lock_guard<std::mutex> lock(asyncMutex());
    return rotationState->running;
}

void LxFTDIController::finishRotation() {
    globalPositionInDegrees = nextGlobalPositionInDegrees;
    {
        std::lock_guard<std::mutex> lock(asyncMutex());
        rotationState->running = false;
    }
    if (owner) {
        owner->turntableRotationStoppedHelper();
    }
}
