// Ctrl-C, a kill and a closed terminal on the console program, run as a
// subprocess on the simulated bus: the table stops and its lines rest as the
// settings ask once the program has gone, which the bus's report shows.
#include "SignalledProgram.h"

#include <gmock/gmock.h>

#include <QProcessEnvironment>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// Standard, then a continuous rotation clockwise; or a count rotation of 72
// counts, some nine seconds.
const std::string kStandardContinuous = "1\n0\n0\n3\n1\n";
const std::string kStandardCounts = "1\n0\n0\n1\n72\n1\n";
// Custom with 72 counts, the lines active high, unlocked when idle (or
// locked), at 20 ms a step: 72 counts take some 1.5 s.
const std::string kCustomCounts = "0\n72\n1\n1\n0\n20\n1\n72\n1\n";
const std::string kCustomLockedContinuous = "0\n72\n1\n1\n1\n20\n3\n1\n";

constexpr unsigned kDcStartLine = 0x20;
constexpr unsigned kDcContinuousLine = 0x40;
constexpr unsigned kStepLine = 0x04;

const std::string kContinuing = "Enter \"stop\"";
const std::string kRotating = "Rotating the turntable.";

// `signalNumber` a little after `cue`.
Interruption at(const std::string& cue, int signalNumber) {
    Interruption interruption;
    interruption.cue = cue;
    interruption.pause = 300ms;
    interruption.signalNumbers = {signalNumber};
    return interruption;
}

SignalledRun runConsole(const std::string& input, const Interruption& interruption,
                        const QString& dcCountMs = QString()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("FTDISIM_DEVICES"));
    environment.remove(QStringLiteral("FTDISIM_DC_COUNT_MS"));
    if (!dcCountMs.isEmpty()) {
        environment.insert(QStringLiteral("FTDISIM_DC_COUNT_MS"), dcCountMs);
    }
    return runSignalled(QStringLiteral(KALVERA_CONSOLE_PROGRAM), {}, environment, input,
                        interruption);
}

TEST(ConsoleSignals, TheDcTableStandsWithItsLinesDown) {
    for (const auto& [input, cue, signalNumber] :
         {std::tuple{kStandardContinuous, kContinuing, SIGINT},
          std::tuple{kStandardCounts, kRotating, SIGHUP}}) {
        SCOPED_TRACE(input);
        const std::string closed =
            expectOrderlyEnd(runConsole(input, at(cue, signalNumber)), signalNumber);
        EXPECT_EQ(reportValue(closed, "dc"), "standing") << closed;
        EXPECT_EQ(reportLevels(closed) & (kDcStartLine | kDcContinuousLine), 0u) << closed;
    }
}

TEST(ConsoleSignals, TheStepperStopsMidMoveAndIsLeftAsTheSettingsAsk) {
    std::string closed =
        expectOrderlyEnd(runConsole(kCustomCounts, at(kRotating, SIGTERM)), SIGTERM);
    EXPECT_EQ(reportValue(closed, "stepper"), "free") << closed;
    EXPECT_EQ(reportLevels(closed) & kStepLine, 0u) << closed;
    const int steps = std::stoi("0" + reportValue(closed, "steps"));
    EXPECT_GT(steps, 0) << closed;
    EXPECT_LT(steps, 72) << "stopped mid-move: " << closed;

    closed = expectOrderlyEnd(runConsole(kCustomLockedContinuous, at(kContinuing, SIGHUP)), SIGHUP);
    EXPECT_EQ(reportValue(closed, "stepper"), "holding") << "locked when idle: " << closed;
    EXPECT_EQ(reportLevels(closed) & kStepLine, 0u) << closed;
}

TEST(ConsoleSignals, ASecondSignalEndsTheProgramAtOnce) {
    // A table of 5 s a count: the stop waits up to 2 s for it to reach its mark.
    Interruption interruption = at(kContinuing, SIGTERM);
    interruption.signalNumbers.push_back(SIGINT);
    interruption.between = 200ms;
    const SignalledRun run = runConsole(kStandardContinuous, interruption, QStringLiteral("5000"));
    expectEndAtTheSecondSignal(run, SIGINT);
}

} // namespace
