// The way from the process-wide plug-in callbacks to the worker of the
// controller they name, and on to the callbacks assigned before for the
// controllers of no object.
#include "KalveraTurntableCallbacks_p.h"

#include "KalveraTurntable_p.h"
#include "LxTurntableHardware.h"

#include <map>
#include <mutex>

namespace kalveraturntable {

namespace {

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

// The controllers of the objects, for the process-wide plug-in callbacks,
// which name the controller they come from.
std::mutex registryMutex;
std::map<const LxTurntableHardware*, std::shared_ptr<Shared>> registry;

// The callbacks the process had assigned before the first object was made:
// a plug-in host's own, for its own controllers. Written once, before the
// objects' callbacks are assigned under the library's lock, under which
// every call copies those: read-only after.
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

// Types of their own, so that objectsReceiveNotices() can tell them in the
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

bool objectsReceiveNotices() {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return Callbacks::turntableRotationStopped.target<RotationStopped>() != nullptr;
}

bool isNoticeCallbackAssigned() {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return static_cast<bool>(Callbacks::turntableRotationStopped);
}

} // namespace kalveraturntable
