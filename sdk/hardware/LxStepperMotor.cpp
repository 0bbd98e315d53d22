#include "LxStepperMotor.h"

#include "ChipClockedStepTrain.h"

#include <chrono>
#include <vector>

LxStepperMotor::LxStepperMotor(int modelIndex)
    : modelIndex(modelIndex) {}

// The rotation thread runs this class's code: it ends before this part of the
// object does.
LxStepperMotor::~LxStepperMotor() {
    closeDevice();
}

void LxStepperMotor::writeOpeningPins() {
    SetMaskBits(FOCUS_OUTPUT | RELEASE_OUTPUT, 0);
    writeChipByte(outputRegister);
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

void LxStepperMotor::runMove() {
    stepsTaken = 0;
    // Composed once: settings changed during the move reach the pins after it.
    const unsigned char stepHigh = SetMaskBits(outputRegister, STEP_OUTPUT, 255);
    const unsigned char stepLow = SetMaskBits(outputRegister, STEP_OUTPUT, 0);
    // A chip that will not take the train's clock still takes single edges,
    // which must reach the pins as soon as the chip has them.
    const bool chipClocked =
        chipClockedStepTrains && setChipBaudRate(ChipClockedStepTrain::BAUD_RATE);
    if (!chipClocked) {
        setChipBaudRate(EDGE_BY_EDGE_BAUD_RATE);
    }
    const bool taken = chipClocked ? runChipClockedTrain(stepLow, stepHigh)
                                   : runEdgeByEdgeTrain(stepLow, stepHigh);
    if (taken && !lockMotorWhenIdle) {
        SetMaskBits(ENABLE_OUTPUT, enableLevel(false));
        writeChipByte(outputRegister);
    }
    finishRotation();
}

bool LxStepperMotor::runEdgeByEdgeTrain(unsigned char stepLow, unsigned char stepHigh) {
    using Clock = std::chrono::steady_clock;
    const int increment = rotationIncrementInCounts;
    const auto stepTime = std::chrono::milliseconds(rotationSpeed);
    constexpr auto lowTime = std::chrono::milliseconds(1);
    const bool continuous = increment == 0;

    // Each edge is due one phase after the write of the edge before returned:
    // the pins took that byte somewhere inside the write, and on a USB bus
    // that completes writes on its frames nothing surer tells when. So a
    // write held by the bus lengthens the phase after it and never shortens
    // one, as every phase is already the shortest the stepper electronics
    // take; a train that must keep P + 1 ms whatever the bus is the
    // chip-clocked one.
    Clock::time_point edge = Clock::now();
    // Initialize() wrote the enable and direction lines from the caller's
    // thread; when the chip did not take that write, they must reach the pins
    // before the first step edge, not with it.
    if (ftdiError != FTDI_NO_ERROR && !writeUntilTaken(stepLow, &edge)) {
        return false;
    }
    int remaining = increment;
    for (;;) {
        WaitUntil(edge + lowTime);
        // Both edges are sent until the pins take them, so that every pass is
        // one real step and the count stays honest; only a lost chip ends it.
        if (!writeUntilTaken(stepHigh, &edge)) {
            return false;
        }
        ++stepsTaken;
        // A stop cuts the high phase short: the stepper electronics took the
        // step at the rising edge, so it counts, and the line falls cleanly.
        const bool stopped = !WaitUnlessStoppedUntil(edge + stepTime);
        if (!writeUntilTaken(stepLow, &edge)) {
            return false;
        }
        const bool done = !continuous && --remaining == 0;
        if (stopped || done || !isRotationRunning()) {
            return true;
        }
    }
}

bool LxStepperMotor::runChipClockedTrain(unsigned char stepLow, unsigned char stepHigh) {
    ChipClockedStepTrain train(stepLow, stepHigh, rotationSpeed, rotationIncrementInCounts);
    // A stop is taken between blocks. What the chip still holds then, a
    // millisecond at most, goes out: at a step time of 0 a whole step is
    // shorter than the chip's buffer, so whatever a purge dropped could hold
    // an edge, and nothing the chip reports would tell whether it came out.
    // So every step handed to the chip is a step of the table.
    bool stopped = false;
    while (!stopped) {
        const std::vector<unsigned char>& block = train.nextBlock();
        if (block.empty()) {
            break;
        }
        if (!writeBytesUntilTaken(block.data(), block.size())) {
            // How far a dead chip got is not known: as far as it was given.
            stepsTaken = train.stepsHandedOut();
            return false;
        }
        stopped = !isRotationRunning();
    }
    stepsTaken = train.stepsHandedOut();
    if (stopped && !train.isHandedOut()) {
        planPositionAfterSteps(stepsTaken);
        // A pulse cut off here stays high a millisecond more: it may have
        // risen with the block's last byte, and the stepper electronics must
        // see it. Then the idle tail every train ends on.
        std::vector<unsigned char> end(
            train.endsHigh() ? ChipClockedStepTrain::BYTES_PER_MILLISECOND : 0, stepHigh);
        end.insert(end.end(), ChipClockedStepTrain::IDLE_TAIL_BYTES, stepLow);
        if (!writeBytesUntilTaken(end.data(), end.size())) {
            return false;
        }
    }
    return true;
}
