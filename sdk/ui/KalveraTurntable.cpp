// The object's side of KalveraTurntable: its properties as the worker last
// told them, and the commands it hands the worker.
#include "KalveraTurntable.h"

#include "KalveraTurntable_p.h"
#include "LxThreadMailbox.h"

#include <QEvent>
#include <QPointer>
#include <QThread>

using namespace kalveraturntable;

KalveraTurntable::KalveraTurntable(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>()) {
    d->shared = std::make_shared<Shared>();
    d->shared->objectBox = makeMailbox();
    d->thread = std::make_unique<WorkerThread>(d->shared);
}

KalveraTurntable::~KalveraTurntable() {
    LxThreadMailbox* box = nullptr;
    {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        box = d->shared->objectBox;
        d->shared->objectBox = nullptr;
        d->shared->objectAlive = false;
        d->shared->events.clear();
    }
    LxThreadMailbox::destroy(box);
    d->shared->quit();
    d->thread.reset();
}

LxThreadMailbox* KalveraTurntable::makeMailbox() {
    return new LxThreadMailbox([this](int) { receiveEvents(); });
}

bool KalveraTurntable::event(QEvent* event) {
    if (event->type() == QEvent::ThreadChange) {
        leaveThread();
    }
    return QObject::event(event);
}

void KalveraTurntable::leaveThread() {
    // The mailbox wakes the thread that made it: this one, which the object
    // is leaving. What the worker tells meanwhile waits for the mailbox of
    // the thread the object goes to, made there once it runs this object's
    // events. A posted call goes with the object.
    LxThreadMailbox* box = nullptr;
    {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        box = d->shared->objectBox;
        d->shared->objectBox = nullptr;
    }
    LxThreadMailbox::destroy(box);
    QMetaObject::invokeMethod(
        this, [this] { adoptThread(); }, Qt::QueuedConnection);
}

void KalveraTurntable::adoptThread() {
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    // Moved on again before this ran: the last move's call makes it.
    if (d->shared->objectBox || thread() != QThread::currentThread()) {
        return;
    }
    d->shared->objectBox = makeMailbox();
    if (!d->shared->events.empty()) {
        d->shared->objectBox->send(0);
    }
}

void KalveraTurntable::command(const Command& command) {
    d->shared->command(command);
}

void KalveraTurntable::receiveEvents() {
    const QPointer<KalveraTurntable> alive(this);
    for (;;) {
        Event event(Event::Kind::StateChanged);
        {
            std::lock_guard<std::mutex> lock(d->shared->mutex);
            // Empty, or the object moved to another thread inside a signal:
            // the rest is for that thread, which may be taking it already.
            if (d->shared->events.empty() || thread() != QThread::currentThread()) {
                return;
            }
            event = std::move(d->shared->events.front());
            d->shared->events.pop_front();
        }
        switch (event.kind) {
        case Event::Kind::StateChanged:
            applyState(event.state);
            break;
        case Event::Kind::MoveEnded:
            emit moveEnded();
            break;
        case Event::Kind::CaptureReady:
            emit captureReady(event.captureIndex, event.captureAngle);
            break;
        case Event::Kind::ShootFinished:
            emit shootFinished(event.completed);
            break;
        case Event::Kind::Disconnected:
            emit disconnected();
            break;
        case Event::Kind::Error:
            emit errorOccurred(event.errorCode, event.errorText);
            break;
        }
        // A handler may have destroyed the object.
        if (!alive) {
            return;
        }
    }
}

void KalveraTurntable::applyState(const State& state) {
    const QPointer<KalveraTurntable> alive(this);
    // Each change is stored before its signal, and the signals go in the
    // order a host reads a move or a shoot by: what the table does, then the
    // shoot's progress. A handler that destroys the object ends the rest.
    const State old = d->state;
    d->state = state;
    const auto notify = [&](bool changed, void (KalveraTurntable::*signal)()) {
        if (changed && alive) {
            emit(this->*signal)();
        }
    };
    notify(old.models != state.models, &KalveraTurntable::modelsChanged);
    notify(old.model != state.model, &KalveraTurntable::modelChanged);
    notify(old.opened != state.opened, &KalveraTurntable::openedChanged);
    notify(old.chipClocked != state.chipClocked, &KalveraTurntable::chipClockedChanged);
    notify(old.rotating != state.rotating, &KalveraTurntable::rotatingChanged);
    notify(old.position != state.position, &KalveraTurntable::positionChanged);
    notify(old.lastError != state.lastError || old.lastErrorCode != state.lastErrorCode,
           &KalveraTurntable::lastErrorChanged);
    notify(old.plannedAngles != state.plannedAngles, &KalveraTurntable::plannedAnglesChanged);
    notify(old.captureCount != state.captureCount, &KalveraTurntable::captureCountChanged);
    notify(old.captureIndex != state.captureIndex, &KalveraTurntable::captureIndexChanged);
    notify(old.shoot != state.shoot, &KalveraTurntable::shootChanged);
}

QStringList KalveraTurntable::models() const {
    return d->state.models;
}
int KalveraTurntable::model() const {
    return d->state.model;
}
bool KalveraTurntable::isOpened() const {
    return d->state.opened;
}
bool KalveraTurntable::isRotating() const {
    return d->state.rotating;
}
double KalveraTurntable::position() const {
    return d->state.position;
}
bool KalveraTurntable::isChipClocked() const {
    return d->state.chipClocked;
}
QString KalveraTurntable::lastError() const {
    return d->state.lastError;
}
int KalveraTurntable::lastErrorCode() const {
    return d->state.lastErrorCode;
}
KalveraTurntable::ShootState KalveraTurntable::shoot() const {
    return d->state.shoot;
}
int KalveraTurntable::captureIndex() const {
    return d->state.captureIndex;
}
int KalveraTurntable::captureCount() const {
    return d->state.captureCount;
}
QVariantList KalveraTurntable::plannedAngles() const {
    return d->state.plannedAngles;
}
bool KalveraTurntable::autoAdvance() const {
    return d->autoAdvance;
}

void KalveraTurntable::setAutoAdvance(bool on) {
    if (on == d->autoAdvance) {
        return;
    }
    d->autoAdvance = on;
    Command c(Command::Kind::SetAutoAdvance);
    c.autoAdvance = on;
    command(c);
    emit autoAdvanceChanged();
}

void KalveraTurntable::findTurntables() {
    command(Command(Command::Kind::Find));
}
void KalveraTurntable::open(int model) {
    Command c(Command::Kind::Open);
    c.model = model;
    command(c);
}
void KalveraTurntable::close() {
    command(Command(Command::Kind::Close));
}
void KalveraTurntable::rotateBy(double degrees) {
    Command c(Command::Kind::RotateBy);
    c.degrees = degrees;
    command(c);
}
void KalveraTurntable::rotateTo(double angle) {
    Command c(Command::Kind::RotateTo);
    c.degrees = angle;
    command(c);
}
void KalveraTurntable::rotateCounts(int counts) {
    Command c(Command::Kind::RotateCounts);
    c.counts = counts;
    command(c);
}
void KalveraTurntable::turnContinuously(bool clockwise) {
    Command c(Command::Kind::TurnContinuously);
    c.clockwise = clockwise;
    command(c);
}
void KalveraTurntable::stop() {
    command(Command(Command::Kind::Stop));
}
void KalveraTurntable::fireShutter() {
    command(Command(Command::Kind::FireShutter));
}
void KalveraTurntable::applySettings(const LxShootPlan& plan) {
    Command c(Command::Kind::ApplySettings);
    c.plan = plan;
    command(c);
}
void KalveraTurntable::applySettings(const QVariantMap& settings) {
    applySettings(LxShootPlan::fromSettingsMap(settings));
}
void KalveraTurntable::startShoot(const LxShootPlan& plan) {
    Command c(Command::Kind::StartShoot);
    c.plan = plan;
    command(c);
}
void KalveraTurntable::startShoot(const QVariantMap& settings) {
    startShoot(LxShootPlan::fromSettingsMap(settings));
}
void KalveraTurntable::stopShoot() {
    command(Command(Command::Kind::StopShoot));
}
void KalveraTurntable::captureTaken() {
    command(Command(Command::Kind::CaptureTaken));
}
