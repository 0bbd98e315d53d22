#ifndef HOSTOPTIONS_H
#define HOSTOPTIONS_H

#include <QString>
#include <QStringList>

// The host's command line:
//   KalveraTurntableHost [--model NAME [--shoot]] [--screenshot FILE]
//       the window, with that model open and shooting; FILE: a picture of it
//       (after the shoot), then quit
//   KalveraTurntableHost --headless [--model NAME] [--frames N]
//       one shoot without a window, reported as text
struct HostOptions {
    bool headless = false;
    bool help = false;
    // A model name as the turntable lists it, matched without regard to case;
    // empty: none given.
    QString model;
    int frames = 8;
    bool shoot = false;
    QString screenshot;

    static constexpr int maxFrames = 360;

    // Parses `arguments` (the program name first). False, with the reason in
    // `error`, on an unknown option, a missing or bad value, or an option of
    // the other mode.
    static bool parse(const QStringList& arguments, HostOptions* options, QString* error);
    static QString usage();
};

#endif
