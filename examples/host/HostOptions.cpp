#include "HostOptions.h"

#include <LxD2xxBackend.h>

#include <map>
#include <optional>

namespace {

// The help's indent of the backends' lines.
const std::string kListIndent = "              ";

} // namespace

bool HostOptions::parse(const QStringList& arguments, HostOptions* options, QString* error) {
    const std::map<QString, bool*> flags{{QStringLiteral("-h"), &options->help},
                                         {QStringLiteral("--help"), &options->help},
                                         {QStringLiteral("--headless"), &options->headless},
                                         {QStringLiteral("--shoot"), &options->shoot}};
    QString frames;
    const std::map<QString, QString*> values{{QStringLiteral("--model"), &options->model},
                                             {QStringLiteral("--frames"), &frames},
                                             {QStringLiteral("--screenshot"), &options->screenshot},
                                             {QStringLiteral("--backend"), &options->backend}};
    const auto refuse = [error](const QString& why) {
        *error = why;
        return false;
    };
    for (int i = 1; i < arguments.size(); ++i) {
        // "--name value" or "--name=value".
        QString name = arguments[i];
        std::optional<QString> value;
        const int equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 2) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (!value && flags.count(name) != 0) {
            *flags.at(name) = true;
            continue;
        }
        if (values.count(name) == 0) {
            return refuse(QStringLiteral("Unknown argument \"%1\".").arg(arguments[i]));
        }
        if (!value && i + 1 == arguments.size()) {
            return refuse(QStringLiteral("%1 needs a value.").arg(name));
        }
        *values.at(name) = value ? *value : arguments[++i];
        // Every value given is checked; the last one counts.
        if (name == QLatin1String("--frames")) {
            bool number = false;
            options->frames = frames.toInt(&number);
            if (!number || options->frames < 1 || options->frames > maxFrames) {
                return refuse(
                    QStringLiteral("--frames takes a whole number from 1 to %1, not \"%2\".")
                        .arg(maxFrames)
                        .arg(frames));
            }
        }
    }
    if (!frames.isEmpty() && !options->headless) {
        return refuse(QStringLiteral("--frames goes with --headless."));
    }
    if (options->shoot && (options->headless || options->model.isEmpty())) {
        return refuse(QStringLiteral("--shoot needs the window and --model."));
    }
    if (!options->screenshot.isEmpty() && options->headless) {
        return refuse(QStringLiteral("--screenshot needs the window, not --headless."));
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
           QString::fromStdString(LxD2xxBackend::listing(kListIndent)) +
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
