#include "LxThreadMailbox.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

LxThreadMailbox::LxThreadMailbox(std::function<void(int)> receive)
    : receive(std::move(receive)) {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { receiveAll(); });
}

LxThreadMailbox::~LxThreadMailbox() {
    notifier.reset();
    if (readEnd != -1) {
        close(readEnd);
        close(writeEnd);
    }
}

void LxThreadMailbox::send(int value) {
    if (writeEnd == -1) {
        return;
    }
    // A write of an int is atomic on a pipe: values never interleave.
    while (write(writeEnd, &value, sizeof value) == -1 && errno == EINTR) {
    }
}

void LxThreadMailbox::receiveAll() {
    // Whole ints only: every write was one, and the buffer holds whole ones.
    int values[64];
    for (;;) {
        const ssize_t bytes = read(readEnd, values, sizeof values);
        if (bytes <= 0) {
            if (bytes == -1 && errno == EINTR) {
                continue;
            }
            return;
        }
        for (ssize_t i = 0; i < bytes / static_cast<ssize_t>(sizeof(int)); ++i) {
            receive(values[i]);
        }
    }
}
