#ifndef CONTROLLERTURNTABLE_H
#define CONTROLLERTURNTABLE_H

#include "ConsoleTurntable.h"
#include "LxKalveraTurntableControl.h"

// The SDK's controller as the console dialogue's turntable: every call goes
// straight through.
class ControllerTurntable : public ConsoleTurntable {
public:
    std::list<std::string> availableDevices() const override { return control_.availableDevices(); }
    bool openDevice(unsigned long model) override {
        bool opened = false;
        control_.openDevice(model, &opened);
        return opened;
    }
    QString lastError() const override { return control_.lastError(); }
    LxAbstractPlugin::ErrorCode lastErrorCode() const override { return control_.lastErrorCode(); }
    void closeDevice() override { control_.closeDevice(); }

    unsigned int countsPerRevolution() const override { return control_.countsPerRevolution(); }
    void SetCountsPerRevolution(unsigned int counts) override {
        control_.SetCountsPerRevolution(counts);
    }
    void SetMotorEnableActiveHigh(bool activeHigh) override {
        control_.SetMotorEnableActiveHigh(activeHigh);
    }
    void SetClockwiseActiveHigh(bool activeHigh) override {
        control_.SetClockwiseActiveHigh(activeHigh);
    }
    void SetLockMotorWhenIdle(bool lock) override { control_.SetLockMotorWhenIdle(lock); }
    void SetChipClockedStepTrains(bool on) override { control_.SetChipClockedStepTrains(on); }
    bool isChipClockedStepTrains() const override { return control_.isChipClockedStepTrains(); }
    int chipByteClockFactor() const override { return control_.chipByteClockFactor(); }
    QString chipByteClockProblem() const override { return control_.chipByteClockProblem(); }
    void SetRotationSpeed(unsigned int speed) override { control_.SetRotationSpeed(speed); }

    void SetRotationClockwise() override { control_.SetRotationClockwise(); }
    void SetRotationCounterClockwise() override { control_.SetRotationCounterClockwise(); }
    void SetRotationIncrementInCounts(int counts) override {
        control_.SetRotationIncrementInCounts(counts);
    }
    void SetRotationIncrementInDegrees(double degrees) override {
        control_.SetRotationIncrementInDegrees(degrees);
    }
    void SetRotationNextGlobalPositionInDegrees(double degrees) override {
        control_.SetRotationNextGlobalPositionInDegrees(degrees);
    }
    void SetRotationGlobalOriginHere() override { control_.SetRotationGlobalOriginHere(); }

    bool startRotation() override { return control_.startRotation(); }
    void stopRotation() override { control_.stopRotation(); }
    bool IsTurntableRotating() override { return control_.IsTurntableRotating(); }
    void shutterReleaseCameraHardware() override { control_.shutterReleaseCameraHardware(); }

private:
    LxKalveraTurntableControl control_;
};

#endif
