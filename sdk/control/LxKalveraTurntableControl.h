#ifndef LXKALVERATURNTABLECONTROL_H
#define LXKALVERATURNTABLECONTROL_H

#include "LxTurntableHardware.h"

#include <memory>

class LxFTDIController;

// The SDK's controller of one turntable, and the host's turntable plug-in.
//
// It finds the turntable's USB chip, opens one of the eight turntable models
// on it, forwards motor settings and moves to the model's motor driver, and
// keeps the shoot settings, which survive closing and reopening the device.
// Without an open device every motor operation does nothing and returns a
// neutral value (0, false or 0.0).
//
// Call it from one thread, the host's, which runs a Qt event loop for the
// steps of a sequence. Moves run on a rotation thread of the driver, which
// calls turntableRotationStoppedHelper() at the end of each and so tells the
// host on that thread; what the host asks for there that needs the
// controller's thread (the next step, closing or opening) is passed to it.
class LX_SDK_EXPORT LxKalveraTurntableControl : public LxTurntableHardware {
public:
    class TurntableControlPrivate;

    LxKalveraTurntableControl();
    // Stops a running rotation and closes the device.
    ~LxKalveraTurntableControl() override;

    // The eight model names in model-index order when a turntable's chip is
    // attached and not open elsewhere, else an empty list and a last error that
    // explains what to check. Remembers the chip for openDevice(); while a
    // device is open, that chip is the one found.
    std::list<std::string> availableDevices() const override;

    // Opens turntable model `model` (0 to 7) on the chip that availableDevices()
    // found last, with the model's motor settings; a device still open is
    // closed first. *opened becomes true on success and false on failure, with
    // the reason in the last error ("No available device found." or the USB
    // driver's status text); a model above 7 opens nothing and leaves *opened
    // as the caller preset it. Refused (false) on any other thread than the
    // controller's, such as inside a turntable notice.
    void openDevice(unsigned long model, bool* opened);
    // The host's entry: opens `model` and reports hardwareOpenSucceeded(model,
    // model supports custom angles) or hardwareDisconnected(model). On another
    // thread than the controller's (inside a turntable notice) it opens
    // nothing and reports hardwareDisconnected(model).
    void openDevice(unsigned long model) override;
    // Stops a running rotation and closes the device; nothing without one.
    // Called on another thread (inside a turntable notice), the close runs
    // later on the controller's thread.
    void closeDevice() override;
    bool isTurntableOpened() const;

    // Motor settings of the open device; they start from the model's values at
    // every openDevice(). Change them only while no rotation runs.
    void SetCountsPerRevolution(unsigned int counts);
    unsigned int countsPerRevolution() const;
    void SetClockwiseActiveHigh(bool activeHigh);
    bool isClockwiseActiveHigh() const;
    void SetMotorEnableActiveHigh(bool activeHigh);
    bool isMotorEnableActiveHigh() const;
    // Keep the stepper motor enabled, holding the table, after a move.
    void SetLockMotorWhenIdle(bool lock);
    bool isLockMotorWhenIdle() const;
    // The stepper's step time in milliseconds; larger is slower.
    void SetRotationSpeed(unsigned int speed);
    unsigned int rotationSpeed() const;

    // The next move. A clockwise move decreases the global position; positions
    // are in degrees modulo 360.
    void SetRotationClockwise();
    void SetRotationCounterClockwise();
    bool isRotationClockwise() const;
    // Counts of the next move (negative: the other direction); 0 is a
    // continuous rotation. Returns the counts planned; 0 while counts per
    // revolution are not set.
    int SetRotationIncrementInCounts(int counts);
    // Degrees of the next move, rounded to whole counts; returns the angle
    // planned. An angle under half a count plans no move.
    double SetRotationIncrementInDegrees(double degrees);
    // Plans a move in the current direction to `degrees` (a full turn when the
    // table is there already); returns the angle planned, or `degrees` without
    // a device.
    double SetRotationNextGlobalPositionInDegrees(double degrees);
    // The current position becomes 0.
    void SetRotationGlobalOriginHere();
    // Starts the planned move in the background; false if nothing started.
    bool startRotation();
    // Ends the running move and waits for its thread; false without a device.
    bool stopRotation();
    // Whether a move runs. Poll it with pauses: the rotation thread takes the
    // same lock once per step, and its steps are timed by busy waiting.
    bool IsTurntableRotating();

    // Stops a running rotation at once.
    void stopsSpinning() override;

    // Plans a 360-degree sequence from the settings the view holds: the number
    // of captures in *imagesCount and, in custom-angle mode, the capture angles
    // closed by a whole turn in *angles (owned by this object; the caller
    // passes a null float*). A null `angles` asks for the settings only. Applies
    // the delays, speed, motor and shutter settings and makes the current
    // position the start. False, with the reason in the last error, without a
    // settings view, with an empty custom angles list, for custom angles on the
    // "Standard" model, or when the "Custom" model has no counts per revolution.
    bool complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                float** angles) override;
    // The last step of a plan: the current position becomes the start, and the
    // motor holds the table between the moves of the sequence.
    void complete360ProductPhotographyWillStart();
    // Takes the settings the view holds over into the controller without
    // touching the sequence, the origin or the sequence's motor hold.
    void saveUISettingsInternalUse();

    // The settings view: a Qt Quick item made from
    // "qrc:/qml/LxTurntableUIFrameView.qml", which the host supplies, with the
    // settings file loaded into it. Null when the item cannot be created. The
    // host owns the item and calls pluginUIFrameViewWillClose() before it goes;
    // a view it left open is released here, without saving its settings.
    QQuickItem* createPluginUIFrameView() override;
    // Saves the view's settings to the settings file and releases the view's
    // objects (not the item). `view` is the item createPluginUIFrameView()
    // returned; the host may have disposed of it already, which leaves the
    // settings file as it was. The item's QML context goes with the view's
    // objects: the host disposes of the item next and uses it no more.
    // Returns true.
    bool pluginUIFrameViewWillClose(QQuickItem* view) override;

    // Shoot settings; any value is stored as given.
    void setComplete360TurnsCount(unsigned short count);
    unsigned short complete360TurnsCount() const;
    void setDelaySeconds(float preDelay, float postDelay);
    void delaySeconds(float* preDelay, float* postDelay) const;
    float preDelaySeconds() const;
    float postDelaySeconds() const;
    void setUsingCustomAngles(bool enable);
    bool isUsingCustomAngles() const;
    void setUsingIndexReshoot(bool enable);
    bool isUsingIndexReshoot() const;

    // The next capture of a sequence: counts it, fires the camera through the
    // turntable when the shoot asks for it, and after the post-capture delay
    // turns the table to `angle` degrees from the start (positive clockwise).
    // When the move has ended and the pre-capture delay has passed, the host
    // gets turntableRotationStopped (on the rotation thread). A step that turns
    // nothing is reported the same way, from this thread. The call after the
    // last capture returns false, ends the sequence and turns the table back
    // to the start unless the last target was a whole turn. Needs a running
    // Qt event loop in the calling thread.
    bool rotateDeviceToAngle(float angle) override;
    // Starts the post-capture timer after which rotateDeviceDelayed() runs; a
    // negative delay counts as none.
    void delayRotatingDevice(float seconds);
    // Starts the move to the pending target.
    void rotateDeviceDelayed();
    // Fires the camera shutter now; false without a device or a shutter output.
    bool shutterReleaseCameraHardware();

    // The end of every move, called by the motor driver on its rotation thread.
    void turntableRotationStoppedHelper();
    // Sends the settings view, queued, the model index and its device settings:
    // the saved "Custom" settings for 0, the driver's counts per revolution and
    // polarities for another model, and none for -1 (a move has ended). Does
    // nothing without a view. From another thread (the rotation thread) the
    // whole refresh is handed over to this controller's thread.
    void updateDeviceSettingsUI(int modelIndex);

private:
    // Whether the caller runs on the thread that made this controller.
    bool isOnControllerThread() const;

    std::unique_ptr<LxFTDIController> motorDriver;
    mutable int deviceIndex = -1;
    std::unique_ptr<TurntableControlPrivate> d;
};

#endif
