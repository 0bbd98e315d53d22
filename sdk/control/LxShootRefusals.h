#ifndef LXSHOOTREFUSALS_H
#define LXSHOOTREFUSALS_H

#include <QString>

class LxKalveraTurntableControl;

// What must wait while the turntable is busy. A shoot leaves the table to its
// own steps from its plan to the call after its last capture, through the
// delays between them; a move owns the motor settings until it ends. Each
// refusal leaves its reason in the controller's last error.
namespace LxShootRefusals {

// True, with the reason, while a shoot runs or a move runs: a preview, an
// import or a settings take-over would move or reset the table under it.
bool refuseWhileBusy(LxKalveraTurntableControl& control);
// True, with the reason, while a shoot runs: the shoot's next step waits for
// the notice of its move, which a stop would drop.
bool refuseWhileShooting(LxKalveraTurntableControl& control);
// True, with the reason, while a move runs.
bool refuseWhileTurning(LxKalveraTurntableControl& control);
// The reason of ShootRunning, for those that keep their own account of a
// shoot (KalveraTurntable).
QString shootRunningReason();

} // namespace LxShootRefusals

#endif
