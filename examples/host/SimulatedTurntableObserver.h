#ifndef SIMULATEDTURNTABLEOBSERVER_H
#define SIMULATEDTURNTABLEOBSERVER_H

#include <cstddef>
#include <optional>

// TurntableObserver on the simulated bus: its first device is the one the SDK
// opens.
namespace SimulatedTurntableObserver {

void tableOpenedWith(bool clockwiseActiveHigh, bool motorEnableActiveHigh);
std::optional<long long> countsTurnedClockwise(bool stepperTable);
std::optional<std::size_t> cameraShots();

} // namespace SimulatedTurntableObserver

#endif
