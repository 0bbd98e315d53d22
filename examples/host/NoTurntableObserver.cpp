// A real chip: the table and the camera tell the host nothing.
#include "TurntableObserver.h"

std::optional<long long> TurntableObserver::stepperSteps() {
    return std::nullopt;
}

std::optional<std::size_t> TurntableObserver::cameraShots() {
    return std::nullopt;
}
