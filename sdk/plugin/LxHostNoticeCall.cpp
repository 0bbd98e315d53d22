#include "LxHostNoticeCall.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace {

// Guarded by asyncMutex.
int callsRunning = 0;
// Those of callsRunning per plug-in, with none of them left out.
std::map<const LxTurntableHardware*, int> callsRunningOf;
std::condition_variable callEnded;
// The calls the current thread is inside: a host that waits from inside a
// notice waits for the others only.
thread_local int callsOnThisThread = 0;

} // namespace

LxHostNoticeCall::LxHostNoticeCall(LxTurntableHardware* plugin)
    : plugin(plugin)
    , callback(LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped) {
    ++callsRunning;
    ++callsRunningOf[plugin];
    ++callsOnThisThread;
}

LxHostNoticeCall::~LxHostNoticeCall() {
    // The callable's code is the host's: it goes before the call counts as
    // over, after which the host may unload that code.
    callback = nullptr;
    --callsOnThisThread;
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    --callsRunning;
    if (--callsRunningOf[plugin] == 0) {
        callsRunningOf.erase(plugin);
    }
    // Told under the lock: a waiter returns only after this thread is done
    // with the condition, which goes at the process's end, and the thread
    // may have been let go unjoined.
    callEnded.notify_all();
}

void LxHostNoticeCall::operator()() const {
    if (callback) {
        callback(plugin);
    }
}

void LxTurntableHardware::TurntableHardwarePrivate::waitForNotices() {
    std::unique_lock<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    callEnded.wait(lock, [] { return callsRunning == callsOnThisThread; });
}

void waitForNoticesOf(const LxTurntableHardware* plugin) {
    std::unique_lock<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    callEnded.wait(lock, [plugin] { return callsRunningOf.count(plugin) == 0; });
}
