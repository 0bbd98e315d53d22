#ifndef LXTURNTABLEHARDWARE_H
#define LXTURNTABLEHARDWARE_H

#include "LxAbstractPlugin.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string>

/// The interface through which a host drives a turntable plug-in.
///
/// It declares the device operations and the three operations of a 360-degree
/// product photography sequence, keeps the sequence's bookkeeping (how many
/// captures, at which angles, how many taken) and fires the three host
/// callbacks of TurntableHardwarePrivate. Angles are in degrees from the
/// sequence's start position, positive clockwise. LxKalveraTurntableControl is
/// the concrete turntable plug-in; the sequence operations here are the base
/// versions it builds on.
///
/// A sequence of N captures is N + 1 calls of rotateDeviceToAngle(), each
/// after the turntableRotationStopped notice of the one before: call k
/// (1 to N) is made where capture k is taken and passes the position of the
/// NEXT capture, so call N passes 360 (the whole turn back to the start); call
/// N + 1 returns false and ends the sequence. The table stands at 0 when the
/// sequence starts: no call passes 0. With N = 4:
///
///     plan                      4 captures; the table stands at 0
///     rotateDeviceToAngle(90)   capture 1 at 0, then the table turns to 90
///     rotateDeviceToAngle(180)  capture 2 at 90, then to 180
///     rotateDeviceToAngle(270)  capture 3 at 180, then to 270
///     rotateDeviceToAngle(360)  capture 4 at 270, then on to 360, the start
///     rotateDeviceToAngle(...)  returns false: the sequence is over
///
/// In custom-angle mode the planned angles array, closed by 360, holds the
/// positions to pass in this order.
class LX_SDK_EXPORT LxTurntableHardware : public virtual LxAbstractPlugin {
public:
    /// Per-object sequence bookkeeping, plus the host callbacks.
    ///
    /// The host assigns all three callbacks, by plain assignment, before it
    /// opens a device and leaves them alone while one is open. The first
    /// KalveraTurntable object made in the process takes them over; those
    /// assigned before still get the calls of the controllers that are no
    /// object's. Firing one that
    /// is not assigned through the operations of LxTurntableHardware throws
    /// std::bad_function_call; the controller fires turntableRotationStopped
    /// only when it is assigned.
    class LX_SDK_EXPORT TurntableHardwarePrivate {
    public:
        /// Called as (plug-in, model index, supports custom angles) when an
        /// open of that model succeeded, on the thread that called
        /// openDevice(unsigned long) and before it returns. The flag is false
        /// only for model 1, "Standard", the DC-motor turntable.
        static std::function<void(LxTurntableHardware*, unsigned long, bool)> hardwareOpenSucceeded;
        /// Called as (plug-in, model index) when an open of that model failed,
        /// before openDevice(unsigned long) returns; lastError() holds the
        /// reason. Not called for an index that names no model: that open is
        /// refused and changes nothing. Also called, on the thread that opened
        /// the device, when its chip stopped answering during a move (it was
        /// unplugged): the device is closed by then and a running sequence
        /// ended. Not called when the host closes a device.
        static std::function<void(LxTurntableHardware*, unsigned long)> hardwareDisconnected;
        /// Called as (plug-in) when a move of a running 360-degree sequence has
        /// ended and the pre-capture delay has passed: the host takes its
        /// picture. Called on a rotation thread of the motor driver, also for a
        /// step that turns nothing; the host may make its next call there, or
        /// from its own thread, where an LxThreadMailbox brings the notice.
        static std::function<void(LxTurntableHardware*)> turntableRotationStopped;

        /// Each call of a callback runs a copy of it, taken under asyncMutex
        /// as the call begins, so that one assigned under asyncMutex may
        /// change while devices are open: a host may clear or replace a
        /// callback while a call of it runs (inside it, or on its own thread
        /// while a notice waits for it), and what the call's callable holds
        /// lives until it returns. A host that tears down while a
        /// turntableRotationStopped call may still run on a rotation thread
        /// that it does not block on calls this after destroying the
        /// controller, before it frees what its callable points to: it
        /// returns once every such call has returned. From inside a notice
        /// it waits for the others only. Never call it while a notice waits
        /// for the calling thread.
        static void waitForNotices();

        /// Releases the angles array of the sequence.
        ~TurntableHardwarePrivate();

    private:
        friend class LxTurntableHardware;
        unsigned long currentTurntableIndex = ~0UL; // guarded by asyncMutex
        // Also read at the end of every move, on the rotation thread.
        std::atomic<unsigned short> imagesCount{0};
        float* angles = nullptr; // owned, released with delete[]
        unsigned short imageIndex = 0;
    };

    /// What pluginType() returns for every turntable hardware plug-in.
    static constexpr int TurntableHardwarePluginType = 2;
    /// The number of turntable models: model indices run from 0 to
    /// TurntableModelCount - 1.
    static constexpr unsigned long TurntableModelCount = 8;

    /// No sequence, no model selected.
    LxTurntableHardware();
    /// Releases the sequence's angles array.
    ~LxTurntableHardware() override;

    /// \return TurntableHardwarePluginType (2).
    int pluginType() const override;

    /// The names of the turntable models that can be opened, in model-index
    /// order; empty, with the reason in lastError(), when there is no turntable.
    virtual std::list<std::string> availableDevices() const = 0;
    /// Opens turntable model `index` (a position in availableDevices()) and
    /// reports through hardwareOpenSucceeded or hardwareDisconnected before it
    /// returns. An index of TurntableModelCount or more is refused: lastError()
    /// says why (ErrorCode::InvalidModelIndex), no callback fires, and a device
    /// open before stays open as it was.
    virtual void openDevice(unsigned long index) = 0;
    /// Ends the use of the open device; nothing without one.
    virtual void closeDevice() = 0;

    /// Prepares a sequence. A non-null `imagesCount` sets the number of
    /// captures. A non-null `angles` hands the array `*angles` (from new[], may
    /// be null) to this object, which releases the array it held before; the
    /// caller must not release it. The image index is kept, so a sequence left
    /// before its end counts on from where it stopped.
    /// \return true.
    virtual bool complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                        float** angles);
    /// Counts one capture of the sequence; this base version moves nothing and
    /// does not use `angle`, the position of the next capture (see the
    /// sequence above).
    /// \return true for captures 1 to N. Call N + 1 ends the sequence (count
    /// and index back to 0, lastError() "360 product photography completed.",
    /// ErrorCode::SequenceCompleted) and returns false; with no sequence the
    /// first call does so.
    virtual bool rotateDeviceToAngle(float angle);
    /// Ends the sequence: images count and image index become 0. The angles
    /// array stays until the next one is handed over.
    virtual void stopsSpinning();

    /// Selects the turntable model (0 to TurntableModelCount - 1) the host is
    /// working with; the settings view and the sequence plan read it. Takes
    /// asyncMutex.
    /// \return true; false for an index that names no model, which leaves the
    /// selection as it was, with the reason in lastError() ("There is no
    /// turntable model N: the models are 0 to 7.", ErrorCode::InvalidModelIndex).
    /// \throws std::system_error if asyncMutex cannot be taken.
    bool setCurrentTurntableIndex(unsigned long index);
    /// The model the host selected; all bits set until the host sets one.
    /// \throws std::system_error if asyncMutex cannot be taken.
    unsigned long currentTurntableIndex() const;

    /// Fires TurntableHardwarePrivate::hardwareOpenSucceeded with this object.
    /// \throws std::bad_function_call if the host has not assigned it.
    void hardwareOpenSucceeded(unsigned long index, bool supportsCustomAngles);
    /// Fires TurntableHardwarePrivate::hardwareDisconnected with this object.
    /// \throws std::bad_function_call if the host has not assigned it.
    void hardwareDisconnected(unsigned long index);
    /// Fires TurntableHardwarePrivate::turntableRotationStopped with this object.
    /// \throws std::bad_function_call if the host has not assigned it.
    void turntableRotationStopped();

    /// The number of captures of the current sequence (0: none runs). A
    /// non-null `angles` receives the array this object holds (null in frames
    /// mode), which stays owned here and valid until the next array is handed
    /// over or this object is destroyed.
    unsigned short complete360ProductPhotographyImagesCount(float** angles) const;
    /// The number of rotateDeviceToAngle() calls of the current sequence.
    unsigned short complete360ProductPhotographyImageIndex() const;

    /// Steps to degrees. This base knows no turntable and returns 0.0 degrees
    /// whatever the argument.
    double stepsToDegrees(short steps) const;
    /// Degrees to steps. This base knows no turntable and returns 0 steps
    /// whatever the argument.
    short degreesToSteps(float degrees) const;

protected:
    /// Refuses a model index of TurntableModelCount or more: sets the last
    /// error ("There is no turntable model N: the models are 0 to 7.",
    /// ErrorCode::InvalidModelIndex) and returns true; false, setting nothing,
    /// for an index that names a model.
    bool refuseUnknownModel(unsigned long index);

private:
    std::unique_ptr<TurntableHardwarePrivate> d;
};

#endif
