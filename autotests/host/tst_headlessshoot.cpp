// The example host's headless shoot, run as a subprocess on the simulated bus
// (set up through the FTDISIM_* variables): what it prints, how it exits,
// and that it leaves the settings the window saved alone; and once in this
// process, where the sanitizers see all of it.
#include "HeadlessShoot.h"
#include "HostFixture.h"
#include "LxTurntableModels.h"
#include "TestPath.h"
#include "TurntableObserver.h"

#include <LxKalveraTurntableControl.h>

#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// Generous: a hang must fail the test, a sanitizer build on a busy machine must not.
constexpr int kProgramTimeoutMs = 120000;

struct HostRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

using Environment = std::vector<std::pair<QString, QString>>;

// One row of the shoot's summary; the table column is absent when unknown.
struct SummaryRow {
    int capture = 0;
    double angle = 0.0;
    std::optional<double> table;
    double seconds = 0.0;
    QString camera;
};

std::vector<SummaryRow> summaryRows(const QString& output) {
    // capture, angle, table, time, camera
    const QRegularExpression row(
        QStringLiteral("^ +(\\d+) +([\\d.]+)\u00B0 +(?:([\\d.]+)\u00B0|-) +([\\d.]+) s  (\\S+)$"),
        QRegularExpression::MultilineOption);
    std::vector<SummaryRow> rows;
    auto matches = row.globalMatch(output);
    while (matches.hasNext()) {
        const auto match = matches.next();
        SummaryRow summary;
        summary.capture = match.captured(1).toInt();
        summary.angle = match.captured(2).toDouble();
        if (!match.captured(3).isEmpty()) {
            summary.table = match.captured(3).toDouble();
        }
        summary.seconds = match.captured(4).toDouble();
        summary.camera = match.captured(5);
        rows.push_back(summary);
    }
    return rows;
}

// How far apart two angles lie round the circle.
double angleBetween(double a, double b) {
    const double difference = std::fmod(std::abs(a - b), 360.0);
    return std::min(difference, 360.0 - difference);
}

class HeadlessShoot : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dataHome.isValid()); }

    HostRun runHost(const QStringList& arguments, const Environment& simulatedBus = {}) {
        QProcess host;
        startHost(host, arguments, simulatedBus);
        return finishHost(host);
    }

    void startHost(QProcess& host, const QStringList& arguments,
                   const Environment& simulatedBus = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // The plug-in's QML engine lives as long as the process, and what only
        // its garbage-collected heap holds would count as leaked at the end:
        // the in-process test of the same shoot, which ends the engine, checks
        // for leaks.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        for (const auto& variable : simulatedBus) {
            environment.insert(variable.first, variable.second);
        }
        host.setProcessEnvironment(environment);
        host.start(QStringLiteral(KALVERA_HOST_PROGRAM), arguments);
    }

    static HostRun finishHost(QProcess& host, int timeoutMs = kProgramTimeoutMs) {
        HostRun run;
        if (!host.waitForFinished(timeoutMs)) {
            host.kill();
            host.waitForFinished();
            ADD_FAILURE() << "the host did not finish";
            return run;
        }
        run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
        run.output = QString::fromUtf8(host.readAllStandardOutput());
        run.errors = QString::fromUtf8(host.readAllStandardError());
        return run;
    }

    QTemporaryDir dataHome;
};

TEST_F(HeadlessShoot, AWholeShootEndsWithItsSummaryAndLeavesSavedSettingsAlone) {
    const QString savedDir = dataHome.filePath(QStringLiteral("Kalvera/KalveraTurntableHost"));
    ASSERT_TRUE(QDir().mkpath(savedDir));
    const QByteArray saved = R"({"framesCountText": "360", "captureDelaySeconds": [5, 5]})";
    QFile savedFile(savedDir + QStringLiteral("/KalveraTurntable.json"));
    ASSERT_TRUE(savedFile.open(QIODevice::WriteOnly));
    savedFile.write(saved);
    savedFile.close();

    const HostRun run =
        runHost({QStringLiteral("--headless"), QStringLiteral("--model"), QStringLiteral("custom"),
                 QStringLiteral("--frames"), QStringLiteral("4")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.output.startsWith(QString::fromStdString(testpath::backendNotice()) +
                                      QStringLiteral("Shooting 4 frames on Custom.\n")))
        << run.output.toStdString();
    EXPECT_EQ(run.output.count(QRegularExpression(QStringLiteral("^\\[[#.]{32}\\] +\\d/4 "),
                                                  QRegularExpression::MultilineOption)),
              4)
        << "a progress bar per capture";
    EXPECT_TRUE(run.output.contains(QStringLiteral("[################################]   4/4")));

    int captures = 0;
    double lastTime = -1.0;
    for (const SummaryRow& row : summaryRows(run.output)) {
        EXPECT_EQ(row.capture, captures + 1);
        EXPECT_EQ(row.angle, 90.0 * captures);
        EXPECT_EQ(row.table, 90.0 * captures) << "the simulated table";
        EXPECT_GT(row.seconds, lastTime);
        lastTime = row.seconds;
        EXPECT_EQ(row.camera, QStringLiteral("fired"));
        ++captures;
    }
    EXPECT_EQ(captures, 4) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("Shoot complete: 4 captures in ")));
    // The camera pulse alone takes a second per capture.
    EXPECT_GE(lastTime, 3.0);

    ASSERT_TRUE(savedFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(savedFile.readAll(), saved);
    EXPECT_EQ(QDir(savedDir).entryList(QDir::Files),
              QStringList{QStringLiteral("KalveraTurntable.json")});
}

TEST_F(HeadlessShoot, EveryModelsTableStandsAtTheAnglesAskedFor) {
    // Three frames: a table turning the wrong way stands at 240 degrees for
    // 120 (at 180 either way would pass).
    QStringList models;
    for (const LxTurntableModel& model : turntableModels) {
        models << QString::fromLatin1(model.name);
    }
    // All at once: each shoot busy-waits through a whole turn step by step,
    // and a step's wait passes just as well while its process waits for a
    // processor.
    std::vector<std::unique_ptr<QProcess>> hosts;
    for (const QString& model : models) {
        hosts.push_back(std::make_unique<QProcess>());
        startHost(*hosts.back(), {QStringLiteral("--headless"), QStringLiteral("--model"), model,
                                  QStringLiteral("--frames"), QStringLiteral("3")});
    }
    for (std::size_t m = 0; m < hosts.size(); ++m) {
        SCOPED_TRACE(models[static_cast<int>(m)].toStdString());
        const HostRun run = finishHost(*hosts[m], 2 * kProgramTimeoutMs);
        EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
        const std::vector<SummaryRow> rows = summaryRows(run.output);
        EXPECT_EQ(rows.size(), 3u) << run.output.toStdString();
        // Within the rounding to whole counts (200 a turn for Custom).
        EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const SummaryRow& row) {
            return row.table && angleBetween(*row.table, row.angle) <= 1.0;
        })) << run.output.toStdString();
    }
}

TEST_F(HeadlessShoot, FailuresExitWithAStatusAndTheReason) {
    HostRun run = runHost(
        {QStringLiteral("--headless"), QStringLiteral("--model"), QStringLiteral("Turnado")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(
        QStringLiteral("Unknown turntable model \"Turnado\". The models are: Custom, Standard,")))
        << run.errors.toStdString();

    run = runHost({QStringLiteral("--headless"), QStringLiteral("--frames"), QStringLiteral("0")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("--frames takes a whole number from 1 to 360")));

    run = runHost({QStringLiteral("--frames"), QStringLiteral("8")});
    EXPECT_EQ(run.exitCode, 1) << "no window is opened for a headless option";
    EXPECT_TRUE(run.errors.contains(QStringLiteral("--frames goes with --headless.")));

    run = runHost({QStringLiteral("--headless")}, {{QStringLiteral("FTDISIM_DEVICES"), QString()}});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("No turntable found: ")))
        << run.errors.toStdString();
    EXPECT_EQ(run.output.toStdString(), testpath::backendNotice());

    run = runHost({QStringLiteral("--headless")},
                  {{QStringLiteral("FTDISIM_OPEN_STATUS"), QStringLiteral("3")}});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("Custom could not be opened: ")))
        << run.errors.toStdString();
}

TEST_F(HeadlessShoot, TheBackendIsChosenFromTheCommandLineBeforeAnything) {
    HostRun run =
        runHost({QStringLiteral("--headless"), QStringLiteral("--backend"),
                 QStringLiteral("simulator"), QStringLiteral("--frames"), QStringLiteral("2")});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.output.startsWith(QStringLiteral("USB backend: simulator (simulated "
                                                     "turntables)\nShooting 2 frames")))
        << run.output.toStdString();

    run = runHost(
        {QStringLiteral("--headless"), QStringLiteral("--backend"), QStringLiteral("vendor")});
    if (!run.errors.contains(QStringLiteral("cannot be loaded"))) {
        GTEST_SKIP() << "this machine has the vendor's libftd2xx.so";
    }
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains(
        QStringLiteral("No turntable found: The USB backend \"vendor\" cannot be loaded: ")))
        << run.errors.toStdString() << "\nnothing may stand in for the backend chosen";

    run = runHost({QStringLiteral("--backend"), QStringLiteral("usb3")});
    EXPECT_EQ(run.exitCode, 1) << "no window is opened for an unknown backend";
    EXPECT_TRUE(run.errors.startsWith(QStringLiteral("Unknown USB backend \"usb3\"")))
        << run.errors.toStdString();

    run = runHost({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text :
         {"--backend", "KALVERA_TURNTABLE_BACKEND", "libftdi (default)", "simulator", "vendor"}) {
        EXPECT_TRUE(run.output.contains(QLatin1String(text))) << text;
    }
}

class HeadlessShootInProcess : public HostFixture {};

TEST_F(HeadlessShootInProcess, RunsTheShootAndPutsTheDataDirectoryBack) {
    HostOptions options;
    options.headless = true;
    options.frames = 2;
    std::ostringstream out;
    std::ostringstream errors;
    ASSERT_EQ(runHeadlessShoot(options, out, errors), HeadlessCompleted) << errors.str();
    EXPECT_NE(out.str().find("Shoot complete: 2 captures in "), std::string::npos) << out.str();
    EXPECT_EQ(rig().camera().captures().size(), 2u);
    EXPECT_EQ(rig().stepperTable().position(), -200) << "a whole turn of the 200-step Custom";
    EXPECT_EQ(qgetenv("XDG_DATA_HOME"), QFile::encodeName(dataHome.path()));
    EXPECT_FALSE(QFile::exists(settingsFilePath())) << "the scratch directory took the settings";

    options.model = QStringLiteral("Quarry S");
    EXPECT_EQ(runHeadlessShoot(options, out, errors), HeadlessBadArguments);
}

// The host watches the simulated table only once the SDK has opened it,
// through either backend: beside a real chip the bus that the host links
// stands idle and is not the turntable.
TEST_F(HeadlessShootInProcess, TheSimulatedTableIsWatchedOnlyOnceTheSdkHasItOpen) {
    TurntableObserver::modelOpened(0);
    EXPECT_FALSE(TurntableObserver::cameraShots().has_value()) << "the SDK opened another chip";
    EXPECT_FALSE(TurntableObserver::countsTurnedClockwise(true).has_value());

    LxKalveraTurntableControl control;
    ASSERT_FALSE(control.availableDevices().empty());
    bool opened = false;
    control.openDevice(0, &opened);
    ASSERT_TRUE(opened);
    TurntableObserver::modelOpened(0);
    EXPECT_EQ(TurntableObserver::cameraShots(), std::optional<std::size_t>(0));
    EXPECT_EQ(TurntableObserver::countsTurnedClockwise(true), std::optional<long long>(0));

    control.closeDevice();
    TurntableObserver::modelOpened(0);
    EXPECT_FALSE(TurntableObserver::cameraShots().has_value()) << "nothing open to watch";
}

} // namespace
