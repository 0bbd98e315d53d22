// The rotation bookkeeping of LxFTDIController: requests in counts, degrees or
// absolute angles become the next move's counts and direction, and the planned
// position that move reaches.
#include "LxFTDIController.h"

#include <algorithm>
#include <climits>
#include <cmath>

double LxFTDIController::GetRotationIncrementInDegrees() const {
    if (countsPerRevolution == 0) {
        return 0.0;
    }
    return rotationIncrementInCounts * (DEGREES_PER_REVOLUTION / countsPerRevolution);
}

bool LxFTDIController::isAtGlobalPosition(double degrees) const {
    const double away =
        std::fabs(std::fmod(globalPositionInDegrees - degrees, DEGREES_PER_REVOLUTION));
    const double distance = std::min(away, DEGREES_PER_REVOLUTION - away);
    if (countsPerRevolution == 0) {
        return distance == 0.0;
    }
    return distance < 0.5 * (DEGREES_PER_REVOLUTION / countsPerRevolution);
}

void LxFTDIController::flipDirection() {
    rotationDirection =
        rotationDirection == DIRECTION_CLOCKWISE ? DIRECTION_COUNTERCLOCKWISE : DIRECTION_CLOCKWISE;
}

void LxFTDIController::planPositionAfterIncrement() {
    planPositionAfterSteps(rotationIncrementInCounts);
}

double LxFTDIController::degreesPerStepInDirection() const {
    const double sign = rotationDirection == DIRECTION_CLOCKWISE ? -1.0 : 1.0;
    return countsPerRevolution == 0 ? 0.0 : sign * DEGREES_PER_REVOLUTION / countsPerRevolution;
}

void LxFTDIController::planPositionAfterSteps(int steps) {
    nextGlobalPositionInDegrees = std::fmod(
        steps * degreesPerStepInDirection() + globalPositionInDegrees, DEGREES_PER_REVOLUTION);
}

void LxFTDIController::SetRotationGlobalOriginHere() {
    globalPositionInDegrees = 0.0;
    publishPosition(globalPositionInDegrees);
}

void LxFTDIController::publishPosition(double degrees) const {
    if (positionChanged) {
        positionChanged(degrees);
    }
}

int LxFTDIController::SetRotationIncrementInCounts(int counts) {
    if (counts == 0) {
        // Turning until told to stop needs no counts per revolution.
        rotationIncrementInCounts = 0;
        plannedMove = PlannedMove::Continuous;
        if (countsPerRevolution == 0) {
            // No plan of this table can be trusted then; without an angle per
            // step the end of the rotation cannot be placed either.
            nextGlobalPositionInDegrees = globalPositionInDegrees;
        }
        return 0;
    }
    if (countsPerRevolution == 0) {
        // An earlier plan must not run in place of this refused one.
        plannedMove = PlannedMove::None;
        SetFTDIError(FTDI_COUNTS_PER_REVOLUTION_NOT_SET);
        return 0;
    }
    if (counts < 0) {
        flipDirection();
        // -INT_MIN does not exist; one count less is the nearest whole move.
        counts = counts == INT_MIN ? INT_MAX : -counts;
    }
    rotationIncrementInCounts = counts;
    plannedMove = PlannedMove::Counted;
    planPositionAfterIncrement();
    return counts;
}

double LxFTDIController::SetRotationIncrementInDegrees(double degrees) {
    // An endless angle would plan billions of counts, a move without end.
    if (countsPerRevolution == 0 || degrees == 0.0 || !std::isfinite(degrees)) {
        plannedMove = PlannedMove::None;
        return 0.0;
    }
    if (degrees < 0.0) {
        flipDirection();
        degrees = -degrees;
    }
    const double counts = degrees / (DEGREES_PER_REVOLUTION / countsPerRevolution) + 0.5;
    if (counts >= 1.0) {
        rotationIncrementInCounts = counts < INT_MAX ? static_cast<int>(counts) : INT_MAX;
        plannedMove = PlannedMove::Counted;
    } else {
        // Less than half a count: nothing to turn. Never fall back on a
        // continuous rotation or an earlier increment.
        rotationIncrementInCounts = 0;
        plannedMove = PlannedMove::None;
    }
    planPositionAfterIncrement();
    return GetRotationIncrementInDegrees();
}

double LxFTDIController::SetRotationNextGlobalPositionInDegrees(double degrees) {
    const double target = std::fmod(degrees, DEGREES_PER_REVOLUTION);
    if (rotationDirection != DIRECTION_CLOCKWISE &&
        rotationDirection != DIRECTION_COUNTERCLOCKWISE) {
        return target;
    }
    // Positions carry a sign, so the difference may reach 360 or more: reduce
    // it to the angle above 0 and up to 360 in the current direction.
    const double difference = target - globalPositionInDegrees;
    const double towards = rotationDirection == DIRECTION_CLOCKWISE ? -difference : difference;
    double angle = std::fmod(towards, DEGREES_PER_REVOLUTION);
    if (angle <= 0.0) {
        angle += DEGREES_PER_REVOLUTION;
    }
    return SetRotationIncrementInDegrees(angle);
}
