#include "HostOptions.h"

#include <LxD2xxBackend.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <memory>

namespace {

QString backendList() {
    return QString::fromStdString(LxD2xxBackend::listing("  "));
}

// The options of both modes, as the parser and its help know them.
class HostCommandLine {
public:
    HostCommandLine() {
        parser.setApplicationDescription(QStringLiteral(
            "Without --headless: the host window, with --model open and, with\n"
            "--shoot, shooting. With --headless: one 360-degree shoot at the fastest\n"
            "speed without delays and without a window, reported as text; the\n"
            "settings saved by the window are neither used nor changed."));
        parser.addHelpOption();
        parser.addOptions({headless, model, frames, shoot, screenshot, backend});
    }

    QCommandLineParser parser;
    const QCommandLineOption headless{QStringLiteral("headless"),
                                      QStringLiteral("One shoot without a window, as text.")};
    const QCommandLineOption model{
        QStringLiteral("model"),
        QStringLiteral("Turntable model by name, opened at the start (headless: default Custom)."),
        QStringLiteral("NAME")};
    const QCommandLineOption frames{
        QStringLiteral("frames"),
        QStringLiteral("Captures of the headless shoot, 1 to %1 (default 8).")
            .arg(HostOptions::maxFrames),
        QStringLiteral("N")};
    const QCommandLineOption shoot{
        QStringLiteral("shoot"), QStringLiteral("Start a shoot with the saved settings at once.")};
    const QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral("Write a picture of the window (after the shoot, if one runs) to FILE "
                       "(PNG) and quit."),
        QStringLiteral("FILE")};
    const QCommandLineOption backend{
        QStringLiteral("backend"),
        QStringLiteral("The USB backend that reaches the turntable; without it, the environment "
                       "variable %1 names it, else the default.")
            .arg(QString::fromStdString(LxD2xxBackend::environmentVariable())),
        QStringLiteral("NAME")};
};

// The parser's own texts say "Missing value" and "Unknown option": the host
// words them as it words its other refusals.
QString parseFailure(const HostCommandLine& commandLine, const QStringList& arguments) {
    const QStringList unknown = commandLine.parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString dashes =
            unknown.first().size() > 1 ? QStringLiteral("--") : QStringLiteral("-");
        return QStringLiteral("Unknown argument \"%1\".").arg(dashes + unknown.first());
    }
    const QString last = arguments.last();
    for (const QCommandLineOption* option :
         {&commandLine.model, &commandLine.frames, &commandLine.screenshot, &commandLine.backend}) {
        if (last == QLatin1String("--") + option->names().first()) {
            return QStringLiteral("%1 needs a value.").arg(last);
        }
    }
    return commandLine.parser.errorText();
}

} // namespace

bool HostOptions::parse(const QStringList& arguments, HostOptions* options, QString* error) {
    HostCommandLine commandLine;
    QCommandLineParser& parser = commandLine.parser;
    if (!parser.parse(arguments)) {
        *error = parseFailure(commandLine, arguments);
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error =
            QStringLiteral("Unknown argument \"%1\".").arg(parser.positionalArguments().first());
        return false;
    }
    options->headless = parser.isSet(commandLine.headless);
    // The parser offers --help-all for Qt's own options, which the host
    // does not take: the same help.
    options->help =
        parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    options->shoot = parser.isSet(commandLine.shoot);
    options->model = parser.value(commandLine.model);
    options->backend = parser.value(commandLine.backend);
    options->screenshot = parser.value(commandLine.screenshot);
    if (parser.isSet(commandLine.frames)) {
        const QString frames = parser.value(commandLine.frames);
        bool number = false;
        options->frames = frames.toInt(&number);
        if (!number || options->frames < 1 || options->frames > maxFrames) {
            *error = QStringLiteral("--frames takes a whole number from 1 to %1, not \"%2\".")
                         .arg(maxFrames)
                         .arg(frames);
            return false;
        }
        if (!options->headless) {
            *error = QStringLiteral("--frames goes with --headless.");
            return false;
        }
    }
    if (options->shoot && (options->headless || options->model.isEmpty())) {
        *error = QStringLiteral("--shoot needs the window and --model.");
        return false;
    }
    if (!options->screenshot.isEmpty() && options->headless) {
        *error = QStringLiteral("--screenshot needs the window, not --headless.");
        return false;
    }
    return true;
}

QString HostOptions::usage() {
    // The parser names the program after the application's arguments. A
    // refused command line is answered before the application exists (it
    // needs no display): a core application stands in while the text is made.
    static int argc = 1;
    static char program[] = "KalveraTurntableHost";
    static char* argv[] = {program, nullptr};
    std::unique_ptr<QCoreApplication> standIn;
    if (!QCoreApplication::instance()) {
        standIn = std::make_unique<QCoreApplication>(argc, argv);
    }
    return HostCommandLine().parser.helpText() + QStringLiteral("\nThe USB backends:\n") +
           backendList() +
           QStringLiteral("In effect now: %1\n")
               .arg(QString::fromStdString(LxD2xxBackend::chosen()));
}

bool HostOptions::applyBackend(std::ostream& out, QString* error) const {
    if (!backend.isEmpty() && !LxD2xxBackend::choose(backend.toStdString())) {
        *error = QStringLiteral("Unknown USB backend \"%1\". The backends:\n%2")
                     .arg(backend, backendList());
        return false;
    }
    const std::string chosen = LxD2xxBackend::chosen();
    const std::string description = LxD2xxBackend::description(chosen);
    if (description.empty()) {
        *error =
            QStringLiteral("Unknown USB backend \"%1\" in %2. The backends:\n%3")
                .arg(QString::fromStdString(chosen),
                     QString::fromStdString(LxD2xxBackend::environmentVariable()), backendList());
        return false;
    }
    if (!backend.isEmpty() || chosen != LxD2xxBackend::defaultName()) {
        out << "USB backend: " << chosen << " (" << description << ")\n";
    }
    return true;
}
