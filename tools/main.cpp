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

int chooseBackend(const std::string& given, EventOutput& output) {
    if (!given.empty() && !LxD2xxBackend::choose(given)) {
        return output.error(
            QStringLiteral("unknown-backend"),
            QStringLiteral("Unknown USB backend \"%1\". The backends:\n%2")
                .arg(QString::fromStdString(given),
                     QString::fromStdString(LxD2xxBackend::listing("  ")).trimmed()),
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
    const int status = runCommand(options, output, termination);
    return termination.received() != 0 ? termination.exitStatus() : status;
}
