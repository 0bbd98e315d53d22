#ifndef HEADLESSSHOOT_H
#define HEADLESSSHOOT_H

#include "HostOptions.h"

#include <ostream>

class TerminationSignals;

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
// shoot is planned from code ("Custom" as a stepper of 200 steps a turn), with
// no settings view: the settings saved by the window are neither used nor
// changed. Needs a Qt application object and returns
// a HeadlessStatus; or, when a signal of `termination` (if given) came, 128 plus
// its number, once the shoot is stopped and the turntable closed.
int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors,
                     const TerminationSignals* termination = nullptr);

#endif
