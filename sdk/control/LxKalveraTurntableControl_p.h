#ifndef LXKALVERATURNTABLECONTROL_P_H
#define LXKALVERATURNTABLECONTROL_P_H

#include "LxKalveraTurntableControl.h"
#include "LxThreadMailbox.h"
#include "UIFrameViewObjects.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

// The controller's shoot settings. They live as long as the controller and
// survive closing and reopening the device.
class LxKalveraTurntableControl::TurntableControlPrivate {
public:
    // The settings view's objects while a view exists. Used on the host's
    // thread only: the end-of-move refresh is handed over there.
    std::unique_ptr<UIFrameViewObjects> uiObjects;
    // The host's thread, which made this record.
    const std::thread::id controlThread = std::this_thread::get_id();
    // Carries refreshes from rotation threads to the host's thread. Made with
    // the first view and kept to the end, so a rotation thread never meets it
    // half gone.
    std::unique_ptr<LxThreadMailbox> viewRefreshes;
    // Carries what a host asks for inside a turntable notice, on a rotation
    // thread, to the controller's thread: a post-capture delay in ms (>= 0)
    // or kCloseDeviceCall, and the end of a move whose chip was lost
    // (kChipLostCall). Made with the controller when a Qt application exists
    // (a sequence needs its event loop).
    std::unique_ptr<LxThreadMailbox> controllerCalls;
    static constexpr int kCloseDeviceCall = -1;
    static constexpr int kChipLostCall = -2;
    // The model of the open device, for the host's notice when its chip is lost.
    unsigned long openedModel = 0;
    // What tells the chip that availableDevices() found from another one put
    // at its index since.
    std::string deviceSerialNumber;
    // Whether uiObjects is set, for rotation threads, which must not read
    // uiObjects itself: without a view they send no refresh. Set after
    // viewRefreshes exists, which it publishes to them.
    std::atomic<bool> viewExists{false};
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
