#ifndef KALVERATURNTABLECALLBACKS_P_H
#define KALVERATURNTABLECALLBACKS_P_H

#include <memory>

class LxTurntableHardware;

namespace kalveraturntable {

struct Shared;

// The controllers' way to their workers' mailboxes: a controller registered
// with its object's Shared is woken for its notices; the notices of a
// controller no object registered go to the callbacks the process had before.
void registerController(const LxTurntableHardware* control, std::shared_ptr<Shared> shared);
void unregisterController(const LxTurntableHardware* control);
// Assigns the plug-in callbacks once, before the first controller opens,
// keeping those assigned before for the controllers of no object.
void installCallbacks();
// Whether the turntable's notice still reaches the objects: false once the
// process has cleared the callback or assigned another one, which may or may
// not hand the notices on to the objects'.
bool objectsReceiveNotices();
// Whether a turntable notice callback is assigned at all: without one the
// controller tells no move's end.
bool isNoticeCallbackAssigned();

} // namespace kalveraturntable

#endif
