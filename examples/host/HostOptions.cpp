#include "HostOptions.h"

namespace {

bool takesValue(const QString& argument) {
    return argument == QLatin1String("--model") || argument == QLatin1String("--frames") ||
           argument == QLatin1String("--screenshot");
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
               "       KalveraTurntableHost --headless [--model NAME] [--frames N]\n"
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
               "--frames      captures of the headless shoot, 1 to %1 (default 8)\n")
        .arg(maxFrames);
}
