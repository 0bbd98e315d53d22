#ifndef HOSTOPTIONS_H
#define HOSTOPTIONS_H

#include <QString>
#include <QStringList>

// The host's command line:
//   KalveraTurntableHost                       the window
//   KalveraTurntableHost --headless [--model NAME] [--frames N]
//                                              one shoot, reported as text
struct HostOptions {
    bool headless = false;
    bool help = false;
    // A model name as the turntable lists it, matched without regard to case.
    QString model = QStringLiteral("Custom");
    int frames = 8;

    static constexpr int maxFrames = 360;

    // Parses `arguments` (the program name first). False, with the reason in
    // `error`, on an unknown option, a missing or bad value, or headless
    // options without --headless.
    static bool parse(const QStringList& arguments, HostOptions* options, QString* error);
    // Whether the arguments ask for the headless shoot; readable before any
    // Qt application object exists, to pick the platform.
    static bool wantsHeadless(int argc, char** argv);
    static QString usage();
};

#endif
