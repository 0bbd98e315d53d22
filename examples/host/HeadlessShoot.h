#ifndef HEADLESSSHOOT_H
#define HEADLESSSHOOT_H

#include "HostOptions.h"

#include <ostream>

// Exit statuses of the headless shoot.
enum HeadlessStatus {
    HeadlessCompleted = 0,
    HeadlessBadArguments = 1,
    HeadlessNoTurntable = 2,
    HeadlessShootFailed = 3
};

// One whole shoot of `options.frames` captures on turntable model
// `options.model`, at the fastest speed and without delays, with the
// turntable firing the camera, and no window: a progress bar while it runs,
// then a table of the captures, on `out`; what went wrong on `errors`. The
// shoot goes through the plug-in's settings view like any other, in a
// scratch data directory, so that the settings saved by the window are
// neither used nor changed. Needs a Qt GUI application object and returns
// a HeadlessStatus.
int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors);

#endif
