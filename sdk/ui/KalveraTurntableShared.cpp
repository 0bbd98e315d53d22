// What the object and its worker share, and the way from the process-wide
// plug-in callbacks to the worker of the controller they name.
#include "KalveraTurntable_p.h"

#include "LxThreadMailbox.h"
#include "LxTurntableHardware.h"

#include <QAbstractEventDispatcher>

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

void Shared::quit() {
    std::lock_guard<std::mutex> lock(mutex);
    quitting = true;
    // Asked of an object that has gone: a queued shutter release would hold
    // its destruction a second each, a queued open would open only to close.
    commands.clear();
    if (workerDispatcher) {
        workerDispatcher->wakeUp();
    }
}

bool Shared::quitRequested() {
    std::lock_guard<std::mutex> lock(mutex);
    return quitting;
}

void Shared::command(Command c) {
    std::lock_guard<std::mutex> lock(mutex);
    commands.push_back(std::move(c));
    if (workerBox) {
        workerBox->send(kCommandsCall);
    }
}

std::optional<Command> Shared::takeCommand() {
    std::lock_guard<std::mutex> lock(mutex);
    if (commands.empty() || quitting) {
        return std::nullopt;
    }
    std::optional<Command> c(std::move(commands.front()));
    commands.pop_front();
    return c;
}

void Shared::tell(Event e) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!objectAlive) {
        return;
    }
    events.push_back(std::move(e));
    if (objectBox) {
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

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

// The controllers of the objects, for the process-wide plug-in callbacks,
// which name the controller they come from.
std::mutex registryMutex;
std::map<const LxTurntableHardware*, std::shared_ptr<Shared>> registry;

// The callbacks the process had assigned before the first object was made:
// a plug-in host's own, for its own controllers. Written once, before the
// objects' callbacks are assigned under the library's lock, through which
// every rotation thread copies those: read-only after.
struct EarlierCallbacks {
    std::function<void(LxTurntableHardware*, unsigned long, bool)> openSucceeded;
    std::function<void(LxTurntableHardware*, unsigned long)> disconnected;
    std::function<void(LxTurntableHardware*)> rotationStopped;
};
EarlierCallbacks earlier;

bool isObjects(const LxTurntableHardware* control) {
    std::lock_guard<std::mutex> lock(registryMutex);
    return registry.count(control) != 0;
}

// Whether `control` is an object's, waking its worker.
bool wake(const LxTurntableHardware* control, int why) {
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto found = registry.find(control);
    if (found == registry.end()) {
        return false;
    }
    found->second->wakeWorker(why);
    return true;
}

// Types of their own, so that noticesComeHere() can tell them in the
// callbacks. The earlier callbacks are called outside the registry's lock:
// a host may make or destroy objects inside them.
struct OpenSucceeded {
    void operator()(LxTurntableHardware* control, unsigned long model, bool customAngles) const {
        if (!isObjects(control) && earlier.openSucceeded) {
            earlier.openSucceeded(control, model, customAngles);
        }
    }
};

struct Disconnected {
    void operator()(LxTurntableHardware* control, unsigned long model) const {
        if (!wake(control, kDisconnectedCall) && earlier.disconnected) {
            earlier.disconnected(control, model);
        }
    }
};

struct RotationStopped {
    void operator()(LxTurntableHardware* control) const {
        if (!wake(control, kNoticeCall) && earlier.rotationStopped) {
            earlier.rotationStopped(control);
        }
    }
};

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
    static std::once_flag once;
    std::call_once(once, [] {
        std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
        earlier.openSucceeded = Callbacks::hardwareOpenSucceeded;
        earlier.disconnected = Callbacks::hardwareDisconnected;
        earlier.rotationStopped = Callbacks::turntableRotationStopped;
        Callbacks::hardwareOpenSucceeded = OpenSucceeded{};
        Callbacks::hardwareDisconnected = Disconnected{};
        Callbacks::turntableRotationStopped = RotationStopped{};
    });
}

bool noticesComeHere() {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return Callbacks::turntableRotationStopped.target<RotationStopped>() != nullptr;
}

bool noticesAreTold() {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return static_cast<bool>(Callbacks::turntableRotationStopped);
}

} // namespace kalveraturntable
