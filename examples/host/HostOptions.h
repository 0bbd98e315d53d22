#ifndef HOSTOPTIONS_H
#define HOSTOPTIONS_H

#include <QString>
#include <QStringList>

#include <ostream>

// The host's command line: the window, or one shoot without a window
// (--headless), each with their options, as usage() tells them.
struct HostOptions {
    bool headless = false;
    bool help = false;
    // A model name as the turntable lists it, matched without regard to case;
    // empty: none given.
    QString model;
    int frames = 8;
    bool shoot = false;
    QString screenshot;
    // A USB backend's name; empty: none given.
    QString backend;

    static constexpr int maxFrames = 360;

    // Parses `arguments` (the program name first). False, with the reason in
    // `error`, on an unknown option, a missing or bad value, or an option of
    // the other mode.
    static bool parse(const QStringList& arguments, HostOptions* options, QString* error);
    // The options' help, with the USB backends and the one in effect:
    // `backendGiven` when not empty, else the environment's or the default,
    // flagged when it is none of them; also before the application object
    // exists.
    static QString usage(const QString& backendGiven = QString());

    // Chooses the backend given, if any; false, with the reason in `error`,
    // for an unknown name (given, or from the environment). Then, when one
    // was given or it is not the default, says on `out` which one is used.
    bool applyBackend(std::ostream& out, QString* error) const;
};

#endif
