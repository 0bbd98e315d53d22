#include "LxThreadMailbox.h"

#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// The pipe's read end as the event loop watches it. It closes both ends only
// once it has stopped watching, on its own thread: a descriptor closed under a
// watch could come back as another file and be read as the pipe.
class PipeNotifier : public QSocketNotifier {
public:
    PipeNotifier(int readEnd, int writeEnd)
        : QSocketNotifier(readEnd, QSocketNotifier::Read)
        , writeEnd(writeEnd) {}
    ~PipeNotifier() override {
        setEnabled(false);
        close(static_cast<int>(socket()));
        close(writeEnd);
    }

private:
    const int writeEnd;
};

struct Sent {
    int value;
    Sent* next;
};

} // namespace

class LxThreadMailbox::Box {
public:
    explicit Box(std::function<void(int)> receive);
    ~Box();

    // Ends the mailbox's use of the box: at once, or once the receiving call
    // under way, or on the making thread's event loop.
    void release();
    void send(int value);
    bool isValid() const { return writeEnd != -1; }
    void dropPending();

private:
    enum class Wake : char { values, release };

    void wake(Wake why) const;
    // Moves what the senders have left into `ready`, oldest first.
    void collectSent();
    void receiveAll();

    int readEnd = -1;
    int writeEnd = -1;
    // Owns both ends of the pipe and closes them when it goes.
    PipeNotifier* notifier = nullptr;
    std::function<void(int)> receive;
    // The senders' values, newest first; a sender that finds it empty wakes
    // the receiving thread.
    std::atomic<Sent*> sent{nullptr};
    // Collected on the making thread and not yet given to `receive`.
    std::deque<int> ready;
    // Cleared when the mailbox goes on another thread.
    std::atomic<bool> receiving{true};
    // How deep the making thread is in receiveAll(): `receive` may run an
    // event loop of its own, which receives again. A box released meanwhile
    // goes when the outermost call ends.
    int receiveDepth = 0;
    bool released = false;
};

LxThreadMailbox::Box::Box(std::function<void(int)> receive)
    : receive(std::move(receive)) {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = new PipeNotifier(readEnd, writeEnd);
    QObject::connect(notifier, &QSocketNotifier::activated, [this] { receiveAll(); });
}

LxThreadMailbox::Box::~Box() {
    delete notifier;
    collectSent();
}

void LxThreadMailbox::Box::release() {
    if (!notifier || notifier->thread() == QThread::currentThread()) {
        if (receiveDepth > 0) {
            // From inside `receive`: the receiving call still uses the box.
            receiving = false;
            released = true;
        } else {
            delete this;
        }
        return;
    }
    // Through the pipe: the box is not touched here once its thread may have
    // read this, and ThreadSanitizer sees the hand-over.
    receiving = false;
    wake(Wake::release);
}

void LxThreadMailbox::Box::send(int value) {
    if (writeEnd == -1) {
        return;
    }
    // Memory rather than the pipe holds the values: a full pipe would make
    // the sender either wait for the receiving thread, which may be waiting
    // for it, or drop the value.
    auto* const entry = new Sent{value, nullptr};
    // Once in the list the entry is the receiver's, which may take it at
    // once: what it was put in front of is kept here, not read back from it.
    Sent* before = sent.load(std::memory_order_relaxed);
    do {
        entry->next = before;
    } while (!sent.compare_exchange_weak(before, entry, std::memory_order_acq_rel,
                                         std::memory_order_relaxed));
    // Only the first value since the receiver last looked wakes it, so the
    // pipe holds a byte or two and a write never finds it full.
    if (!before) {
        wake(Wake::values);
    }
}

void LxThreadMailbox::Box::wake(Wake why) const {
    const char byte = static_cast<char>(why);
    while (write(writeEnd, &byte, 1) == -1 && errno == EINTR) {
    }
}

void LxThreadMailbox::Box::dropPending() {
    collectSent();
    ready.clear();
}

void LxThreadMailbox::Box::collectSent() {
    Sent* newestFirst = sent.exchange(nullptr, std::memory_order_acq_rel);
    Sent* oldestFirst = nullptr;
    while (newestFirst) {
        Sent* const next = newestFirst->next;
        newestFirst->next = oldestFirst;
        oldestFirst = newestFirst;
        newestFirst = next;
    }
    while (oldestFirst) {
        ready.push_back(oldestFirst->value);
        delete std::exchange(oldestFirst, oldestFirst->next);
    }
}

void LxThreadMailbox::Box::receiveAll() {
    ++receiveDepth;
    // The wake-ups first, then the values: a value sent after this read
    // either is collected below or wakes the thread once more.
    char wakes[64];
    ssize_t count;
    while ((count = read(readEnd, wakes, sizeof wakes)) > 0 || (count == -1 && errno == EINTR)) {
        for (ssize_t i = 0; i < count; ++i) {
            released = released || wakes[i] == static_cast<char>(Wake::release);
        }
    }
    if (!released) {
        collectSent();
        // One at a time: `receive` may drop the rest, send more, or let go of
        // the mailbox.
        while (!ready.empty() && !released) {
            const int value = ready.front();
            ready.pop_front();
            if (receiving) {
                receive(value);
            }
        }
    }
    if (--receiveDepth == 0 && released) {
        // Its own watcher is calling: it goes once the call is over.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
        delete this;
    }
}

LxThreadMailbox::LxThreadMailbox(std::function<void(int)> receive)
    : box(new Box(std::move(receive))) {}

LxThreadMailbox::~LxThreadMailbox() {
    box->release();
}

void LxThreadMailbox::destroy(LxThreadMailbox* mailbox) {
    delete mailbox;
}

void LxThreadMailbox::send(int value) {
    box->send(value);
}

bool LxThreadMailbox::isValid() const {
    return box->isValid();
}

void LxThreadMailbox::dropPending() {
    box->dropPending();
}
