#ifndef LXDCMOTOR_H
#define LXDCMOTOR_H

#include "LxFTDIController.h"

#include <chrono>

// Driver of the DC-motor turntable. Its electronics hold a four-bit counter
// loaded from the pins, a start input, a continuous-run input and a stopped
// output. A move is run in chunks of at most 16 counts: load a chunk, pulse
// start, wait until the table reports it has stopped, load the next one.
// The table has no direction line and no shutter output.
class LX_SDK_AUTOTEST_EXPORT LxDCMotor final : public LxFTDIController {
public:
    // Pins (direction mask 0xEF: all outputs but STOPPED_INPUT).
    enum : unsigned char {
        COUNT_NIBBLE = 0x0F,      // 15 minus the chunk's counts modulo 16
        STOPPED_INPUT = 0x10,     // 1 while the table stands still
        START_OUTPUT = 0x20,      // a 0-1-0 pulse starts the loaded chunk
        CONTINUOUS_OUTPUT = 0x40, // 1 runs without counting
        LOAD_OUTPUT = 0x80,       // a 0-to-1 edge loads the counter from the nibble
        PIN_DIRECTIONS = 0xEF
    };
    // The one-count pattern, used for continuous running and for stopping.
    static constexpr unsigned char IDLE_NIBBLE = 0x0E;
    // How long a table may stand after a start pulse before it is pulsed again.
    static constexpr std::chrono::milliseconds START_TIMEOUT{100};

    LxDCMotor() = default;
    ~LxDCMotor() override;

    // The DC table has no shutter output: false, nothing is written.
    bool triggerShutterRelease() override { return false; }
    // Nothing to prepare: true.
    bool Initialize() override { return true; }

    bool LoadCounters();
    bool ReadIsTurntableStopped();
    // Pulses start until the table reports that it runs, at most 100 times
    // (about 10 s); false if it never started, at once when the rotation is
    // asked to end or the chip is lost. The stopped line is watched
    // from each pulse on, so that a fast table, which runs a short chunk and
    // stands again well within START_TIMEOUT, is seen running and not pulsed
    // again: each chunk runs once, at any speed down to 10 ms per count.
    bool StartTurntable();

protected:
    unsigned char pinDirections() const override { return PIN_DIRECTIONS; }
    // The table idle: idle nibble loaded, start and continuous lines low.
    void writeOpeningPins() override;
    void runMove() override;

private:
    // During a move: a lost edge of the load or start line would run a chunk
    // other than the one counted.
    void sendRegister() { writeUntilTaken(outputRegister); }
    // Whether the table reported running since the start pulse just sent,
    // within START_TIMEOUT.
    bool hasStartedSincePulse();
    void loadChunk(unsigned char nibble, bool continuous);
    void runStopSequence();
    // Between two looks at the stopped line.
    static void pollPause();
    static constexpr std::chrono::milliseconds POLL_PERIOD{1};
};

#endif
