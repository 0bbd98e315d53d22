#ifndef TURNTABLEOBSERVER_H
#define TURNTABLEOBSERVER_H

#include <cstddef>
#include <optional>

// The host's bridge to the turntable behind the SDK, apart from the SDK: on
// the simulated bus it wires the simulated table as the model opened and tells
// what the table and the camera on its shutter lines physically did; on a real
// chip the table is wired as it was built, and it tells nothing.
namespace TurntableObserver {

// Model index `model` was opened: the simulated table is wired as that
// model's real tables are ("Custom" as the motor drivers' defaults, which the
// host's plans keep). Decides what the calls below watch: the simulated table
// if the SDK now has the simulated bus's first device open, else nothing.
void modelOpened(int model);
// How far the table has turned clockwise, in counts of the open model: a
// stepper table's steps, those counterclockwise taken off; or the counts the
// DC table has run, which turns one way only, as its moves are counted.
std::optional<long long> countsTurnedClockwise(bool stepperTable);
// The pictures the camera on the turntable's shutter lines has taken.
std::optional<std::size_t> cameraShots();

} // namespace TurntableObserver

#endif
