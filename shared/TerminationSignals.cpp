#include "TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalStatusBase = 128;

// Shared with the handler, which may run on any of the program's threads and
// may only touch lock-free state.
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");
int pipeEnds[2] = {-1, -1};
// What each signal did before, put back at the end.
struct sigaction previousActions[std::size(kHandledSignals)];
bool handled[std::size(kHandledSignals)] = {};

extern "C" void onTerminationSignal(int signalNumber) {
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signalNumber)) {
        _exit(kSignalStatusBase + signalNumber);
    }
    const int savedErrno = errno;
    const char byte = 1;
    // The pipe is non-blocking: a full one is readable already.
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals() {
    firstSignal.store(0);
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // A read of the console's input goes on after the handler; the pipe wakes
    // whoever waits on it.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kHandledSignals); ++i) {
        // A signal that the program was started with ignored stays ignored:
        // under nohup, or as a background job of a script, it is not meant
        // for this program.
        sigaction(kHandledSignals[i], nullptr, &previousActions[i]);
        handled[i] = previousActions[i].sa_handler != SIG_IGN;
        if (handled[i]) {
            sigaction(kHandledSignals[i], &action, nullptr);
        }
    }
}

TerminationSignals::~TerminationSignals() {
    if (!isValid()) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kHandledSignals); ++i) {
        if (handled[i]) {
            sigaction(kHandledSignals[i], &previousActions[i], nullptr);
        }
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

bool TerminationSignals::isValid() const {
    return pipeEnds[0] != -1;
}

int TerminationSignals::notificationDescriptor() const {
    return pipeEnds[0];
}

int TerminationSignals::received() const {
    return firstSignal.load();
}

int TerminationSignals::exitStatus() const {
    const int signalNumber = firstSignal.load();
    return signalNumber == 0 ? 0 : kSignalStatusBase + signalNumber;
}
