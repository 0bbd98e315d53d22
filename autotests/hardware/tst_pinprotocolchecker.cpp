#include "PinProtocolChecker.h"
#include "TurntablePins.h"

#include "LxDCMotor.h"
#include "LxStepperMotor.h"

#include <ftdisim/Bus.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

using namespace pinprotocol;
using namespace turntablepins;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

// Enabled, direction high, auxiliary high: what a move sets up.
constexpr std::uint8_t kReady = kEnable | kDirection | kAuxiliary;
constexpr std::uint8_t kIdle = kIdleNibble;

// Events at explicit times: only wait() moves the clock.
class TraceBuilder {
public:
    TraceBuilder& wait(Duration duration) {
        time += duration;
        return *this;
    }
    TraceBuilder& write(std::uint8_t value, bool applied = true, FT_STATUS status = FT_OK) {
        return add(ftdisim::TraceEvent::Kind::Write, value, status, applied);
    }
    TraceBuilder& read(std::uint8_t pins) {
        return add(ftdisim::TraceEvent::Kind::Read, pins, FT_OK);
    }
    TraceBuilder& bitMode(std::uint8_t mask, std::uint8_t mode = FT_BITMODE_ASYNC_BITBANG) {
        add(ftdisim::TraceEvent::Kind::SetBitMode, mask, FT_OK);
        trace.events.back().mode = mode;
        return *this;
    }
    TraceBuilder& purge() { return add(ftdisim::TraceEvent::Kind::Purge, FT_PURGE_TX, FT_OK); }

    // As the stepper driver steps: 1 ms low, then high for `high`.
    TraceBuilder& step(std::uint8_t pins, Duration high = 2ms) {
        return wait(1ms).write(pins | kStep).wait(high).write(pins);
    }
    // As the DC driver opens: idle nibble, then its load edge.
    TraceBuilder& openDc() { return write(kIdle).write(kLoad | kIdle); }
    // Nibble, load edge, continuous.
    TraceBuilder& load(std::uint8_t nibble, bool continuous = false) {
        const std::uint8_t pins = kLoad | nibble;
        write(pins).write(pins & ~kLoad).write(pins);
        return write(pins | (continuous ? kContinuous : 0));
    }
    // A load, then start pulses until a read sees the table run.
    TraceBuilder& chunk(std::uint8_t nibble, bool continuous = false, int pulses = 1) {
        load(nibble, continuous);
        const auto run = static_cast<std::uint8_t>(kLoad | nibble | (continuous ? kContinuous : 0));
        for (int pulse = 1; pulse <= pulses; ++pulse) {
            write(run).write(run | kStart).write(run).wait(100ms);
            read(pulse == pulses ? 0 : kStopped);
        }
        return *this;
    }
    TraceBuilder& stopDc() { return load(kIdle).wait(100ms).read(kStopped); }

    // Where the next event goes.
    std::size_t next() const { return trace.events.size(); }

    ftdisim::Trace trace;

private:
    TraceBuilder& add(ftdisim::TraceEvent::Kind kind, std::uint8_t value, FT_STATUS status,
                      bool applied = false) {
        ftdisim::TraceEvent event;
        event.kind = kind;
        event.time = time;
        event.value = value;
        event.status = status;
        event.applied = applied;
        trace.events.push_back(event);
        return *this;
    }

    ftdisim::Clock::time_point time{};
};

void expectOnlyViolation(const PinProtocolReport& report, std::size_t event,
                         const std::string& text) {
    ASSERT_EQ(report.violations.size(), 1u) << report;
    EXPECT_EQ(report.violations[0].event, event) << report;
    EXPECT_THAT(report.violations[0].text, HasSubstr(text));
}

// A trace that breaks one rule once; `build` returns the event that breaks it.
struct BrokenRule {
    const char* rule;
    std::size_t (*build)(TraceBuilder&);
    const char* text;
};

TEST(PinProtocolStepper, AMoveIsSummarisedStepByStep) {
    TraceBuilder t;
    t.bitMode(0xFF).write(0x00).write(kReady);
    t.step(kReady, 2ms).step(kReady, 3ms).wait(1ms).step(kReady, 4ms);
    // A second move with the same settings: the wait before it is no step time.
    t.write(kReady).wait(50ms).step(kReady).write(kReady & ~kEnable);
    StepperExpectations expect(2ms);
    expect.steps = 4;
    expect.directionHigh = true;
    expect.lockWhenIdle = false;

    const PinProtocolReport report = checkStepperProtocol(t.trace, expect);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(report.steps, 4);
    EXPECT_EQ(report.stepHigh.min, 2ms);
    EXPECT_EQ(report.stepHigh.mean, 2750us);
    EXPECT_EQ(report.stepHigh.max, 4ms);
    EXPECT_EQ(report.stepLow.min, 1ms);
    EXPECT_EQ(report.stepLow.mean, 1500us);
    EXPECT_EQ(report.stepLow.max, 2ms);
}

TEST(PinProtocolStepper, EnableLevelFollowsTheActiveLevel) {
    TraceBuilder t;
    t.write(kReady & ~kEnable).step(kReady & ~kEnable).step(kReady & ~kEnable).write(kReady);
    StepperExpectations activeLow(2ms);
    activeLow.enableActiveHigh = false;
    activeLow.lockWhenIdle = false;
    EXPECT_TRUE(checkStepperProtocol(t.trace, activeLow).ok());

    StepperExpectations activeHigh(2ms);
    const PinProtocolReport report = checkStepperProtocol(t.trace, activeHigh);
    ASSERT_EQ(report.violations.size(), 2u) << report;
    EXPECT_EQ(report.violations[1].event, 3u);
    EXPECT_THAT(report.violations[1].text, HasSubstr("motor disabled"));
}

TEST(PinProtocolStepper, ExpectationsAreCheckedOnlyWhenSet) {
    TraceBuilder t;
    t.write(kReady).step(kReady).step(kReady).write(kReady & ~kEnable);
    StepperExpectations expect(2ms);
    EXPECT_TRUE(checkStepperProtocol(t.trace, expect).ok());

    expect.steps = 3;
    expectOnlyViolation(checkStepperProtocol(t.trace, expect), t.next(), "2 steps instead of 3");
    expect.steps.reset();
    expect.lockWhenIdle = true;
    expectOnlyViolation(checkStepperProtocol(t.trace, expect), t.next(), "motor released");
    expect.lockWhenIdle.reset();
    expect.directionHigh = false;
    const PinProtocolReport report = checkStepperProtocol(t.trace, expect);
    ASSERT_EQ(report.violations.size(), 2u) << report;
    EXPECT_THAT(report.violations[0].text, HasSubstr("direction line high"));
}

TEST(PinProtocolStepper, EachBrokenRuleIsReportedAtItsEvent) {
    const BrokenRule rules[] = {
        {"unused line driven",
         [](TraceBuilder& t) {
             t.write(kReady | 0x40).write(kReady | 0x40);
             return std::size_t{0};
         },
         "unused line 0x40 driven high"},
        {"step while disabled",
         [](TraceBuilder& t) {
             t.write(kReady & ~kEnable).step(kReady & ~kEnable);
             return std::size_t{1};
         },
         "motor disabled"},
        {"step with auxiliary low",
         [](TraceBuilder& t) {
             t.write(kReady & ~kAuxiliary).step(kReady & ~kAuxiliary);
             return std::size_t{1};
         },
         "auxiliary line low"},
        {"direction change mid-train",
         [](TraceBuilder& t) {
             t.write(kReady).step(kReady).step(kReady & ~kDirection);
             return std::size_t{3};
         },
         "direction changed in a write of a step pulse"},
        {"step pulse ending with another line",
         [](TraceBuilder& t) {
             t.write(kReady).wait(1ms).write(kReady | kStep).wait(2ms).write(kReady & ~kEnable);
             return std::size_t{2};
         },
         "enable changed in a write of a step pulse"},
        {"step high shorter than the step time",
         [](TraceBuilder& t) {
             t.write(kReady).step(kReady, 1500us);
             return std::size_t{2};
         },
         "step line high for 1.500 ms"},
        {"step low under 1 ms",
         [](TraceBuilder& t) {
             t.write(kReady).step(kReady).wait(500us).write(kReady | kStep);
             t.wait(2ms).write(kReady);
             return std::size_t{3};
         },
         "step line low for 0.500 ms"},
        {"step line left high",
         [](TraceBuilder& t) {
             t.write(kReady).wait(1ms).write(kReady | kStep);
             return std::size_t{2};
         },
         "step line still high"},
        {"release without focus",
         [](TraceBuilder& t) {
             t.write(kRelease).wait(1s).write(0);
             return std::size_t{0};
         },
         "release line rose with the focus line low"},
        {"release too early",
         [](TraceBuilder& t) {
             t.write(kFocus).wait(400ms).write(kFocus | kRelease).wait(600ms).write(0);
             return std::size_t{1};
         },
         "release line rose 400.000 ms after the focus line"},
        {"released too soon",
         [](TraceBuilder& t) {
             t.write(kFocus).wait(500ms).write(kFocus | kRelease).wait(499ms).write(0);
             return std::size_t{2};
         },
         "fell 499.000 ms after the release line rose"},
        {"lines not falling together",
         [](TraceBuilder& t) {
             t.write(kFocus).wait(500ms).write(kFocus | kRelease).wait(500ms).write(kFocus);
             t.wait(1ms).write(0);
             return std::size_t{2};
         },
         "fell in separate writes"},
        {"focus without release",
         [](TraceBuilder& t) {
             t.write(kFocus).wait(500ms).write(kFocus | kRelease).wait(500ms).write(0);
             t.wait(1s).write(kFocus).wait(1s).write(0);
             return std::size_t{4};
         },
         "without a release"},
        {"shutter left pressed",
         [](TraceBuilder& t) {
             t.write(kFocus);
             return std::size_t{1};
         },
         "still pressed"},
        {"step during shutter",
         [](TraceBuilder& t) {
             t.write(kReady).write(kReady | kFocus).step(kReady | kFocus);
             t.wait(500ms).write(kReady | kFocus | kRelease).wait(500ms).write(kReady);
             return std::size_t{2};
         },
         "step while the shutter release is pressed"},
        {"bit-bang mode with another mask",
         [](TraceBuilder& t) {
             t.bitMode(0x3F);
             return std::size_t{0};
         },
         "direction mask 0x3F"},
    };
    for (const BrokenRule& rule : rules) {
        SCOPED_TRACE(rule.rule);
        TraceBuilder t;
        const std::size_t event = rule.build(t);
        expectOnlyViolation(checkStepperProtocol(t.trace, StepperExpectations(2ms)), event,
                            rule.text);
    }
}

TEST(PinProtocolStepper, OnlyTheLastPulseOfAStoppedMoveMayFallEarly) {
    StepperExpectations stopped(5s);
    stopped.stopped = true;
    TraceBuilder cut;
    cut.write(kReady).step(kReady, 5s).step(kReady, 1ms);
    const std::size_t cutFell = cut.next() - 1;
    // The next move is stopped too.
    cut.write(kReady).step(kReady, 5s).step(kReady, 3ms).write(kReady & ~kEnable);
    EXPECT_TRUE(checkStepperProtocol(cut.trace, stopped).ok());
    const PinProtocolReport unstopped = checkStepperProtocol(cut.trace, StepperExpectations(5s));
    ASSERT_EQ(unstopped.violations.size(), 2u) << unstopped;
    EXPECT_EQ(unstopped.violations[0].event, cutFell);
    EXPECT_THAT(unstopped.violations[0].text, HasSubstr("high for 1.000 ms"));

    TraceBuilder midTrain;
    midTrain.write(kReady).step(kReady, 2ms);
    const std::size_t earlyFall = midTrain.next() - 1;
    midTrain.step(kReady, 5s);
    expectOnlyViolation(checkStepperProtocol(midTrain.trace, stopped), earlyFall,
                        "high for 2.000 ms");

    TraceBuilder glitch;
    glitch.write(kReady).step(kReady, 500us);
    expectOnlyViolation(checkStepperProtocol(glitch.trace, stopped), 2, "high for 0.500 ms");
}

TEST(PinProtocolStepper, OnlyWholeShutterPulsesAreSummarised) {
    TraceBuilder t;
    t.write(kReady).wait(10ms).write(kReady | kFocus).wait(500ms);
    t.write(kReady | kFocus | kRelease).wait(501ms).write(kReady);
    const std::size_t releaseAlone = t.next();
    t.wait(1s).write(kReady | kRelease).wait(1s).write(kReady);
    const PinProtocolReport report = checkStepperProtocol(t.trace, StepperExpectations(2ms));
    expectOnlyViolation(report, releaseAlone, "release line rose with the focus line low");
    ASSERT_EQ(report.shutterPulses.size(), 1u) << report;
    EXPECT_EQ(report.shutterPulses[0].focusRise, 10ms);
    EXPECT_EQ(report.shutterPulses[0].releaseRise, 510ms);
    EXPECT_EQ(report.shutterPulses[0].fall, 1011ms);
}

TEST(PinProtocolDc, MovesAreSummarisedChunkByChunk) {
    TraceBuilder t;
    t.bitMode(0xEF).openDc();
    const std::size_t afterOpen = t.next();
    // 17 counts: one, then sixteen; the first start pulse finds the table still
    // stopped and is repeated.
    t.write(kLoad | kIdle).read(kStopped).chunk(0x0E, false, 2);
    t.wait(10ms).read(kStopped).chunk(0x0F).wait(800ms).read(kStopped).stopDc();
    const std::size_t afterCountedMove = t.next();
    t.chunk(kIdle, true).wait(1s).stopDc();
    DcExpectations expect;
    expect.idleAt = {afterOpen, afterCountedMove};

    const PinProtocolReport report = checkDcProtocol(t.trace, expect);
    EXPECT_TRUE(report.ok()) << report;
    ASSERT_EQ(report.chunks.size(), 3u) << report;
    EXPECT_EQ(report.chunks[0].nibble, 0x0E);
    EXPECT_EQ(report.chunks[0].counts() + report.chunks[1].counts(), 17);
    EXPECT_EQ(report.chunks[1].nibble, 0x0F);
    EXPECT_FALSE(report.chunks[1].continuous);
    EXPECT_TRUE(report.chunks[2].continuous);
}

TEST(PinProtocolDc, IdleIsCheckedAtMarkedPoints) {
    TraceBuilder t;
    t.openDc().chunk(0x0F);
    const std::size_t midMove = t.next();
    t.wait(800ms).read(kStopped).stopDc();
    DcExpectations expect;
    expect.idleAt = {midMove};
    expectOnlyViolation(checkDcProtocol(t.trace, expect), midMove, "counter last loaded with 0x0F");
}

TEST(PinProtocolDc, EachBrokenRuleIsReportedAtItsEvent) {
    const BrokenRule rules[] = {
        {"start without a fresh load after a nibble change",
         [](TraceBuilder& t) {
             t.openDc().write(kLoad | 0x0F).write(kLoad | 0x0F | kStart).write(kLoad | 0x0F);
             return std::size_t{3};
         },
         "without a load of count nibble 0x0F"},
        {"nibble changing with the load edge",
         [](TraceBuilder& t) {
             t.openDc().write(kIdle).write(kLoad | 0x0F).write(kLoad | 0x0F | kStart);
             t.write(kLoad | 0x0F).stopDc();
             return std::size_t{4};
         },
         "without a load of count nibble 0x0F"},
        {"nibble change while start is high",
         [](TraceBuilder& t) {
             t.openDc().write(kLoad | kIdle | kStart).write(kLoad | 0x0F | kStart);
             t.write(kLoad | 0x0F).stopDc();
             return std::size_t{3};
         },
         "count nibble changed in a write of a start pulse"},
        {"load edge while start is high",
         [](TraceBuilder& t) {
             t.openDc().write(kIdle).write(kIdle | kStart).write(kLoad | kIdle | kStart);
             t.write(kLoad | kIdle);
             return std::size_t{4};
         },
         "load changed in a write of a start pulse"},
        {"start pulse changing another line",
         [](TraceBuilder& t) {
             t.openDc().write(kLoad | kIdle | kStart).write(kLoad | kIdle | kContinuous);
             t.write(kLoad | kIdle);
             return std::size_t{3};
         },
         "continuous changed in a write of a start pulse"},
        {"start repeated while the table runs",
         [](TraceBuilder& t) {
             t.openDc().chunk(0x0F).write(kLoad | 0x0F | kStart).write(kLoad | 0x0F).stopDc();
             return std::size_t{10};
         },
         "start pulsed again"},
        {"counter not back on the idle nibble",
         [](TraceBuilder& t) {
             t.openDc().chunk(0x0F).wait(1s).read(kStopped);
             return t.next();
         },
         "counter last loaded with 0x0F"},
        {"counter never loaded",
         [](TraceBuilder& t) {
             t.write(kIdle);
             return t.next();
         },
         "counter never loaded"},
        {"continuous left high",
         [](TraceBuilder& t) {
             t.openDc().write(kLoad | kIdle | kContinuous);
             return t.next();
         },
         "continuous line high"},
        {"start left high",
         [](TraceBuilder& t) {
             t.openDc().write(kLoad | kIdle | kStart);
             return t.next();
         },
         "start line high"},
        {"the stopped input driven",
         [](TraceBuilder& t) {
             t.bitMode(0xFF).openDc();
             return std::size_t{0};
         },
         "direction mask 0xFF"},
    };
    for (const BrokenRule& rule : rules) {
        SCOPED_TRACE(rule.rule);
        TraceBuilder t;
        const std::size_t event = rule.build(t);
        expectOnlyViolation(checkDcProtocol(t.trace), event, rule.text);
    }
}

TEST(PinProtocolTrace, OnlyAppliedWritesMoveThePins) {
    TraceBuilder t;
    t.write(kReady).purge().write(0xC0 | kStep, false, FT_IO_ERROR);
    t.bitMode(0x00, FT_BITMODE_RESET).write(0x00, false).bitMode(0xFF).step(kReady);
    const PinProtocolReport report = checkStepperProtocol(t.trace, StepperExpectations(2ms));
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(report.steps, 1);
}

TEST(PinProtocolTrace, DroppedEventsMakeItIncomplete) {
    TraceBuilder dc;
    dc.openDc().trace.dropped = 3;
    expectOnlyViolation(checkDcProtocol(dc.trace), 2, "3 later events were dropped");
    TraceBuilder stepper;
    stepper.write(kReady).trace.dropped = 1;
    expectOnlyViolation(checkStepperProtocol(stepper.trace, StepperExpectations(2ms)), 1,
                        "1 later events were dropped");
}

TEST(PinProtocolTrace, ThePrintoutListsViolationsAndSummary) {
    TraceBuilder t;
    t.write(kAuxiliary);
    for (int i = 0; i < 25; ++i) {
        t.step(kAuxiliary);
    }
    std::ostringstream out;
    out << checkStepperProtocol(t.trace, StepperExpectations(2ms));
    EXPECT_THAT(out.str(), HasSubstr("25 violations\n  event 1 at 1.000 ms: step with the motor "
                                     "disabled\n  event 3 at 4.000 ms: step with"));
    EXPECT_THAT(out.str(), HasSubstr("  and 5 more\n25 steps; high min 2.000 ms"));
}

// The drivers' real output, on the simulated chip and the table the bus
// wires to it.
class PinProtocolOnDriver : public ::testing::Test {
protected:
    void SetUp() override { ftdisim::Bus::instance().reset(); }
    void TearDown() override { ftdisim::Bus::instance().reset(); }

    static ftdisim::Trace trace() {
        ftdisim::Bus& bus = ftdisim::Bus::instance();
        return bus.trace(bus.devices().at(0));
    }

    static void move(LxFTDIController& driver, int counts) {
        driver.SetCountsPerRevolution(200);
        driver.SetRotationIncrementInCounts(counts);
        ASSERT_TRUE(driver.startRotation());
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (driver.IsTurntableRotating()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the move did not end";
        }
        ASSERT_TRUE(driver.stopRotation());
    }
};

TEST_F(PinProtocolOnDriver, StepperMoveKeepsThePinRules) {
    for (const unsigned stepTime : {0u, 1u, 5u}) {
        SCOPED_TRACE(stepTime);
        ftdisim::Bus::instance().reset();
        LxStepperMotor driver(2);
        ASSERT_TRUE(driver.openDevice(0));
        driver.SetRotationSpeed(stepTime);
        move(driver, 25);

        StepperExpectations expect{std::chrono::milliseconds(stepTime)};
        expect.steps = 25;
        expect.lockWhenIdle = true;
        expect.directionHigh = true;
        const PinProtocolReport report = checkStepperProtocol(trace(), expect);
        EXPECT_TRUE(report.ok()) << report;
        EXPECT_GE(report.stepHigh.min, expect.stepTime) << report;
    }
}

TEST_F(PinProtocolOnDriver, ShutterReleaseKeepsThePinRules) {
    LxStepperMotor driver(2);
    ASSERT_TRUE(driver.openDevice(0));
    ASSERT_TRUE(driver.triggerShutterRelease());
    const PinProtocolReport report = checkStepperProtocol(trace(), StepperExpectations(2ms));
    EXPECT_TRUE(report.ok()) << report;
    ASSERT_EQ(report.shutterPulses.size(), 1u) << report;
    EXPECT_EQ(report.steps, 0);
}

TEST_F(PinProtocolOnDriver, DcMoveKeepsThePinRules) {
    LxDCMotor driver;
    ASSERT_TRUE(driver.openDevice(0));
    DcExpectations expect;
    expect.idleAt = {trace().events.size()};
    move(driver, 17);

    const PinProtocolReport report = checkDcProtocol(trace(), expect);
    EXPECT_TRUE(report.ok()) << report;
    ASSERT_EQ(report.chunks.size(), 2u) << report;
    EXPECT_EQ(report.chunks[0].nibble, 0x0E);
    EXPECT_EQ(report.chunks[1].nibble, 0x0F);
    EXPECT_EQ(report.chunks[0].counts() + report.chunks[1].counts(), 17);
}

} // namespace
