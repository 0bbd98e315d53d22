#include "LxDCMotor.h"

#include <chrono>
#include <thread>

// The rotation thread runs this class's code: it ends before this part of the
// object does.
LxDCMotor::~LxDCMotor() {
    closeDevice();
}

void LxDCMotor::writeOpeningPins() {
    SetMaskBits(START_OUTPUT, 0);
    SetMaskBits(CONTINUOUS_OUTPUT, 0);
    SetMaskBits(COUNT_NIBBLE, IDLE_NIBBLE);
    // Not sendRegister(): outside a move a dead chip must not hold the caller.
    SetMaskBits(LOAD_OUTPUT, 0);
    writeChipByte(outputRegister);
    SetMaskBits(LOAD_OUTPUT, 255);
    writeChipByte(outputRegister);
}

bool LxDCMotor::LoadCounters() {
    SetMaskBits(LOAD_OUTPUT, 0);
    sendRegister();
    SetMaskBits(LOAD_OUTPUT, 255);
    sendRegister();
    return true;
}

bool LxDCMotor::ReadIsTurntableStopped() {
    return readChipByte(STOPPED_INPUT) != 0;
}

bool LxDCMotor::StartTurntable() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        SetMaskBits(START_OUTPUT, 0);
        sendRegister();
        SetMaskBits(START_OUTPUT, 255);
        sendRegister();
        SetMaskBits(START_OUTPUT, 0);
        sendRegister();
        if (hasStartedSincePulse()) {
            return true;
        }
        // A table that never starts must not hold a stop for 100 pulses.
        if (isChipLost() || !isRotationRunning()) {
            return false;
        }
    }
    return false;
}

bool LxDCMotor::hasStartedSincePulse() {
    // Watched from the pulse on, not looked at once when the table has had
    // time to start: a fast table runs a short chunk and stands again well
    // within that time, and pulsing it again would run the chunk twice.
    const auto pulsed = std::chrono::steady_clock::now();
    for (;;) {
        if (!ReadIsTurntableStopped()) {
            return true;
        }
        if (std::chrono::steady_clock::now() - pulsed >= START_TIMEOUT || isChipLost()) {
            return false;
        }
        pollPause();
    }
}

void LxDCMotor::loadChunk(unsigned char nibble, bool continuous) {
    SetMaskBits(COUNT_NIBBLE, nibble);
    sendRegister();
    LoadCounters();
    SetMaskBits(CONTINUOUS_OUTPUT, continuous ? 255 : 0);
    sendRegister();
}

void LxDCMotor::pollPause() {
    // The table's marks come tens of milliseconds apart: a poll needs no
    // busy-waited precision, and a sleep leaves the processor to others.
    std::this_thread::sleep_for(POLL_PERIOD);
}

void LxDCMotor::runStopSequence() {
    for (int pass = 0; pass < 20; ++pass) {
        loadChunk(IDLE_NIBBLE, false);
        // A chip that refuses the stop's writes would hold the stop for a
        // read and a USB timeout a pass.
        if (shouldGiveUpWriting()) {
            return;
        }
        Wait(100);
        if (ReadIsTurntableStopped() || isChipLost()) {
            return;
        }
    }
}

void LxDCMotor::runMove() {
    const int increment = rotationIncrementInCounts;
    const bool continuous = increment == 0;
    int remaining = increment;
    int chunk = 0;
    bool done = false;

    SetMaskBits(CONTINUOUS_OUTPUT, 0);
    sendRegister();
    for (;;) {
        if (ReadIsTurntableStopped()) {
            if (continuous) {
                loadChunk(IDLE_NIBBLE, true);
                StartTurntable();
            } else {
                // The chunk started last has been run.
                remaining -= chunk;
                publishStepsTaken(increment - remaining);
                if (remaining > 0) {
                    // The counter runs (15 - nibble) mod 16 counts, 0 meaning 16.
                    chunk = remaining % 16;
                    loadChunk(static_cast<unsigned char>(15 - chunk), false);
                    if (chunk == 0) {
                        chunk = 16;
                    }
                    StartTurntable();
                } else {
                    done = true;
                }
            }
        }
        const bool running = isRotationRunning();
        pollPause();
        // A chip that no longer answers would keep this loop polling forever.
        if (!running || done || isChipLost()) {
            break;
        }
    }
    runStopSequence();
    finishRotation();
}
