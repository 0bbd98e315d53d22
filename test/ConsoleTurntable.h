#ifndef CONSOLETURNTABLE_H
#define CONSOLETURNTABLE_H

#include "LxAbstractPlugin.h"

#include <QString>

#include <list>
#include <string>

// The controller's operations the console dialogue uses, with the controller's
// names and contracts. The program hands the dialogue the SDK's controller;
// the fuzz target hands it a stand-in that turns nothing, so that no input
// ever starts a real move.
class ConsoleTurntable {
public:
    virtual ~ConsoleTurntable() = default;

    virtual std::list<std::string> availableDevices() const = 0;
    // True when model `model` opened; otherwise the reason is in lastError().
    virtual bool openDevice(unsigned long model) = 0;
    virtual QString lastError() const = 0;
    virtual LxAbstractPlugin::ErrorCode lastErrorCode() const = 0;
    virtual void closeDevice() = 0;

    virtual unsigned int countsPerRevolution() const = 0;
    virtual void SetCountsPerRevolution(unsigned int counts) = 0;
    virtual void SetMotorEnableActiveHigh(bool activeHigh) = 0;
    virtual void SetClockwiseActiveHigh(bool activeHigh) = 0;
    virtual void SetLockMotorWhenIdle(bool lock) = 0;
    virtual void SetChipClockedStepTrains(bool on) = 0;
    virtual bool isChipClockedStepTrains() const = 0;
    virtual int chipByteClockFactor() const = 0;
    virtual QString chipByteClockProblem() const = 0;
    virtual void SetRotationSpeed(unsigned int speed) = 0;

    virtual void SetRotationClockwise() = 0;
    virtual void SetRotationCounterClockwise() = 0;
    virtual void SetRotationIncrementInCounts(int counts) = 0;
    virtual void SetRotationIncrementInDegrees(double degrees) = 0;
    virtual void SetRotationNextGlobalPositionInDegrees(double degrees) = 0;
    virtual void SetRotationGlobalOriginHere() = 0;

    virtual bool startRotation() = 0;
    virtual void stopRotation() = 0;
    virtual bool IsTurntableRotating() = 0;
    virtual void shutterReleaseCameraHardware() = 0;
};

#endif
