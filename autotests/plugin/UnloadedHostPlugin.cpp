// A host's own plug-in, loaded and unloaded by the test as a photography host
// loads its device plug-ins: it links the SDK, which comes and goes with it.
#include "LxKalveraTurntableControl.h"

#include <atomic>
#include <memory>

namespace {

using Private = LxTurntableHardware::TurntableHardwarePrivate;

std::unique_ptr<LxKalveraTurntableControl> control;
std::atomic<bool> noticed{false};

} // namespace

extern "C" {

// Opens "Custom" and starts a shoot of one capture; false if it could not.
__attribute__((visibility("default"))) bool hostPluginStartShoot() {
    Private::turntableRotationStopped = [](LxTurntableHardware*) { noticed = true; };
    control = std::make_unique<LxKalveraTurntableControl>();
    if (control->availableDevices().empty()) {
        return false;
    }
    bool opened = false;
    control->openDevice(0, &opened);
    if (!opened) {
        return false;
    }
    control->SetCountsPerRevolution(72);
    control->setDelaySeconds(0.0f, 0.0f);
    unsigned short captures = 1;
    control->LxTurntableHardware::complete360ProductPhotographyWillStart(&captures, nullptr);
    return control->rotateDeviceToAngle(360.0f);
}

__attribute__((visibility("default"))) bool hostPluginNoticed() {
    return noticed;
}

// As a host tears down before it unloads the plug-in.
__attribute__((visibility("default"))) void hostPluginTearDown() {
    control.reset();
    Private::turntableRotationStopped = nullptr;
    Private::waitForNotices();
}
}
