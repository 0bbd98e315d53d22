// What the object and its worker share, and the way from the process-wide
// plug-in callbacks to the worker of the controller they name.
#include "KalveraTurntable_p.h"

#include "LxThreadMailbox.h"
#include "LxTurntableHardware.h"

#include <map>

namespace kalveraturntable {

bool State::operator==(const State& other) const {
    return models == other.models && model == other.model && opened == other.opened &&
           rotating == other.rotating && position == other.position &&
           chipClocked == other.chipClocked && lastError == other.lastError &&
           lastErrorCode == other.lastErrorCode && shoot == other.shoot &&
           captureIndex == other.captureIndex && captureCount == other.captureCount &&
           plannedAngles == other.plannedAngles;
}

Event Event::stateChanged(const State& state) {
    Event e(Kind::StateChanged);
    e.state = state;
    return e;
}

Event Event::captureReady(int index, double angle) {
    Event e(Kind::CaptureReady);
    e.captureIndex = index;
    e.captureAngle = angle;
    return e;
}

Event Event::shootFinished(bool completed) {
    Event e(Kind::ShootFinished);
    e.completed = completed;
    return e;
}

Event Event::error(int code, const QString& text) {
    Event e(Kind::Error);
    e.errorCode = code;
    e.errorText = text;
    return e;
}

void Shared::command(Command c) {
    std::lock_guard<std::mutex> lock(mutex);
    commands.push_back(std::move(c));
    if (workerBox) {
        workerBox->send(kCommandsCall);
    }
}

void Shared::tell(Event e) {
    std::lock_guard<std::mutex> lock(mutex);
    if (objectBox) {
        events.push_back(std::move(e));
        objectBox->send(0);
    }
}

void Shared::wakeWorker(int why) {
    std::lock_guard<std::mutex> lock(mutex);
    if (workerBox) {
        noticesPending += why == kNoticeCall ? 1 : 0;
        workerBox->send(why);
    }
}

bool Shared::takeNotice() {
    std::lock_guard<std::mutex> lock(mutex);
    if (noticesPending == 0) {
        return false;
    }
    --noticesPending;
    return true;
}

void Shared::dropNotices() {
    std::lock_guard<std::mutex> lock(mutex);
    noticesPending = 0;
}

namespace {

// The controllers of the objects, for the process-wide plug-in callbacks,
// which name the controller they come from.
std::mutex registryMutex;
std::map<const LxTurntableHardware*, std::shared_ptr<Shared>> registry;

void wake(const LxTurntableHardware* control, int why) {
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto found = registry.find(control);
    if (found != registry.end()) {
        found->second->wakeWorker(why);
    }
}

} // namespace

void registerController(const LxTurntableHardware* control, std::shared_ptr<Shared> shared) {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry[control] = std::move(shared);
}

void unregisterController(const LxTurntableHardware* control) {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.erase(control);
}

void installCallbacks() {
    using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;
    static std::once_flag once;
    std::call_once(once, [] {
        Callbacks::hardwareOpenSucceeded = [](LxTurntableHardware*, unsigned long, bool) {};
        Callbacks::hardwareDisconnected = [](LxTurntableHardware* control, unsigned long) {
            wake(control, kDisconnectedCall);
        };
        Callbacks::turntableRotationStopped = [](LxTurntableHardware* control) {
            wake(control, kNoticeCall);
        };
    });
}

} // namespace kalveraturntable
