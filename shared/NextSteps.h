#ifndef NEXTSTEPS_H
#define NEXTSTEPS_H

#include <string>
#include <vector>

// Where the udev rule that gives users the turntable's chip may be: the
// packages' place first, then the one for a rule installed by hand.
std::vector<std::string> udevRulePlaces();

// What a user of a real chip can do next when the search found no turntable,
// after the SDK's own reason, which names a driver Linux does not need and
// the place for a rule installed by hand. `chipAttached`: a chip is there
// but cannot be opened, so the rule (the first of `rulePlaces` that exists,
// or none), the user's right to it (the seat or the plugdev group) and a new
// plug-in matter; otherwise only the cable does. Either way, the simulated
// turntable is one option away. Lines that start with "- ".
std::string
nextStepsWithoutTurntable(bool chipAttached,
                          const std::vector<std::string>& rulePlaces = udevRulePlaces());

#endif
