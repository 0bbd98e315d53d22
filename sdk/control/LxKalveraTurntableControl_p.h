#ifndef LXKALVERATURNTABLECONTROL_P_H
#define LXKALVERATURNTABLECONTROL_P_H

#include "LxKalveraTurntableControl.h"

#include <QObject>

#include <atomic>
#include <memory>

// The controller's shoot settings. They live as long as the controller and
// survive closing and reopening the device.
class LxKalveraTurntableControl::TurntableControlPrivate {
public:
    // Signed target of the move that waits for the post-capture delay.
    float pendingRotationInDegrees = 0.0f;
    unsigned short complete360TurnsCount = 0;
    // Seconds; negative until set. The pre-capture delay is read at the end of
    // each move, on the rotation thread, when the host may already set the next.
    std::atomic<float> preDelaySeconds{-1.0f};
    float postDelaySeconds = -1.0f;
    // Fire the camera through the turntable before each move of a sequence.
    bool useTriggerShutterRelease = false;
    bool usingCustomAngles = false;
    bool usingIndexReshoot = false;
    // True only while the view's settings are taken over outside a sequence.
    bool savingSettingsOnly = false;

    // Context of the controller's timers and posted calls, in the controller's
    // thread: destroying it with the controller cancels every one still pending.
    std::unique_ptr<QObject> timerContext = std::make_unique<QObject>();
};

#endif
