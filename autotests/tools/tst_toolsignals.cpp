// SIGINT on kalvera-turntable mid-move and mid-shoot: the table stops, the
// chip is closed with the motor as the settings ask, the report says how far
// the shoot got, and the shoot it suggests takes exactly the captures left.
#include "SignalledProgram.h"
#include "ToolProgram.h"

#include <QRegularExpression>

#include <gmock/gmock.h>

#include <csignal>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// 200 steps a turn at the slowest speed: some 11 ms a step.
const QStringList kSlowCustom = {
    QStringLiteral("--model"), QStringLiteral("custom"),  QStringLiteral("--counts-per-revolution"),
    QStringLiteral("200"),     QStringLiteral("--speed"), QStringLiteral("0")};

Interruption sigintAfter(const std::string& cue, std::chrono::milliseconds pause) {
    Interruption interruption;
    interruption.cue = cue;
    interruption.pause = pause;
    interruption.signalNumbers = {SIGINT};
    return interruption;
}

TEST(ToolSignals, SigintStopsARotationMidMove) {
    const ToolProgram tool;
    const SignalledRun run =
        runSignalled(QStringLiteral(KALVERA_TOOL_PROGRAM),
                     QStringList{QStringLiteral("rotate")} + kSlowCustom +
                         QStringList{QStringLiteral("--counts"), QStringLiteral("200")},
                     tool.environment(), {}, sigintAfter("Opened", 300ms));
    const std::string closed = expectOrderlyEnd(run, SIGINT);
    EXPECT_EQ(reportValue(closed, "stepper"), "free") << closed;
    const int steps = stepsTaken(run.report);
    EXPECT_LT(steps, 200) << "stopped mid-move: " << closed;
    // "Opened" comes before the move starts: on a stalled machine the signal
    // may come first, and then no move starts at all.
    if (steps > 0) {
        EXPECT_THAT(run.output, HasSubstr("Stopped: the table stands at " +
                                          QString::number(steps * 1.8, 'f', 1).toStdString()));
    }
}

TEST(ToolSignals, SigtermStopsAContinuousTurnOnce) {
    const ToolProgram tool;
    Interruption sigterm = sigintAfter("Opened", 100ms);
    sigterm.signalNumbers = {SIGTERM};
    const SignalledRun run =
        runSignalled(QStringLiteral(KALVERA_TOOL_PROGRAM),
                     {QStringLiteral("rotate"), QStringLiteral("--model"),
                      QStringLiteral("standard"), QStringLiteral("--continuous")},
                     tool.environment(), {}, sigterm);
    const std::string closed = expectOrderlyEnd(run, SIGTERM);
    EXPECT_EQ(reportValue(closed, "dc"), "standing") << closed;
}

// A terminal's Ctrl-C ends the capture command too: that capture was not
// taken, no retry takes it after the signal, and the resume starts there.
TEST(ToolSignals, CtrlCDuringTheCaptureCommandResumesFromThatCapture) {
    const ToolProgram tool;
    Interruption ctrlC = sigintAfter("shooting 2", 100ms);
    ctrlC.cueKind = Interruption::Cue::Errors;
    ctrlC.toProcessGroup = true;
    const SignalledRun run = runSignalled(
        QStringLiteral(KALVERA_TOOL_PROGRAM),
        QStringList{QStringLiteral("shoot"), QStringLiteral("--model"), QStringLiteral("custom"),
                    QStringLiteral("--counts-per-revolution"), QStringLiteral("200"),
                    QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--retries"),
                    QStringLiteral("3"), QStringLiteral("--json"), QStringLiteral("--exec"),
                    QStringLiteral("echo shooting $KALVERA_INDEX; echo $KALVERA_INDEX >> ") +
                        tool.path(QStringLiteral("runs")) + QStringLiteral("; sleep 0.5")},
        tool.environment(), {}, ctrlC);
    expectOrderlyEnd(run, SIGINT);
    EXPECT_THAT(tool.lines(QStringLiteral("runs")), ElementsAre("1", "2")) << run.errors;
    const auto events = jsonEvents(run.output);
    ASSERT_FALSE(events.empty());
    const QJsonObject& last = events.back();
    EXPECT_EQ(last[QStringLiteral("event")], QStringLiteral("interrupted")) << run.output;
    EXPECT_EQ(last[QStringLiteral("captures")], 1);
    EXPECT_EQ(last[QStringLiteral("next")], 2);
    // The table stands at capture 2, not at capture 1 where a plain resume
    // would start.
    EXPECT_DOUBLE_EQ(last[QStringLiteral("fromAngle")].toDouble(), 90.0) << run.output;
}

TEST(ToolSignals, AShootInterruptedMidMoveResumesWithTheCapturesLeft) {
    const ToolProgram tool;
    const QStringList shoot =
        QStringList{QStringLiteral("shoot")} + kSlowCustom +
        QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--exec"),
                    QStringLiteral("echo $KALVERA_ANGLE >> ") +
                        tool.path(QStringLiteral("angles"))};
    const SignalledRun run =
        runSignalled(QStringLiteral(KALVERA_TOOL_PROGRAM), shoot, tool.environment(), {},
                     sigintAfter("capture 2/4", 150ms));
    expectOrderlyEnd(run, SIGINT);
    const int stepsBefore = stepsTaken(run.report);
    static const QRegularExpression interruptedReport(QStringLiteral(
        "Interrupted after capture [23] of 4 \\(the table stands at [^)]*\\); resume "
        "with --resume-from ([34])( --from-angle ([0-9.]+))? and the same options"));
    const QRegularExpressionMatch resume =
        interruptedReport.match(QString::fromStdString(run.output));
    ASSERT_TRUE(resume.hasMatch()) << run.output;
    QStringList resumed = shoot;
    resumed << QStringLiteral("--resume-from") << resume.captured(1);
    if (!resume.captured(3).isEmpty()) {
        resumed << QStringLiteral("--from-angle") << resume.captured(3);
    }
    const auto rest = tool.run(resumed);
    EXPECT_EQ(rest.exitCode, 0) << rest.errors;
    EXPECT_THAT(tool.lines(QStringLiteral("angles")), ElementsAre("0", "90", "180", "270"));
    EXPECT_EQ(stepsBefore + stepsTaken(tool.report()), 200) << "one whole turn in all";
}

} // namespace
