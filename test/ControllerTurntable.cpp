#include "ControllerTurntable.h"

std::list<std::string> ControllerTurntable::availableDevices() const {
    return control_.availableDevices();
}

bool ControllerTurntable::openDevice(unsigned long model) {
    bool opened = false;
    control_.openDevice(model, &opened);
    return opened;
}

QString ControllerTurntable::lastError() const {
    return control_.lastError();
}

void ControllerTurntable::closeDevice() {
    control_.closeDevice();
}

unsigned int ControllerTurntable::countsPerRevolution() const {
    return control_.countsPerRevolution();
}

void ControllerTurntable::SetCountsPerRevolution(unsigned int counts) {
    control_.SetCountsPerRevolution(counts);
}

void ControllerTurntable::SetMotorEnableActiveHigh(bool activeHigh) {
    control_.SetMotorEnableActiveHigh(activeHigh);
}

void ControllerTurntable::SetClockwiseActiveHigh(bool activeHigh) {
    control_.SetClockwiseActiveHigh(activeHigh);
}

void ControllerTurntable::SetLockMotorWhenIdle(bool lock) {
    control_.SetLockMotorWhenIdle(lock);
}

void ControllerTurntable::SetChipClockedStepTrains(bool on) {
    control_.SetChipClockedStepTrains(on);
}

bool ControllerTurntable::isChipClockedStepTrains() const {
    return control_.isChipClockedStepTrains();
}

void ControllerTurntable::SetRotationSpeed(unsigned int speed) {
    control_.SetRotationSpeed(speed);
}

void ControllerTurntable::SetRotationClockwise() {
    control_.SetRotationClockwise();
}

void ControllerTurntable::SetRotationCounterClockwise() {
    control_.SetRotationCounterClockwise();
}

void ControllerTurntable::SetRotationIncrementInCounts(int counts) {
    control_.SetRotationIncrementInCounts(counts);
}

void ControllerTurntable::SetRotationIncrementInDegrees(double degrees) {
    control_.SetRotationIncrementInDegrees(degrees);
}

void ControllerTurntable::SetRotationNextGlobalPositionInDegrees(double degrees) {
    control_.SetRotationNextGlobalPositionInDegrees(degrees);
}

void ControllerTurntable::SetRotationGlobalOriginHere() {
    control_.SetRotationGlobalOriginHere();
}

bool ControllerTurntable::startRotation() {
    return control_.startRotation();
}

void ControllerTurntable::stopRotation() {
    control_.stopRotation();
}

bool ControllerTurntable::IsTurntableRotating() {
    return control_.IsTurntableRotating();
}

void ControllerTurntable::shutterReleaseCameraHardware() {
    control_.shutterReleaseCameraHardware();
}
