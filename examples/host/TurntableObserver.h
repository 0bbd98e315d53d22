#ifndef TURNTABLEOBSERVER_H
#define TURNTABLEOBSERVER_H

#include <cstddef>
#include <optional>

// What the turntable physically did, as far as the host can tell apart from
// the SDK: on the simulated bus the stepper table's position and the pictures
// of the camera on its shutter lines; on a real chip nothing.
namespace TurntableObserver {

// The stepper table's position in motor steps, growing counterclockwise.
std::optional<long long> stepperSteps();
// The pictures the camera on the turntable's shutter lines has taken.
std::optional<std::size_t> cameraShots();

} // namespace TurntableObserver

#endif
