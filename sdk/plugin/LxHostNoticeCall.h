#ifndef LXHOSTNOTICECALL_H
#define LXHOSTNOTICECALL_H

#include "LxTurntableHardware.h"

#include <functional>

// One call of the host's turntableRotationStopped from a rotation thread. It
// holds a copy of the callback, so that a host that clears or replaces its
// callback while the call runs (tearing down on its own thread) frees nothing
// the call still runs in, and it counts as running until it goes, for
// TurntableHardwarePrivate::waitForNotices() and waitForNoticesOf().
class LxHostNoticeCall {
public:
    // Under asyncMutex, taken together with the mark that the host's notice
    // has begun: the controller's teardown then either sees the call or
    // keeps it from being made.
    explicit LxHostNoticeCall(LxTurntableHardware* plugin);
    ~LxHostNoticeCall();
    LxHostNoticeCall(const LxHostNoticeCall&) = delete;
    LxHostNoticeCall& operator=(const LxHostNoticeCall&) = delete;

    // Calls the copy with the plug-in; nothing when the host had assigned no
    // callback.
    void operator()() const;

private:
    LxTurntableHardware* const plugin;
    std::function<void(LxTurntableHardware*)> callback;
};

// Returns once no notice of `plugin` runs: one that began before a stop of
// its rotation has then been handed over. The notices of other plug-ins,
// which their hosts may hold as long as they like, are not waited for. Takes
// asyncMutex: never call it from inside a notice of `plugin`.
void waitForNoticesOf(const LxTurntableHardware* plugin);

#endif
