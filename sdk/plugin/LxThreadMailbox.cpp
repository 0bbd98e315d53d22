#include "LxThreadMailbox.h"

#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

struct LxThreadMailbox::Sent {
    int value;
    Sent* next;
};

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

} // namespace

LxThreadMailbox::LxThreadMailbox(std::function<void(int)> receive)
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

LxThreadMailbox::~LxThreadMailbox() {
    delete notifier;
    collectSent();
}

void LxThreadMailbox::destroy(LxThreadMailbox* mailbox) {
    if (!mailbox) {
        return;
    }
    if (!mailbox->notifier || mailbox->notifier->thread() == QThread::currentThread()) {
        if (mailbox->receiveDepth > 0) {
            // From inside `receive`: the receiving call still uses the
            // mailbox, which goes when the outermost one ends.
            mailbox->receiving = false;
            mailbox->destroyRequested = true;
        } else {
            delete mailbox;
        }
        return;
    }
    // Through the pipe: the mailbox is not touched here once its thread may
    // have read this, and ThreadSanitizer sees the hand-over.
    mailbox->receiving = false;
    mailbox->wake(Wake::destroy);
}

void LxThreadMailbox::send(int value) {
    if (writeEnd == -1) {
        return;
    }
    // Memory rather than the pipe holds the values: a full pipe would make
    // the sender either wait for the receiving thread, which may be waiting
    // for it, or drop the value.
    auto* const entry = new Sent{value, sent.load(std::memory_order_relaxed)};
    while (!sent.compare_exchange_weak(entry->next, entry, std::memory_order_acq_rel,
                                       std::memory_order_relaxed)) {
    }
    // Only the first value since the receiver last looked wakes it, so the
    // pipe holds a byte or two and a write never finds it full.
    if (!entry->next) {
        wake(Wake::values);
    }
}

void LxThreadMailbox::wake(Wake why) const {
    const char byte = static_cast<char>(why);
    while (write(writeEnd, &byte, 1) == -1 && errno == EINTR) {
    }
}

void LxThreadMailbox::dropPending() {
    collectSent();
    ready.clear();
}

void LxThreadMailbox::collectSent() {
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

void LxThreadMailbox::receiveAll() {
    ++receiveDepth;
    // The wake-ups first, then the values: a value sent after this read
    // either is collected below or wakes the thread once more.
    char wakes[64];
    ssize_t count;
    while ((count = read(readEnd, wakes, sizeof wakes)) > 0 || (count == -1 && errno == EINTR)) {
        for (ssize_t i = 0; i < count; ++i) {
            destroyRequested = destroyRequested || wakes[i] == static_cast<char>(Wake::destroy);
        }
    }
    if (!destroyRequested) {
        collectSent();
        // One at a time: `receive` may drop the rest, or send more.
        while (!ready.empty() && !destroyRequested) {
            const int value = ready.front();
            ready.pop_front();
            if (receiving) {
                receive(value);
            }
        }
    }
    if (--receiveDepth == 0 && destroyRequested) {
        // Its own watcher is calling: it goes once the call is over.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
        delete this;
    }
}
