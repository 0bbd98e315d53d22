#include "LxShootRefusals.h"

#include "LxKalveraTurntableControl.h"

#include <QObject>

namespace LxShootRefusals {

bool refuseWhileBusy(LxKalveraTurntableControl& control) {
    return refuseWhileShooting(control) || refuseWhileTurning(control);
}

bool refuseWhileShooting(LxKalveraTurntableControl& control) {
    if (control.isShootRunning()) {
        control.setLastError(LxAbstractPlugin::ErrorCode::ShootRunning, shootRunningReason());
        return true;
    }
    return false;
}

QString shootRunningReason() {
    return QObject::tr("A 360 product photography shoot is running. Let it end or stop it first.");
}

bool refuseWhileTurning(LxKalveraTurntableControl& control) {
    if (control.IsTurntableRotating()) {
        control.setLastError(LxAbstractPlugin::ErrorCode::TurntableTurning,
                             QObject::tr("The turntable is turning. Stop it first."));
        return true;
    }
    return false;
}

} // namespace LxShootRefusals
