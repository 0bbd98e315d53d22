#include "PinProtocolChecker.h"

#include "TurntablePins.h"

#include <ftd2xx.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

namespace pinprotocol {

namespace {

using ftdisim::Trace;
using ftdisim::TraceEvent;
using namespace std::chrono_literals;

using namespace turntablepins;

constexpr Duration kStepLowMin = 1ms;
constexpr Duration kStoppedStepHighMin = 1ms;
constexpr Duration kFocusBeforeRelease = 500ms;
constexpr Duration kReleaseHeld = 500ms;

struct Line {
    std::uint8_t mask;
    const char* name;
};

constexpr Line kStepperLines[] = {
    {kEnable, "enable"},        {kDirection, "direction"},  {kStep, "step"},
    {kAuxiliary, "auxiliary"},  {kFocus, "focus"},          {kRelease, "release"},
    {0x40, "unused line 0x40"}, {0x80, "unused line 0x80"},
};
constexpr Line kDcLines[] = {
    {kNibble, "count nibble"}, {kStart, "start"}, {kContinuous, "continuous"}, {kLoad, "load"}};

template <std::size_t N>
std::string lineNames(unsigned lines, const Line (&names)[N]) {
    std::string text;
    for (const Line& line : names) {
        if (lines & line.mask) {
            text += text.empty() ? "" : " and ";
            text += line.name;
        }
    }
    return text;
}

std::string ms(Duration duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms",
                  std::chrono::duration<double, std::milli>(duration).count());
    return text;
}

std::string hex(unsigned byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte & 0xFF);
    return text;
}

class DurationSampler {
public:
    void add(Duration duration) {
        range.min = samples == 0 ? duration : std::min(range.min, duration);
        range.max = std::max(range.max, duration);
        sum += duration;
        ++samples;
    }
    DurationStats stats() const {
        DurationStats result = range;
        result.mean = samples == 0 ? Duration{} : sum / samples;
        return result;
    }

private:
    DurationStats range;
    Duration sum{};
    Duration::rep samples = 0;
};

// Walks a trace the way the pins saw it and hands each change to the rules
// of one driver.
class Replay {
public:
    virtual ~Replay() = default;

    PinProtocolReport run() {
        std::uint8_t levels = 0;
        for (position = 0; position < trace.events.size(); ++position) {
            beforeEvent(levels);
            const TraceEvent& event = trace.events[position];
            switch (event.kind) {
            case TraceEvent::Kind::SetBitMode:
                if (event.status == FT_OK && event.mode == FT_BITMODE_ASYNC_BITBANG &&
                    event.value != driverMask) {
                    report("bit-bang mode with direction mask " + hex(event.value) +
                           " instead of the driver's " + hex(driverMask));
                }
                break;
            case TraceEvent::Kind::Write:
                // A failed write leaves the pins as they were.
                // A byte of a block that repeats the level before it only
                // holds the pins for another tick of the chip's clock.
                if (event.applied) {
                    const auto after = static_cast<std::uint8_t>(event.value & driverMask);
                    if (!event.continued || after != levels) {
                        written(levels, after);
                    }
                    levels = after;
                }
                break;
            case TraceEvent::Kind::Read:
                // A failed read returns 0, so it never saw the table stopped.
                looked(event.value);
                break;
            case TraceEvent::Kind::Purge:
                break;
            }
        }
        if (trace.dropped > 0) {
            report("incomplete trace: " + std::to_string(trace.dropped) +
                   " later events were dropped");
        }
        ended(levels);
        return std::move(result);
    }

protected:
    Replay(const Trace& trace, std::uint8_t driverMask)
        : trace(trace)
        , driverMask(driverMask) {}

    // The levels are those of the driver's output pins; its input pins read 0.
    virtual void beforeEvent(std::uint8_t /*levels*/) {}
    virtual void written(std::uint8_t before, std::uint8_t after) = 0;
    virtual void looked(std::uint8_t /*pins*/) {}
    virtual void ended(std::uint8_t levels) = 0;

    std::size_t position = 0;
    PinProtocolReport result;

    Duration now() const {
        if (trace.events.empty()) {
            return {};
        }
        const std::size_t last = std::min(position, trace.events.size() - 1);
        return trace.events[last].time - trace.events.front().time;
    }
    void report(std::string text) {
        result.violations.push_back({position, now(), std::move(text)});
    }
    void report(Violation violation) { result.violations.push_back(std::move(violation)); }

private:
    const Trace& trace;
    std::uint8_t driverMask;
};

class StepperChecker final : public Replay {
public:
    StepperChecker(const Trace& trace, const StepperExpectations& expect)
        : Replay(trace, kStepperMask)
        , expect(expect) {}

private:
    void written(std::uint8_t before, std::uint8_t after) override {
        const unsigned rose = after & ~before;
        const unsigned fell = before & ~after;
        const unsigned changed = before ^ after;
        if (rose & kUnused) {
            report(lineNames(rose & kUnused, kStepperLines) + " driven high");
        }
        // Both bytes of a pulse are composed once per move: another line moving
        // here is a setting leaking into the step train.
        if (((before | after) & kStep) && (changed & ~kStep)) {
            report(lineNames(changed & ~kStep, kStepperLines) +
                   " changed in a write of a step pulse");
        }
        if (rose & kStep) {
            stepped(after);
        } else if (fell & kStep) {
            stepEnded();
        } else {
            // Between the pulses of one train the driver writes nothing else;
            // such a write is how the next move starts.
            trainStepFell.reset();
            cutPulse.reset();
        }
        shutter(after, rose, fell);
    }

    void stepped(std::uint8_t pins) {
        if (cutPulse) {
            // Not the last pulse of its train after all.
            report(std::move(*cutPulse));
            cutPulse.reset();
        }
        ++result.steps;
        if (!enabled(pins)) {
            report("step with the motor disabled");
        }
        if (!(pins & kAuxiliary)) {
            report("step with the auxiliary line low");
        }
        if (pins & kShutter) {
            report("step while the shutter release is pressed");
        }
        const bool directionHigh = pins & kDirection;
        if (expect.directionHigh && directionHigh != *expect.directionHigh) {
            report(directionHigh ? "step with the direction line high"
                                 : "step with the direction line low");
        }
        if (trainStepFell) {
            const Duration low = now() - *trainStepFell;
            lowTimes.add(low);
            if (low < kStepLowMin) {
                report("step line low for " + ms(low) + " between steps, less than " +
                       ms(kStepLowMin));
            }
        }
        stepRose = now();
    }

    void stepEnded() {
        const Duration high = now() - stepRose;
        highTimes.add(high);
        if (high < expect.stepTime) {
            const std::string text = "step line high for " + ms(high) +
                                     ", less than the step time of " + ms(expect.stepTime);
            if (expect.stopped && high >= kStoppedStepHighMin) {
                cutPulse = Violation{position, now(), text};
            } else {
                report(text);
            }
        }
        trainStepFell = now();
    }

    void shutter(std::uint8_t pins, unsigned rose, unsigned fell) {
        if (rose & kFocus) {
            focusRise = now();
            releaseRise.reset();
        }
        if (rose & kRelease) {
            if (!(pins & kFocus)) {
                report("release line rose with the focus line low");
            } else if (now() - focusRise < kFocusBeforeRelease) {
                report("release line rose " + ms(now() - focusRise) +
                       " after the focus line, less than " + ms(kFocusBeforeRelease));
            }
            releaseRise = now();
        }
        if (!(fell & kShutter)) {
            return;
        }
        if (pins & kShutter) {
            report("shutter lines fell in separate writes");
        } else if (!releaseRise) {
            report("focus line fell without a release");
        } else if (fell == kShutter) {
            if (now() - *releaseRise < kReleaseHeld) {
                report("shutter lines fell " + ms(now() - *releaseRise) +
                       " after the release line rose, less than " + ms(kReleaseHeld));
            }
            result.shutterPulses.push_back({focusRise, *releaseRise, now()});
        }
    }

    void ended(std::uint8_t levels) override {
        if (levels & kStep && !expect.cutOff) {
            report("step line still high at the end");
        }
        if (levels & kShutter && !expect.cutOff) {
            report("shutter release still pressed at the end");
        }
        if (expect.lockWhenIdle && !expect.cutOff && enabled(levels) != *expect.lockWhenIdle) {
            report(*expect.lockWhenIdle ? "motor released at the end though locked when idle"
                                        : "motor still enabled at the end");
        }
        if (expect.steps && result.steps != *expect.steps) {
            report(std::to_string(result.steps) + " steps instead of " +
                   std::to_string(*expect.steps));
        }
        result.stepHigh = highTimes.stats();
        result.stepLow = lowTimes.stats();
    }

    bool enabled(std::uint8_t pins) const {
        return bool(pins & kEnable) == expect.enableActiveHigh;
    }

    const StepperExpectations& expect;
    Duration stepRose{};
    // Empty until the first step of the current train has ended.
    std::optional<Duration> trainStepFell;
    // A pulse of a stopped move that fell early: a violation unless it is the
    // last of its train.
    std::optional<Violation> cutPulse;
    DurationSampler highTimes;
    DurationSampler lowTimes;
    Duration focusRise{};
    // Empty until the release line rises in the current press.
    std::optional<Duration> releaseRise;
};

class DcChecker final : public Replay {
public:
    DcChecker(const Trace& trace, const DcExpectations& expect)
        : Replay(trace, kDcMask)
        , expect(expect) {}

private:
    void beforeEvent(std::uint8_t levels) override {
        if (std::find(expect.idleAt.begin(), expect.idleAt.end(), position) !=
            expect.idleAt.end()) {
            checkIdle(levels);
        }
    }

    void written(std::uint8_t before, std::uint8_t after) override {
        const unsigned rose = after & ~before;
        const unsigned changed = before ^ after;
        // The table samples its inputs at the start edge and while it starts.
        if (((before | after) & kStart) && (changed & ~kStart)) {
            report(lineNames(changed & ~kStart, kDcLines) + " changed in a write of a start pulse");
        }
        if (changed & kNibble) {
            nibbleLoaded = false;
        }
        if (rose & kLoad) {
            // A nibble that changes with the load edge may or may not be what
            // the counter took.
            nibbleLoaded = !(changed & kNibble);
            counter = after & kNibble;
            pulsedSinceLoad = false;
        }
        if (rose & kStart) {
            started(after);
        }
    }

    void started(std::uint8_t pins) {
        if (!nibbleLoaded) {
            report("start pulse without a load of count nibble " + hex(pins & kNibble));
        }
        if (!pulsedSinceLoad) {
            if (counter) {
                result.chunks.push_back({*counter, bool(pins & kContinuous), now()});
            }
        } else if (!sawStopped) {
            // Pulsing a table that runs would add counts to the move.
            report("start pulsed again though no read saw the table stopped since the last pulse");
        }
        pulsedSinceLoad = true;
        sawStopped = false;
    }

    void looked(std::uint8_t pins) override {
        if (pins & kStopped) {
            sawStopped = true;
        }
    }

    void ended(std::uint8_t levels) override {
        if (!expect.cutOff) {
            checkIdle(levels);
        }
    }

    void checkIdle(std::uint8_t levels) {
        if (!counter) {
            report("not idle: counter never loaded");
        } else if (*counter != kIdleNibble) {
            report("not idle: counter last loaded with " + hex(*counter) + " instead of " +
                   hex(kIdleNibble));
        }
        if (levels & kContinuous) {
            report("not idle: continuous line high");
        }
        if (levels & kStart) {
            report("not idle: start line high");
        }
    }

    const DcExpectations& expect;
    // Whether the nibble on the pins is the one the counter took.
    bool nibbleLoaded = false;
    std::optional<std::uint8_t> counter;
    bool pulsedSinceLoad = false;
    bool sawStopped = false;
};

std::string describe(const DurationStats& stats) {
    return "min " + ms(stats.min) + ", mean " + ms(stats.mean) + ", max " + ms(stats.max);
}

} // namespace

int DcChunk::counts() const {
    const int counts = 15 - (nibble & kNibble);
    return counts == 0 ? 16 : counts;
}

std::ostream& operator<<(std::ostream& out, const PinProtocolReport& report) {
    // A broken step train breaks a rule at every step.
    constexpr std::size_t kShown = 20;
    out << report.violations.size() << " violations\n";
    const std::size_t shown = std::min(report.violations.size(), kShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const Violation& violation = report.violations[i];
        out << "  event " << violation.event << " at " << ms(violation.at) << ": " << violation.text
            << '\n';
    }
    if (report.violations.size() > shown) {
        out << "  and " << report.violations.size() - shown << " more\n";
    }
    if (report.steps > 0) {
        out << report.steps << " steps; high " << describe(report.stepHigh) << "; low "
            << describe(report.stepLow) << '\n';
    }
    for (const ShutterPulse& pulse : report.shutterPulses) {
        out << "shutter pulse: focus at " << ms(pulse.focusRise) << ", release at "
            << ms(pulse.releaseRise) << ", fall at " << ms(pulse.fall) << '\n';
    }
    for (const DcChunk& chunk : report.chunks) {
        out << "chunk at " << ms(chunk.start) << ": nibble " << hex(chunk.nibble) << ", "
            << chunk.counts() << (chunk.counts() == 1 ? " count" : " counts")
            << (chunk.continuous ? ", continuous" : "") << '\n';
    }
    return out;
}

PinProtocolReport checkStepperProtocol(const Trace& trace, const StepperExpectations& expect) {
    return StepperChecker(trace, expect).run();
}

PinProtocolReport checkDcProtocol(const Trace& trace, const DcExpectations& expect) {
    return DcChecker(trace, expect).run();
}

} // namespace pinprotocol
