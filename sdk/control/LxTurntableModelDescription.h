#ifndef LXTURNTABLEMODELDESCRIPTION_H
#define LXTURNTABLEMODELDESCRIPTION_H

/// \file
/// What each turntable model is, as opening it sets the table up: for a host
/// that shows or works with the open model's motor without asking the
/// controller.

#include "KalveraTurntableSDKGlobal.h"

#include <QString>

#include <optional>

/// One turntable model as LxKalveraTurntableControl::openDevice() sets it up.
/// The motor settings are those the open starts from; a plan for "Custom"
/// (LxShootPlan) or the Set... calls of the controller change them afterwards.
struct LX_SDK_EXPORT LxTurntableModelDescription {
    /// Its name, as LxKalveraTurntableControl::availableDevices() lists it.
    QString name;
    /// Whether the table turns by a stepper motor; false for "Standard", the
    /// DC-motor table, whose moves are counted in the pulses of its counter.
    bool stepper = true;
    /// The counts of one revolution: the stepper's steps or the DC table's
    /// counter pulses; 0 for "Custom", whose counts the host gives.
    unsigned int countsPerRevolution = 0;
    /// Whether a high direction line means clockwise.
    bool clockwiseActiveHigh = true;
    /// Whether a high enable line enables the motor.
    bool motorEnableActiveHigh = true;

    /// The model of index `model`, 0 to
    /// LxTurntableHardware::TurntableModelCount - 1; none for an index that
    /// names no model.
    static std::optional<LxTurntableModelDescription> of(int model);
};

#endif
