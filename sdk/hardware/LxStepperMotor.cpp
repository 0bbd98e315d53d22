#include "LxStepperMotor.h"

#include <ftd2xx.h>

#include <climits>

LxStepperMotor::LxStepperMotor(int modelIndex)
    : modelIndex(modelIndex) {}

// The rotation thread runs this class's code: it ends before this part of the
// object does.
LxStepperMotor::~LxStepperMotor() {
    closeDevice();
}

bool LxStepperMotor::openDevice(int index, std::wstring* message) {
    if (!LxFTDIController::openDevice(index, message)) {
        return false;
    }
    FT_SetBitMode(deviceHandle, PIN_DIRECTIONS, FT_BITMODE_RESET);
    Wait(10);
    FT_SetBitMode(deviceHandle, PIN_DIRECTIONS, FT_BITMODE_ASYNC_BITBANG);
    SetMaskBits(FOCUS_OUTPUT | RELEASE_OUTPUT, 0);
    writeChipByte(outputRegister);
    return true;
}

unsigned char LxStepperMotor::enableLevel(bool enabled) const {
    return enabled == motorEnableActiveHigh ? 255 : 0;
}

bool LxStepperMotor::Initialize() {
    if (rotationDirection != DIRECTION_CLOCKWISE &&
        rotationDirection != DIRECTION_COUNTERCLOCKWISE) {
        return SetFTDIError(FTDI_DIRECTION_ERROR);
    }
    const bool clockwise = rotationDirection == DIRECTION_CLOCKWISE;
    SetMaskBits(DIRECTION_OUTPUT, clockwise == clockwiseActiveHigh ? 255 : 0);
    SetMaskBits(ENABLE_OUTPUT, enableLevel(true));
    SetMaskBits(AUXILIARY_OUTPUT, auxiliaryOutputHigh ? 255 : 0);
    SetMaskBits(FOCUS_OUTPUT | RELEASE_OUTPUT, 0);
    writeChipByte(outputRegister);
    return true;
}

bool LxStepperMotor::StartRotationThread() {
    return launchRotationThread(&LxStepperMotor::rotationThread);
}

bool LxStepperMotor::triggerShutterRelease() {
    // The chip has one writer at a time: a running move owns it.
    if (!isDeviceOpened() || IsTurntableRotating()) {
        return false;
    }
    // A write the pins did not take (the chip was unplugged) means no picture.
    bool taken = true;
    const auto send = [this, &taken] {
        writeChipByte(outputRegister);
        taken = taken && ftdiError == FTDI_NO_ERROR;
    };
    SetMaskBits(FOCUS_OUTPUT, 255);
    send();
    Wait(500);
    SetMaskBits(RELEASE_OUTPUT, 255);
    send();
    Wait(500);
    SetMaskBits(FOCUS_OUTPUT | RELEASE_OUTPUT, 0);
    send();
    return taken;
}

void LxStepperMotor::rotationThread(LxFTDIController* controller) {
    auto* driver = static_cast<LxStepperMotor*>(controller);
    const int increment = driver->rotationIncrementInCounts;
    // Beyond INT_MAX a step time would turn negative and run at full speed.
    const int stepTime = driver->rotationSpeed > static_cast<unsigned int>(INT_MAX)
                             ? INT_MAX
                             : static_cast<int>(driver->rotationSpeed);
    const bool continuous = increment == 0;
    // Composed once: settings changed during the move reach the pins after it.
    const unsigned char stepHigh = SetMaskBits(driver->outputRegister, STEP_OUTPUT, 255);
    const unsigned char stepLow = SetMaskBits(driver->outputRegister, STEP_OUTPUT, 0);

    int remaining = increment;
    for (;;) {
        Wait(1);
        // Only a rising edge that reached the pins is a step: a write that
        // failed is counted as none, so the move still makes all its steps.
        driver->writeChipByte(stepHigh);
        const bool stepped = driver->ftdiError == FTDI_NO_ERROR;
        Wait(stepTime);
        // The line must be low again before the next edge can be a step.
        driver->writeUntilTaken(stepLow);
        const bool done = !continuous && stepped && --remaining == 0;
        if (!driver->isRotationRunning() || done || driver->isChipLost()) {
            break;
        }
    }
    if (!driver->lockMotorWhenIdle) {
        driver->SetMaskBits(ENABLE_OUTPUT, driver->enableLevel(false));
        driver->writeChipByte(driver->outputRegister);
    }
    driver->finishRotation();
}
