#ifndef LXKALVERATURNTABLECONTROL_P_H
#define LXKALVERATURNTABLECONTROL_P_H

#include "LxControllerThread.h"
#include "LxKalveraTurntableControl.h"
#include "LxSettingsViewAccess.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The controller's shoot settings. They live as long as the controller and
// survive closing and reopening the device.
class LxKalveraTurntableControl::TurntableControlPrivate {
public:
    // The settings view, with what carries refreshes from rotation threads to
    // the controller's thread. Made with the first view and kept to the end,
    // so a rotation thread never meets it half gone. Its view's objects are
    // used on the controller's thread only, where views are made: the
    // end-of-move refresh is handed over there.
    std::unique_ptr<LxSettingsViewAccess> settingsView;
    // The thread the controller serves, and the hand-over to it of what a
    // host asks for on other threads (inside a turntable notice, on a rotation
    // thread): a post-capture delay in ms (>= 0), kCloseDeviceCall,
    // kReturnToStartCall, and the end of a move whose chip was lost
    // (kChipLostCall).
    std::unique_ptr<LxControllerThread> controllerThread;
    static constexpr int kCloseDeviceCall = -1;
    static constexpr int kChipLostCall = -2;
    static constexpr int kReturnToStartCall = -3;
    // The model of the open device, for the host's notice when its chip is lost.
    unsigned long openedModel = 0;
    // What tells the chip that availableDevices() found from another one put
    // at its index since.
    std::string deviceSerialNumber;
    // The D2XX calls of the last open that reached the USB, kept past its
    // driver's end for a tool that reports a failed open.
    std::vector<LxChipSetUpStep> chipSetUpSteps;
    // Whether a view is open, for rotation threads, which must not ask the
    // settings view itself: without a view they send no refresh. Set after
    // settingsView exists, which it publishes to them.
    std::atomic<bool> viewExists{false};
    // Advanced on the controller's thread when a device closes or a shoot is
    // planned anew: a step timer started before does not move the table.
    unsigned int stepsGeneration = 0;
    // Signed target of the move that waits for the post-capture delay.
    float pendingRotationInDegrees = 0.0f;
    // The angle the shoot's last step asked for, and how far that step asked
    // the table to turn from the step before.
    float lastStepAngle = 0.0f;
    float askedTurnInDegrees = 0.0f;
    unsigned short complete360TurnsCount = 0;
    // The table's position as the driver last told it, for any thread: the
    // rotation thread writes it during a move, and a host may read it then.
    std::atomic<double> livePosition{0.0};
    // Seconds; negative until set. The pre-capture delay is read at the end of
    // each move, on the rotation thread, when the host may already set the next.
    std::atomic<float> preDelaySeconds{-1.0f};
    float postDelaySeconds = -1.0f;
    // Fire the camera through the turntable before each move of a sequence.
    bool useTriggerShutterRelease = false;
    bool usingCustomAngles = false;
    bool usingIndexReshoot = false;
    // The host's choice of step train, given to every driver it opens: the
    // models' motor settings do not include it.
    bool chipClockedStepTrains = true;
    // True only while the view's settings are taken over outside a sequence.
    bool savingSettingsOnly = false;
    // The lock when idle that the settings asked for, while a shoot holds the
    // motor between its captures instead: a close leaves the motor as the
    // settings ask, not as the shoot held it.
    std::optional<bool> idleLockOfSettings;
};

#endif
