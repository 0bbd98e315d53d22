// kalvera-turntable: a turntable from the command line, for scripted shoots
// and for a check of the hardware, on the SDK's public interface only.
#include "CommandLine.h"
#include "Commands.h"
#include "EventOutput.h"
#include "ExitStatus.h"
#include "TerminationSignals.h"

#include <LxD2xxBackend.h>

#include <QGuiApplication>

#include <iostream>
#include <unistd.h>

namespace {

// The shoot plans through the SDK's settings view, a Qt Quick item that is
// never shown: no display and no GPU are needed.
void neverShowAWindow() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
}

QString backendNames() {
    QStringList names;
    for (const std::string& name : LxD2xxBackend::names()) {
        names << QString::fromStdString(name);
    }
    return names.join(QStringLiteral(", "));
}

// A misspelt backend, given or from the environment, is a setting to
// correct before any command runs: every command ends alike on it.
int chooseBackend(const std::string& given, EventOutput& output) {
    if (!given.empty() && !LxD2xxBackend::choose(given)) {
        return output.error(QStringLiteral("unknown-backend"),
                            QStringLiteral("Unknown USB backend \"%1\"; correct the name (the "
                                           "backends are %2).")
                                .arg(QString::fromStdString(given), backendNames()),
                            BadInput);
    }
    const std::string chosen = LxD2xxBackend::chosen();
    if (LxD2xxBackend::description(chosen).empty()) {
        return output.error(
            QStringLiteral("unknown-backend"),
            QStringLiteral("Unknown USB backend \"%1\" in %2; correct the name (the backends "
                           "are %3).")
                .arg(QString::fromStdString(chosen),
                     QString::fromStdString(LxD2xxBackend::environmentVariable()), backendNames()),
            BadInput);
    }
    return Success;
}

int runCommand(const ToolOptions& options, EventOutput& output,
               const TerminationSignals& termination) {
    switch (options.command) {
    case Command::List:
        return runList(options, output);
    case Command::Check:
        return runCheck(options, output, termination);
    case Command::Rotate:
        return runRotate(options, output, termination);
    case Command::Shoot:
        return runShoot(options, output, termination);
    }
    return BadInput;
}

} // namespace

int main(int argc, char** argv) {
    ToolOptions options;
    if (const auto status = parseCommandLine(argc, argv, &options, std::cout, std::cerr)) {
        return *status;
    }
    // Before anything can turn: a signal from here on stops the table.
    const TerminationSignals termination;
    neverShowAWindow();
    QGuiApplication application(argc, argv);
    // A data directory of the program's own: the settings view reads its file
    // there, and the program never writes one.
    QCoreApplication::setOrganizationName(QStringLiteral("Kalvera"));
    QCoreApplication::setApplicationName(QStringLiteral("kalvera-turntable"));

    EventOutput output(options.json, isatty(STDOUT_FILENO) != 0, std::cout, std::cerr);
    if (const int status = chooseBackend(options.backend, output); status != Success) {
        return status;
    }
    // Once the work is done its status stands; a signal during it has made
    // the command end with the signal's status already.
    return runCommand(options, output, termination);
}
