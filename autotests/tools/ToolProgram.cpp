#include "ToolProgram.h"

#include "ConsoleProgram.h"
#include "SignalledProgram.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

#include <sstream>

ToolProgram::ToolProgram()
    : env(QProcessEnvironment::systemEnvironment()) {
    // The bus of a fresh machine, whatever the shell that runs the tests set.
    for (const QString& name : env.keys()) {
        if (name.startsWith(QStringLiteral("FTDISIM_"))) {
            env.remove(name);
        }
    }
    env.insert(QStringLiteral("FTDISIM_REPORT_FILE"), path(QStringLiteral("bus-report")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), scratch.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.path());
    // The tool's Qt objects that live to its end (the SDK's QML engine, the
    // offscreen platform's screen) are no leak: the in-process tests of the
    // same code check for leaks.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
}

void ToolProgram::setEnvironment(const QString& name, const QString& value) {
    env.insert(name, value);
}

std::vector<std::string> ToolProgram::lines(const QString& name) const {
    QFile file(path(name));
    std::vector<std::string> result;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty()) {
                result.push_back(line.toStdString());
            }
        }
    }
    return result;
}

ToolProgram::Run ToolProgram::run(const QStringList& arguments) const {
    const ProgramResult result =
        runProgram(QStringLiteral(KALVERA_TOOL_PROGRAM), {}, InputEnd::Closed, env, arguments);
    return {result.finished, result.exitCode, result.output, result.errors};
}

std::vector<QJsonObject> jsonEvents(const std::string& output) {
    std::vector<QJsonObject> events;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_TRUE(error.error == QJsonParseError::NoError && document.isObject())
            << "not a JSON object: " << line;
        events.push_back(document.object());
    }
    return events;
}

int stepsTaken(const std::vector<std::string>& report) {
    const std::string steps = report.empty() ? std::string() : reportValue(report.back(), "steps");
    return steps.empty() ? -1 : std::stoi(steps);
}
