#ifndef LXTURNTABLEHARDWARE_H
#define LXTURNTABLEHARDWARE_H

#include "LxAbstractPlugin.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string>

// The interface through which a host drives a turntable plug-in: the device
// operations, the 360-degree sequence with its bookkeeping, and the three
// callbacks that report to the host.
class LX_SDK_EXPORT LxTurntableHardware : public virtual LxAbstractPlugin {
public:
    // Per-object sequence bookkeeping, plus the host callbacks.
    class LX_SDK_EXPORT TurntableHardwarePrivate {
    public:
        // Host callbacks, assigned by the host before it opens a device and
        // left alone while one is open. Firing one that is not assigned throws
        // std::bad_function_call.
        static std::function<void(LxTurntableHardware*, unsigned long, bool)> hardwareOpenSucceeded;
        static std::function<void(LxTurntableHardware*, unsigned long)> hardwareDisconnected;
        static std::function<void(LxTurntableHardware*)> turntableRotationStopped;

        ~TurntableHardwarePrivate();

    private:
        friend class LxTurntableHardware;
        unsigned long currentTurntableIndex = ~0UL; // guarded by asyncMutex
        // Also read at the end of every move, on the rotation thread.
        std::atomic<unsigned short> imagesCount{0};
        float* angles = nullptr; // owned, released with delete[]
        unsigned short imageIndex = 0;
    };

    static constexpr int TurntableHardwarePluginType = 2;

    LxTurntableHardware();
    ~LxTurntableHardware() override;

    int pluginType() const override;

    // The names of the turntable models that can be opened, in model-index order.
    virtual std::list<std::string> availableDevices() const = 0;
    // Opens turntable model `index`; reports through hardwareOpenSucceeded or
    // hardwareDisconnected before it returns.
    virtual void openDevice(unsigned long index) = 0;
    virtual void closeDevice() = 0;

    // Prepares a sequence. A non-null imagesCount sets the number of captures.
    // A non-null angles hands the array *angles (from new[], may be null) to
    // this object, which releases the array it held before; the caller must
    // not release it. The image index is kept. Returns true.
    virtual bool complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                        float** angles);
    // Counts one capture of the sequence. Returns true for captures 1 to N; call
    // N + 1 ends the sequence (counters back to 0, last error "360 product
    // photography completed.") and returns false. The base version moves nothing.
    virtual bool rotateDeviceToAngle(float angle);
    // Ends the sequence: images count and image index become 0. The angles stay.
    virtual void stopsSpinning();

    // The model the host selected; all bits set until the host sets one.
    void setCurrentTurntableIndex(unsigned long index);
    unsigned long currentTurntableIndex() const;

    // Fire the host callback of the same name with this object first.
    void hardwareOpenSucceeded(unsigned long index, bool supportsCustomAngles);
    void hardwareDisconnected(unsigned long index);
    void turntableRotationStopped();

    // The number of captures of the current sequence (0: none runs). A non-null
    // angles receives the array this object holds, which stays owned here and
    // valid until the next array is handed over or this object is destroyed.
    unsigned short complete360ProductPhotographyImagesCount(float** angles) const;
    // The number of rotateDeviceToAngle() calls of the current sequence.
    unsigned short complete360ProductPhotographyImageIndex() const;

    // Unit conversions of the plug-in interface. This base knows no turntable
    // and answers 0 whatever the argument.
    double stepsToDegrees(short steps) const;
    short degreesToSteps(float degrees) const;

private:
    std::unique_ptr<TurntableHardwarePrivate> d;
};

#endif
