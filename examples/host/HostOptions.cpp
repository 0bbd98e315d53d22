#include "HostOptions.h"

#include <cstring>

bool HostOptions::parse(const QStringList& arguments, HostOptions* options, QString* error) {
    bool modelGiven = false;
    bool framesGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool takesValue =
            argument == QLatin1String("--model") || argument == QLatin1String("--frames");
        if (takesValue && i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value.").arg(argument);
            return false;
        }
        if (argument == QLatin1String("--headless")) {
            options->headless = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options->help = true;
        } else if (argument == QLatin1String("--model")) {
            options->model = arguments[++i];
            modelGiven = true;
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
    if ((modelGiven || framesGiven) && !options->headless) {
        *error = QStringLiteral("--model and --frames go with --headless.");
        return false;
    }
    return true;
}

bool HostOptions::wantsHeadless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            return true;
        }
    }
    return false;
}

QString HostOptions::usage() {
    return QStringLiteral("Usage: KalveraTurntableHost [--headless [--model NAME] [--frames N]]\n"
                          "\n"
                          "Without options: the host window.\n"
                          "--headless   one 360-degree shoot on the turntable, without a window,\n"
                          "             reported as text; settings of the window stay untouched\n"
                          "--model      turntable model by name (default Custom)\n"
                          "--frames     captures of the shoot, 1 to %1 (default 8)\n")
        .arg(maxFrames);
}
