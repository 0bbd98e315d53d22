#include "HostOptions.h"

#include <LxD2xxBackend.h>

#include <QCommandLineParser>

namespace {

// The help's indent of the backends' lines.
const std::string kListIndent = "              ";

QString backendList() {
    return QString::fromStdString(LxD2xxBackend::listing(kListIndent));
}

// The options of both modes; usage() is their help.
class HostCommandLine {
public:
    HostCommandLine() {
        parser.addOptions({help, headless, model, frames, shoot, screenshot, backend});
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption headless{QStringLiteral("headless")};
    const QCommandLineOption model{QStringLiteral("model"), QString(), QStringLiteral("NAME")};
    const QCommandLineOption frames{QStringLiteral("frames"), QString(), QStringLiteral("N")};
    const QCommandLineOption shoot{QStringLiteral("shoot")};
    const QCommandLineOption screenshot{QStringLiteral("screenshot"), QString(),
                                        QStringLiteral("FILE")};
    const QCommandLineOption backend{QStringLiteral("backend"), QString(), QStringLiteral("NAME")};
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
    // The parser would read "-headless" as the short options h, e, a, ...:
    // the host takes no such bundles, and names the word it does not know.
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1Char('-')) && !argument.startsWith(QLatin1String("--")) &&
            argument != QLatin1String("-h")) {
            *error = QStringLiteral("Unknown argument \"%1\".").arg(argument);
            return false;
        }
    }
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
    options->help = parser.isSet(commandLine.help);
    options->shoot = parser.isSet(commandLine.shoot);
    options->model = parser.value(commandLine.model);
    options->backend = parser.value(commandLine.backend);
    options->screenshot = parser.value(commandLine.screenshot);
    if (parser.isSet(commandLine.frames)) {
        // Every value given is checked; the last one counts.
        for (const QString& frames : parser.values(commandLine.frames)) {
            bool number = false;
            options->frames = frames.toInt(&number);
            if (!number || options->frames < 1 || options->frames > maxFrames) {
                *error = QStringLiteral("--frames takes a whole number from 1 to %1, not \"%2\".")
                             .arg(maxFrames)
                             .arg(frames);
                return false;
            }
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

QString HostOptions::usage(const QString& backendGiven) {
    return QStringLiteral(
               "Usage: KalveraTurntableHost [--model NAME [--shoot]] [--screenshot FILE]\n"
               "                            [--backend NAME]\n"
               "       KalveraTurntableHost --headless [--model NAME] [--frames N]\n"
               "                            [--backend NAME]\n"
               "\n"
               "Ctrl-C stops a shoot and the table, closes it and ends the program\n"
               "(a second Ctrl-C ends it at once).\n"
               "Without --headless: the host window.\n"
               "--model       turntable model by name, opened at the start\n"
               "              (headless: default Custom)\n"
               "--shoot       start a shoot with the saved settings at once\n"
               "--screenshot  write a picture of the window (after the shoot, if\n"
               "              one runs) to FILE (PNG) and quit\n"
               "--headless    one 360-degree shoot at the fastest speed without\n"
               "              delays and without a window, reported as text; the\n"
               "              settings saved by the window are neither used nor changed\n"
               "--frames      captures of the headless shoot, 1 to %1 (default 8)\n"
               "--backend     the USB backend that reaches the turntable; without it,\n"
               "              the environment variable %2 names it,\n"
               "              else the default. The backends:\n")
               .arg(maxFrames)
               .arg(QString::fromStdString(LxD2xxBackend::environmentVariable())) +
           backendList() +
           QStringLiteral("              In effect now: %1\n")
               .arg(QString::fromStdString(LxD2xxBackend::inEffect(backendGiven.toStdString())));
}

bool HostOptions::applyBackend(std::ostream& out, QString* error) const {
    const std::string refusal = LxD2xxBackend::chooseGiven(backend.toStdString(), kListIndent);
    if (!refusal.empty()) {
        *error = QString::fromStdString(refusal);
        return false;
    }
    out << LxD2xxBackend::notice(backend.toStdString());
    return true;
}
