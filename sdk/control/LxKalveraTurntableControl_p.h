#ifndef LXKALVERATURNTABLECONTROL_P_H
#define LXKALVERATURNTABLECONTROL_P_H

#include "LxKalveraTurntableControl.h"
#include "UIFrameViewObjects.h"

#include <QObject>

#include <atomic>
#include <memory>

// The controller's shoot settings. They live as long as the controller and
// survive closing and reopening the device.
class LxKalveraTurntableControl::TurntableControlPrivate {
public:
    // The settings view's objects while a view exists. Used on the host's
    // thread only: the end-of-move refresh is posted there.
    std::unique_ptr<UIFrameViewObjects> uiObjects;
    // Whether uiObjects is set, for the rotation thread, which must not read
    // uiObjects itself: without a view it posts no refresh at all.
    std::atomic<bool> viewExists{false};
    // Signed target of the move that waits for the post-capture delay.
    float pendingRotationInDegrees = 0.0f;
    unsigned short complete360TurnsCount = 0;
    // Seconds; negative until set.
    float preDelaySeconds = -1.0f;
    float postDelaySeconds = -1.0f;
    // Fire the camera through the turntable before each move of a sequence.
    bool useTriggerShutterRelease = false;
    bool usingCustomAngles = false;
    bool usingIndexReshoot = false;
    // True only while the view's settings are taken over outside a sequence.
    bool savingSettingsOnly = false;

    // Context of the controller's timers: destroying it with the controller
    // cancels every timer still pending.
    std::unique_ptr<QObject> timerContext = std::make_unique<QObject>();
};

#endif
