// A real chip: the table is wired as it was built, and it and the camera tell
// the host nothing.
#include "TurntableObserver.h"

void TurntableObserver::tableOpenedWith(bool, bool) {}

std::optional<long long> TurntableObserver::countsTurnedClockwise(bool) {
    return std::nullopt;
}

std::optional<std::size_t> TurntableObserver::cameraShots() {
    return std::nullopt;
}
