#include "LxControllerThread.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QTimer>

LxControllerThread::LxControllerThread(std::function<void(int)> receive)
    : receive(std::move(receive)) {}

LxControllerThread::~LxControllerThread() {
    if (timerContext && !isCurrent()) {
        // A QObject with timers goes on its own thread; its timers die with it.
        *timersLive = false;
        timerContext.release()->deleteLater();
    }
}

void LxControllerThread::bindToCallingThread() {
    if (isBound()) {
        return;
    }
    boundThread = std::this_thread::get_id();
    if (QAbstractEventDispatcher::instance()) {
        mailbox = std::make_unique<LxThreadMailbox>(receive);
        timerContext = std::make_unique<QObject>();
    }
}

bool LxControllerThread::isBound() const {
    return boundThread.load() != std::thread::id();
}

bool LxControllerThread::isCurrent() const {
    return boundThread.load() == std::this_thread::get_id();
}

bool LxControllerThread::post(int call) {
    if (!mailbox) {
        return false;
    }
    mailbox->send(call);
    return true;
}

void LxControllerThread::startTimer(int ms, std::function<void()> action) {
    if (timerContext) {
        QTimer::singleShot(ms, timerContext.get(), [live = timersLive, action = std::move(action)] {
            if (*live) {
                action();
            }
        });
    }
}

void LxControllerThread::cancelTimers() {
    if (timerContext) {
        timerContext = std::make_unique<QObject>();
    }
}
