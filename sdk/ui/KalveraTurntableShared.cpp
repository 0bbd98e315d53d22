// What the object and its worker share.
#include "KalveraTurntable_p.h"

#include "LxThreadMailbox.h"

#include <QAbstractEventDispatcher>

namespace kalveraturntable {

bool State::operator==(const State& other) const {
    return models == other.models && model == other.model && opened == other.opened &&
           rotating == other.rotating && position == other.position &&
           chipClocked == other.chipClocked && lastError == other.lastError &&
           lastErrorCode == other.lastErrorCode && shoot == other.shoot &&
           captureIndex == other.captureIndex && captureCount == other.captureCount &&
           plannedAngles == other.plannedAngles;
}

Event Event::stateChanged(const State& state) {
    Event e(Kind::StateChanged);
    e.state = state;
    return e;
}

Event Event::captureReady(int index, double angle) {
    Event e(Kind::CaptureReady);
    e.captureIndex = index;
    e.captureAngle = angle;
    return e;
}

Event Event::shootFinished(bool completed) {
    Event e(Kind::ShootFinished);
    e.completed = completed;
    return e;
}

Event Event::error(int code, const QString& text) {
    Event e(Kind::Error);
    e.errorCode = code;
    e.errorText = text;
    return e;
}

void Shared::quit() {
    std::lock_guard<std::mutex> lock(mutex);
    quitting = true;
    // Asked of an object that has gone: a queued shutter release would hold
    // its destruction a second each, a queued open would open only to close.
    commands.clear();
    if (workerDispatcher) {
        workerDispatcher->wakeUp();
    }
}

bool Shared::quitRequested() {
    std::lock_guard<std::mutex> lock(mutex);
    return quitting;
}

void Shared::command(Command c) {
    std::lock_guard<std::mutex> lock(mutex);
    commands.push_back(std::move(c));
    if (workerBox) {
        workerBox->send(kCommandsCall);
    }
}

std::optional<Command> Shared::takeCommand() {
    std::lock_guard<std::mutex> lock(mutex);
    if (commands.empty() || quitting) {
        return std::nullopt;
    }
    std::optional<Command> c(std::move(commands.front()));
    commands.pop_front();
    return c;
}

void Shared::tell(Event e) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!objectAlive) {
        return;
    }
    events.push_back(std::move(e));
    if (objectBox) {
        objectBox->send(0);
    }
}

void Shared::wakeWorker(int why) {
    std::lock_guard<std::mutex> lock(mutex);
    if (workerBox) {
        noticesPending += why == kNoticeCall ? 1 : 0;
        workerBox->send(why);
    }
}

bool Shared::takeNotice() {
    std::lock_guard<std::mutex> lock(mutex);
    if (noticesPending == 0) {
        return false;
    }
    --noticesPending;
    return true;
}

void Shared::dropNotices() {
    std::lock_guard<std::mutex> lock(mutex);
    noticesPending = 0;
}

} // namespace kalveraturntable
