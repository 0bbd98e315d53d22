#ifndef CHIPAVAILABILITY_H
#define CHIPAVAILABILITY_H

#include <LxTurntableChip.h>

#include <QString>

// What list and check say of a chip's availability: a word for scripts, a
// phrase for people, and the next thing to try when it cannot be opened
// (empty when it can).
QString availabilityWord(LxTurntableChip::Availability availability);
QString availabilityPhrase(LxTurntableChip::Availability availability);
QString availabilityNextStep(LxTurntableChip::Availability availability);

#endif
