#ifndef PROCESSEVENTSUNTIL_H
#define PROCESSEVENTSUNTIL_H

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <functional>

// Runs the event loop until `done` holds, at most `timeout` long; whether it holds.
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

#endif
