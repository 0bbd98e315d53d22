#ifndef PINPROTOCOLCHECKER_H
#define PINPROTOCOLCHECKER_H

#include <ftdisim/Clock.h>
#include <ftdisim/Trace.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// Replays what a motor driver really did to the pins of its chip and reports
// every break of the pin rules of the stepper or of the DC turntable, so that
// any test can check the driver's output instead of restating its code.
namespace pinprotocol {

// From the first event of the trace.
using Duration = ftdisim::Clock::duration;

struct Violation {
    // The offending event. For the state at a point of the trace (its end, or
    // a point the test marked) the number of events before that point.
    std::size_t event = 0;
    Duration at{};
    std::string text;
};

// All zero without samples.
struct DurationStats {
    Duration min{};
    Duration mean{};
    Duration max{};
};

struct ShutterPulse {
    Duration focusRise{};
    Duration releaseRise{};
    Duration fall{};
};

// What the DC table was told to run at the first start pulse after a load.
struct DcChunk {
    std::uint8_t nibble = 0;
    bool continuous = false;
    Duration start{};

    // The table's counter runs (15 - nibble) mod 16 counts, 0 meaning 16.
    int counts() const;
};

struct PinProtocolReport {
    std::vector<Violation> violations;

    // Stepper.
    int steps = 0;
    DurationStats stepHigh;
    // Between the steps of one train only: the wait before a move is not a step.
    DurationStats stepLow;
    std::vector<ShutterPulse> shutterPulses;

    // DC.
    std::vector<DcChunk> chunks;

    bool ok() const { return violations.empty(); }
};

// For `EXPECT_TRUE(report.ok()) << report`.
std::ostream& operator<<(std::ostream& out, const PinProtocolReport& report);

struct StepperExpectations {
    explicit StepperExpectations(std::chrono::milliseconds stepTime)
        : stepTime(stepTime) {}

    // The driver's step time: how long each step pulse must stay high.
    std::chrono::milliseconds stepTime;
    bool enableActiveHigh = true;
    // Unset: not checked. Set: whether the last level of the enable line
    // holds the motor (locked when idle) or releases it.
    std::optional<bool> lockWhenIdle;
    std::optional<int> steps;
    // The level of the direction line at every step.
    std::optional<bool> directionHigh;
    // The chip was unplugged: the pins stay as they were then, so the state
    // the trace ends in is not checked.
    bool cutOff = false;
    // The moves were stopped: the last pulse of a train may fall before the
    // step time, after 1 ms high at least. A step driver takes the step at the
    // rising edge; the high time only has to outlast its few microseconds.
    bool stopped = false;
};

struct DcExpectations {
    // Points of the trace, as numbers of events before them (the trace's size
    // when the test took it, say after a move), at which the table must be
    // idle. It must be at the end of the trace in any case.
    std::vector<std::size_t> idleAt;
    // The chip was unplugged: the end of the trace need not be idle.
    bool cutOff = false;
};

PinProtocolReport checkStepperProtocol(const ftdisim::Trace& trace,
                                       const StepperExpectations& expect);
PinProtocolReport checkDcProtocol(const ftdisim::Trace& trace, const DcExpectations& expect = {});

} // namespace pinprotocol

#endif
