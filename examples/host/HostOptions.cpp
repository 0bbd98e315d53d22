#include "HostOptions.h"

#include <LxD2xxBackend.h>

namespace {

QString backendList() {
    return QString::fromStdString(LxD2xxBackend::listing("              "));
}

bool takesValue(const QString& argument) {
    return argument == QLatin1String("--model") || argument == QLatin1String("--frames") ||
           argument == QLatin1String("--screenshot") || argument == QLatin1String("--backend");
}

} // namespace

bool HostOptions::parse(const QStringList& arguments, HostOptions* options, QString* error) {
    bool framesGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (takesValue(argument) && i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value.").arg(argument);
            return false;
        }
        if (argument == QLatin1String("--headless")) {
            options->headless = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options->help = true;
        } else if (argument == QLatin1String("--shoot")) {
            options->shoot = true;
        } else if (argument == QLatin1String("--model")) {
            options->model = arguments[++i];
        } else if (argument == QLatin1String("--backend")) {
            options->backend = arguments[++i];
        } else if (argument == QLatin1String("--screenshot")) {
            options->screenshot = arguments[++i];
        } else if (argument == QLatin1String("--frames")) {
            bool number = false;
            options->frames = arguments[++i].toInt(&number);
            if (!number || options->frames < 1 || options->frames > maxFrames) {
                *error = QStringLiteral("--frames takes a whole number from 1 to %1, not \"%2\".")
                             .arg(maxFrames)
                             .arg(arguments[i]);
                return false;
            }
            framesGiven = true;
        } else {
            *error = QStringLiteral("Unknown argument \"%1\".").arg(argument);
            return false;
        }
    }
    if (framesGiven && !options->headless) {
        *error = QStringLiteral("--frames goes with --headless.");
        return false;
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
    return QStringLiteral(
               "Usage: KalveraTurntableHost [--model NAME [--shoot]] [--screenshot FILE]\n"
               "                            [--backend NAME]\n"
               "       KalveraTurntableHost --headless [--model NAME] [--frames N]\n"
               "                            [--backend NAME]\n"
               "\n"
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
