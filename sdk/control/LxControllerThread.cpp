#include "LxControllerThread.h"

#include "LxAbstractPlugin.h"
#include "LxThreadMailbox.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <utility>

// Counts the calls under way into the controller, so that a destructor on
// another thread can wait for them; guarded by asyncMutex, the library's lock.
class LxControllerThread::Gate {
public:
    bool run(const std::function<void()>& call) {
        {
            std::lock_guard<std::mutex> lock(mutex());
            if (closed) {
                return false;
            }
            ++running;
        }
        struct Leave {
            Gate& gate;
            ~Leave() {
                std::lock_guard<std::mutex> lock(mutex());
                if (--gate.running == 0) {
                    gate.idle.notify_all();
                }
            }
        } leave{*this};
        call();
        return true;
    }
    // `notice` only if the gate is open, without holding it open.
    void runOutside(const std::function<void()>& notice) {
        {
            std::lock_guard<std::mutex> lock(mutex());
            if (closed) {
                return;
            }
        }
        notice();
    }
    void close(bool waitForCalls) {
        std::unique_lock<std::mutex> lock(mutex());
        closed = true;
        if (waitForCalls) {
            idle.wait(lock, [this] { return running == 0; });
        }
    }

private:
    static std::mutex& mutex() { return LxAbstractPlugin::AbstractPluginPrivate::asyncMutex; }

    bool closed = false;
    int running = 0;
    std::condition_variable idle;
};

LxControllerThread::LxControllerThread(std::function<void(int)> receive)
    : receive(std::move(receive))
    , gate(std::make_shared<Gate>()) {}

LxControllerThread::~LxControllerThread() {
    closeGate();
    if (isCurrent() || !isBound()) {
        delete mailbox.load();
        delete timerContext;
        return;
    }
    LxThreadMailbox::destroy(mailbox.load());
    if (timerContext) {
        // Its timers die with it; until then the gate stops them.
        timerContext->deleteLater();
    }
}

bool LxControllerThread::bindToCallingThread() {
    if (loopEnded) {
        return false;
    }
    std::thread::id unbound;
    if (!boundThread.compare_exchange_strong(unbound, std::this_thread::get_id()) &&
        unbound != std::this_thread::get_id()) {
        return false;
    }
    makeEventObjects();
    return true;
}

void LxControllerThread::makeEventObjects() {
    if (mailbox.load() || !QAbstractEventDispatcher::instance()) {
        return;
    }
    timerContext = new QObject;
    mailbox = new LxThreadMailbox(gated(receive));
    // A QThread's loop may end before the controller goes: what is handed to
    // it from then on would be lost, and what it made would never go.
    QObject::connect(
        QThread::currentThread(), &QThread::finished, timerContext,
        [this, gate = gate] { gate->run([this] { endOfLoop(); }); }, Qt::DirectConnection);
}

void LxControllerThread::endOfLoop() {
    LxThreadMailbox* box = nullptr;
    {
        std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
        loopEnded = true;
        box = mailbox.exchange(nullptr);
    }
    delete box;
    // A finished thread still deletes what is left for deletion.
    std::exchange(timerContext, nullptr)->deleteLater();
}

bool LxControllerThread::isBound() const {
    return boundThread.load() != std::thread::id();
}

bool LxControllerThread::isCurrent() const {
    return !loopEnded && boundThread.load() == std::this_thread::get_id();
}

bool LxControllerThread::post(int call) {
    // Under the lock: the end of the bound thread's loop takes the mailbox.
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    LxThreadMailbox* const box = mailbox.load();
    if (!box) {
        return false;
    }
    box->send(call);
    return true;
}

void LxControllerThread::dropPosted() {
    if (LxThreadMailbox* const box = mailbox.load()) {
        box->dropPending();
    }
}

void LxControllerThread::startTimer(int ms, std::function<void()> action) {
    makeEventObjects();
    if (timerContext) {
        QTimer::singleShot(ms, timerContext,
                           [call = gated([action](int) { action(); })] { call(0); });
    }
}

void LxControllerThread::startNoticeTimer(int ms, std::function<void()> notice) {
    makeEventObjects();
    if (timerContext) {
        QTimer::singleShot(ms, timerContext,
                           [gate = gate, notice = std::move(notice)] { gate->runOutside(notice); });
    }
}

std::function<bool(const std::function<void()>&)> LxControllerThread::gateKeeper() const {
    return [gate = gate](const std::function<void()>& call) { return gate->run(call); };
}

std::function<void(int)> LxControllerThread::gated(std::function<void(int)> call) const {
    return [gate = gate, call = std::move(call)](int value) { gate->run([&] { call(value); }); };
}

void LxControllerThread::closeGate() {
    gate->close(isBound() && !isCurrent());
}
