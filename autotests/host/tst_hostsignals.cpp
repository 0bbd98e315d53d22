// Ctrl-C, a kill and a closed terminal on the example host, run as a
// subprocess on the simulated bus, mid-shoot in both its modes: the shoot
// stops, the table stands and its lines rest as the settings ask once the
// host has gone, which the bus's report shows.
#include "SignalledProgram.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>

using namespace std::chrono_literals;

namespace {

constexpr unsigned kDcStartLine = 0x20;
constexpr unsigned kDcContinuousLine = 0x40;
constexpr unsigned kStepLine = 0x04;

class HostSignals : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dataHome.isValid()); }

    SignalledRun runHost(const QStringList& arguments, const Interruption& interruption,
                         const QString& dcCountMs = QString()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        environment.remove(QStringLiteral("FTDISIM_DEVICES"));
        environment.remove(QStringLiteral("FTDISIM_DC_COUNT_MS"));
        if (!dcCountMs.isEmpty()) {
            environment.insert(QStringLiteral("FTDISIM_DC_COUNT_MS"), dcCountMs);
        }
        return runSignalled(QStringLiteral(KALVERA_HOST_PROGRAM), arguments, environment, {},
                            interruption);
    }

    static QStringList headless(const char* model) {
        return {QStringLiteral("--headless"), QStringLiteral("--model"), QLatin1String(model),
                QStringLiteral("--frames"), QStringLiteral("8")};
    }

    // Once the first capture is taken: the shoot runs.
    static Interruption afterTheFirstCapture(int signalNumber) {
        Interruption interruption;
        interruption.cue = "1/8";
        interruption.pause = 300ms;
        interruption.signalNumbers = {signalNumber};
        return interruption;
    }

    QTemporaryDir dataHome;
};

// The shoot did not go on to its end.
std::string expectShootStopped(const SignalledRun& run, int signalNumber) {
    EXPECT_THAT(run.output, ::testing::Not(::testing::HasSubstr("Shoot complete")));
    return expectOrderlyEnd(run, signalNumber);
}

TEST_F(HostSignals, AHeadlessShootStopsWithTheTableStanding) {
    std::string closed =
        expectShootStopped(runHost(headless("Standard"), afterTheFirstCapture(SIGINT)), SIGINT);
    EXPECT_EQ(reportValue(closed, "dc"), "standing") << closed;
    EXPECT_EQ(reportLevels(closed) & (kDcStartLine | kDcContinuousLine), 0u) << closed;

    // The shoot holds the motor; the headless settings do not lock it when idle.
    closed =
        expectShootStopped(runHost(headless("Custom"), afterTheFirstCapture(SIGTERM)), SIGTERM);
    EXPECT_EQ(reportValue(closed, "stepper"), "free") << closed;
    EXPECT_EQ(reportLevels(closed) & kStepLine, 0u) << closed;
    EXPECT_LT(std::stoi("0" + reportValue(closed, "captures")), 8) << closed;
}

TEST_F(HostSignals, TheWindowsShootStopsWithTheMotorAsTheSettingsAsk) {
    const QString savedDir = dataHome.filePath(QStringLiteral("Kalvera/KalveraTurntableHost"));
    ASSERT_TRUE(QDir().mkpath(savedDir));
    QFile saved(savedDir + QStringLiteral("/KalveraTurntable.json"));
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write(R"({"framesCountText": "8", "captureDelaySeconds": [0, 0], "rotationSpeed": 10,
        "isLockTableWhenIdle": true, "triggerShutterRelease": true, "useCustomAngles": false,
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "200",
            "isClockwiseActiveHigh": true, "isMotorEnableActiveHigh": true}})");
    saved.close();

    // The window prints nothing while it shoots; the shoot starts with the
    // open, and its first capture takes a second.
    Interruption interruption;
    interruption.cueKind = Interruption::Cue::ChipOpened;
    interruption.pause = 1500ms;
    interruption.signalNumbers = {SIGHUP};
    const std::string closed = expectShootStopped(
        runHost({QStringLiteral("--model"), QStringLiteral("Custom"), QStringLiteral("--shoot")},
                interruption),
        SIGHUP);
    EXPECT_EQ(reportValue(closed, "stepper"), "holding") << "locked when idle: " << closed;
    EXPECT_EQ(reportLevels(closed) & kStepLine, 0u) << closed;
    const int captures = std::stoi("0" + reportValue(closed, "captures"));
    EXPECT_GE(captures, 1) << closed;
    EXPECT_LT(captures, 8) << closed;

    // The DC table mid-move: 100 ms a count, 9 counts a capture.
    interruption.pause = 500ms;
    const std::string closedDc = expectShootStopped(
        runHost({QStringLiteral("--model"), QStringLiteral("Standard"), QStringLiteral("--shoot")},
                interruption, QStringLiteral("100")),
        SIGHUP);
    EXPECT_EQ(reportValue(closedDc, "dc"), "standing") << closedDc;
    EXPECT_EQ(reportLevels(closedDc) & (kDcStartLine | kDcContinuousLine), 0u) << closedDc;
}

TEST_F(HostSignals, ASecondSignalEndsTheHostAtOnce) {
    // A table of 5 s a count: the stop waits up to 2 s for it to reach its mark.
    Interruption interruption = afterTheFirstCapture(SIGTERM);
    interruption.signalNumbers.push_back(SIGINT);
    interruption.between = 200ms;
    const SignalledRun run = runHost(headless("Standard"), interruption, QStringLiteral("5000"));
    expectEndAtTheSecondSignal(run, SIGINT);
}

} // namespace
