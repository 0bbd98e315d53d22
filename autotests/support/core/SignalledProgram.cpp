#include "SignalledProgram.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <thread>

namespace {

// Generous: a sanitizer build on a busy machine starts a Qt Quick program
// slowly.
constexpr int kCueTimeoutMs = 60000;
constexpr int kEndTimeoutMs = 30000;
constexpr auto kLook = std::chrono::milliseconds(20);

std::vector<std::string> reportLines(const QString& file) {
    QFile report(file);
    std::vector<std::string> lines;
    if (report.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : report.readAll().split('\n')) {
            if (!line.isEmpty()) {
                lines.push_back(line.toStdString());
            }
        }
    }
    return lines;
}

bool cueSeen(QProcess& process, SignalledRun& run, const QString& reportFile,
             const Interruption& interruption) {
    run.output += process.readAllStandardOutput().toStdString();
    run.errors += process.readAllStandardError().toStdString();
    if (interruption.cueKind != Interruption::Cue::ChipOpened) {
        const std::string& seen =
            interruption.cueKind == Interruption::Cue::Output ? run.output : run.errors;
        return seen.find(interruption.cue) != std::string::npos;
    }
    for (const std::string& line : reportLines(reportFile)) {
        if (line.find(" opened ") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string reportValue(const std::string& line, const std::string& name) {
    const std::string key = ' ' + name + '=';
    const std::size_t start = line.find(key);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t value = start + key.size();
    return line.substr(value, line.find(' ', value) - value);
}

unsigned reportLevels(const std::string& line) {
    const std::string levels = reportValue(line, "levels");
    return levels.empty() ? ~0u : static_cast<unsigned>(std::stoul(levels, nullptr, 16));
}

std::string expectOrderlyEnd(const SignalledRun& run, int signalNumber) {
    EXPECT_TRUE(run.cued) << run.output << run.errors;
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 128 + signalNumber) << run.errors;
    if (run.report.empty()) {
        ADD_FAILURE() << "the chip was never opened";
        return {};
    }
    EXPECT_THAT(run.report.back(), ::testing::StartsWith("KT000001 closed ")) << run.errors;
    return run.report.back();
}

void expectEndAtTheSecondSignal(const SignalledRun& run, int signalNumber) {
    ASSERT_TRUE(run.cued) << run.output << run.errors;
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 128 + signalNumber) << "the second signal's status";
    // Generous: the second signal comes some 200 ms after the first.
    EXPECT_LT(run.endedAfter, std::chrono::milliseconds(1500)) << "it waited for the stop";
    ASSERT_FALSE(run.report.empty());
    EXPECT_THAT(run.report.back(), ::testing::HasSubstr(" opened ")) << "no close after it";
}

SignalledRun runSignalled(const QString& program, const QStringList& arguments,
                          QProcessEnvironment environment, const std::string& input,
                          const Interruption& interruption) {
    SignalledRun run;
    QTemporaryDir scratch;
    const QString reportFile = scratch.filePath(QStringLiteral("bus-report"));
    environment.insert(QStringLiteral("FTDISIM_REPORT_FILE"), reportFile);
    QProcess process;
    process.setProcessEnvironment(environment);
    if (interruption.toProcessGroup) {
        // setsid execs the program in place: its process id names the group.
        process.start(QStringLiteral("setsid"), QStringList{program} + arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForStarted(kCueTimeoutMs)) {
        run.errors = process.errorString().toStdString();
        return run;
    }
    process.write(input.data(), static_cast<qint64>(input.size()));
    QElapsedTimer clock;
    clock.start();
    while (!(run.cued = cueSeen(process, run, reportFile, interruption)) &&
           process.state() == QProcess::Running && clock.elapsed() < kCueTimeoutMs) {
        process.waitForReadyRead(static_cast<int>(kLook.count()));
    }
    if (run.cued) {
        std::this_thread::sleep_for(interruption.pause);
        const auto firstSignal = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < interruption.signalNumbers.size(); ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(interruption.between);
            }
            const auto pid = static_cast<pid_t>(process.processId());
            ::kill(interruption.toProcessGroup ? -pid : pid, interruption.signalNumbers[i]);
        }
        run.finished = process.waitForFinished(kEndTimeoutMs);
        run.endedAfter = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - firstSignal);
    }
    if (!run.finished) {
        process.kill();
        process.waitForFinished(-1);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.output += process.readAllStandardOutput().toStdString();
    run.errors += process.readAllStandardError().toStdString();
    run.report = reportLines(reportFile);
    return run;
}
