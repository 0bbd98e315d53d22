#include "LxHostNoticeCall.h"

#include <condition_variable>
#include <mutex>

namespace {

// Guarded by asyncMutex.
int callsRunning = 0;
std::condition_variable callEnded;
// The calls the current thread is inside: a host that waits from inside a
// notice waits for the others only.
thread_local int callsOnThisThread = 0;

} // namespace

LxHostNoticeCall::LxHostNoticeCall()
    : callback(LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped) {
    ++callsRunning;
    ++callsOnThisThread;
}

LxHostNoticeCall::~LxHostNoticeCall() {
    // The callable's code is the host's: it goes before the call counts as
    // over, after which the host may unload that code.
    callback = nullptr;
    --callsOnThisThread;
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    --callsRunning;
    // Told under the lock: a waiter returns only after this thread is done
    // with the condition, which goes at the process's end, and the thread
    // may have been let go unjoined.
    callEnded.notify_all();
}

void LxHostNoticeCall::operator()(LxTurntableHardware* plugin) const {
    if (callback) {
        callback(plugin);
    }
}

void LxTurntableHardware::TurntableHardwarePrivate::waitForNotices() {
    std::unique_lock<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    callEnded.wait(lock, [] { return callsRunning == callsOnThisThread; });
}
