#ifndef CONTROLLERTURNTABLE_H
#define CONTROLLERTURNTABLE_H

#include "ConsoleTurntable.h"
#include "LxKalveraTurntableControl.h"

// The SDK's controller as the console dialogue's turntable: every call goes
// straight through.
class ControllerTurntable : public ConsoleTurntable {
public:
    std::list<std::string> availableDevices() const override;
    bool openDevice(unsigned long model) override;
    QString lastError() const override;
    void closeDevice() override;

    unsigned int countsPerRevolution() const override;
    void SetCountsPerRevolution(unsigned int counts) override;
    void SetMotorEnableActiveHigh(bool activeHigh) override;
    void SetClockwiseActiveHigh(bool activeHigh) override;
    void SetLockMotorWhenIdle(bool lock) override;
    void SetChipClockedStepTrains(bool on) override;
    bool isChipClockedStepTrains() const override;
    void SetRotationSpeed(unsigned int speed) override;

    void SetRotationClockwise() override;
    void SetRotationCounterClockwise() override;
    void SetRotationIncrementInCounts(int counts) override;
    void SetRotationIncrementInDegrees(double degrees) override;
    void SetRotationNextGlobalPositionInDegrees(double degrees) override;
    void SetRotationGlobalOriginHere() override;

    bool startRotation() override;
    void stopRotation() override;
    bool IsTurntableRotating() override;
    void shutterReleaseCameraHardware() override;

private:
    LxKalveraTurntableControl control_;
};

#endif
