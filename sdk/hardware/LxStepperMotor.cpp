#include "LxStepperMotor.h"

#include "ChipClockedStepTrain.h"
#include "RaisedSchedulingPriority.h"

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

// A motor held after a shoot, which holds it throughout, would stay held
// after the program has gone; a close releases it unless the settings ask
// for it to be locked when idle.
void LxStepperMotor::writeClosingPins() {
    const unsigned char released = SetMaskBits(outputRegister, ENABLE_OUTPUT, enableLevel(false));
    if (!lockMotorWhenIdle && released != outputRegister) {
        outputRegister = released;
        writeChipByte(outputRegister);
    }
}

unsigned char LxStepperMotor::enableLevel(bool enabled) const {
    return enabled == motorEnableActiveHigh ? 255 : 0;
}

void LxStepperMotor::probeChip() {
    byteClockReading = measureByteClock(outputRegister);
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
    // A chip-clocked train sets these lines with its first byte, exactly its
    // first millisecond before the first step; written from here they would
    // reach the pins a USB frame or more before the train.
    trainPlanned = runsChipClockedStepTrains();
    linesPending = trainPlanned;
    if (!linesPending) {
        writeChipByte(outputRegister);
        linesPending = ftdiError != FTDI_NO_ERROR;
    }
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
        trainPlanned && setChipBaudRate(ChipClockedStepTrain::baudRateFor(byteClockReading.factor));
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
    // thread, unless the move was to be a chip-clocked train; when they are
    // not on the pins yet, they must reach them a low phase before the first
    // step edge, not with it.
    if (linesPending && !writeUntilTaken(stepLow, &edge)) {
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
        publishStepsTaken(stepsTaken);
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
    // A block that comes after the chip has clocked out the one before
    // stretches a phase: the table stutters. The thread sleeps in its writes,
    // so running it first costs the machine nothing.
    const RaisedSchedulingPriority raised;
    // A stop is taken between blocks. What the chip still holds then, a
    // millisecond at most, goes out: at a step time of 0 a whole step is
    // shorter than the chip's buffer, so whatever a purge dropped could hold
    // an edge, and nothing the chip reports would tell whether it came out.
    // So every step handed to the chip is a step of the table.
    bool stopped = false;
    // Whether the last byte the chip took holds the step line high.
    bool endsHigh = false;
    for (;;) {
        const int stepsBefore = train.stepsHandedOut();
        const std::vector<unsigned char>& block = train.nextBlock();
        if (block.empty()) {
            break;
        }
        const std::size_t taken = writeBytesUntilTaken(block.data(), block.size());
        // Only what the chip took reaches the pins: its rising edges are the
        // steps, and the train is not sent again from where a write failed.
        stepsTaken = stepsBefore + risingEdges(block.data(), taken, endsHigh, stepHigh);
        publishStepsTaken(stepsTaken);
        endsHigh = taken > 0 ? block[taken - 1] == stepHigh : endsHigh;
        // Short only once the writes were given up, after a stop or with
        // the chip lost: the move ends where what the chip took put the table.
        if (taken < block.size()) {
            stopped = true;
            break;
        }
        if (!isRotationRunning()) {
            stopped = !train.isHandedOut();
            break;
        }
    }
    if (stopped) {
        planPositionAfterSteps(stepsTaken);
        if (isChipLost()) {
            return false;
        }
        // A pulse cut off here stays high a millisecond more: it may have
        // risen with the last byte taken, and the stepper electronics must
        // see it. Then the idle tail every train ends on.
        std::vector<unsigned char> end(endsHigh ? ChipClockedStepTrain::BYTES_PER_MILLISECOND : 0,
                                       stepHigh);
        end.insert(end.end(), ChipClockedStepTrain::IDLE_TAIL_BYTES, stepLow);
        if (writeBytesUntilTaken(end.data(), end.size()) < end.size()) {
            return false;
        }
    }
    return true;
}

int LxStepperMotor::risingEdges(const unsigned char* bytes, std::size_t count, bool fromHigh,
                                unsigned char stepHigh) {
    int edges = 0;
    bool high = fromHigh;
    for (std::size_t i = 0; i < count; ++i) {
        const bool nowHigh = bytes[i] == stepHigh;
        edges += nowHigh && !high ? 1 : 0;
        high = nowHigh;
    }
    return edges;
}
