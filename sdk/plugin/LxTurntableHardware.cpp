#include "LxTurntableHardware.h"

#include <QObject>

#include <mutex>

std::function<void(LxTurntableHardware*, unsigned long, bool)>
    LxTurntableHardware::TurntableHardwarePrivate::hardwareOpenSucceeded;
std::function<void(LxTurntableHardware*, unsigned long)>
    LxTurntableHardware::TurntableHardwarePrivate::hardwareDisconnected;
std::function<void(LxTurntableHardware*)>
    LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped;

LxTurntableHardware::TurntableHardwarePrivate::~TurntableHardwarePrivate() {
    delete[] angles;
}

LxTurntableHardware::LxTurntableHardware()
    : d(std::make_unique<TurntableHardwarePrivate>()) {}

LxTurntableHardware::~LxTurntableHardware() = default;

int LxTurntableHardware::pluginType() const {
    return TurntableHardwarePluginType;
}

bool LxTurntableHardware::complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                                 float** angles) {
    if (imagesCount) {
        d->imagesCount = *imagesCount;
    }
    // The array held already may come back: it must not be released then.
    if (angles && *angles != d->angles) {
        delete[] d->angles;
        d->angles = *angles;
    }
    return true;
}

bool LxTurntableHardware::rotateDeviceToAngle(float) {
    // Compared before counting: with 65535 captures the index would wrap to 0
    // and the sequence would never end.
    if (d->imageIndex < d->imagesCount) {
        ++d->imageIndex;
        return true;
    }
    LxTurntableHardware::stopsSpinning();
    setLastError(ErrorCode::SequenceCompleted,
                 QStringLiteral("360 product photography completed."));
    return false;
}

void LxTurntableHardware::stopsSpinning() {
    d->imagesCount = 0;
    d->imageIndex = 0;
}

bool LxTurntableHardware::setCurrentTurntableIndex(unsigned long index) {
    // A selection that names no model would reach the view and the plan as
    // some other model, or as none.
    if (refuseUnknownModel(index)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    d->currentTurntableIndex = index;
    return true;
}

bool LxTurntableHardware::refuseUnknownModel(unsigned long index) {
    if (index < TurntableModelCount) {
        return false;
    }
    setLastError(ErrorCode::InvalidModelIndex,
                 QObject::tr("There is no turntable model %1: the models are 0 to %2.")
                     .arg(index)
                     .arg(TurntableModelCount - 1));
    return true;
}

unsigned long LxTurntableHardware::currentTurntableIndex() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return d->currentTurntableIndex;
}

namespace {

// A copy taken under the library's lock, which whoever assigns a callback
// while devices may be open holds (the first KalveraTurntable object does):
// the call then runs without the lock, which the callback may take itself.
// A copy also because a host may clear its callback inside the call, which
// would free the callable that runs.
template <typename Callback>
Callback copyOf(const Callback& callback) {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return callback;
}

} // namespace

void LxTurntableHardware::hardwareOpenSucceeded(unsigned long index, bool supportsCustomAngles) {
    copyOf(TurntableHardwarePrivate::hardwareOpenSucceeded)(this, index, supportsCustomAngles);
}

void LxTurntableHardware::hardwareDisconnected(unsigned long index) {
    copyOf(TurntableHardwarePrivate::hardwareDisconnected)(this, index);
}

void LxTurntableHardware::turntableRotationStopped() {
    copyOf(TurntableHardwarePrivate::turntableRotationStopped)(this);
}

unsigned short LxTurntableHardware::complete360ProductPhotographyImagesCount(float** angles) const {
    if (angles) {
        *angles = d->angles;
    }
    return d->imagesCount;
}

unsigned short LxTurntableHardware::complete360ProductPhotographyImageIndex() const {
    return d->imageIndex;
}

double LxTurntableHardware::stepsToDegrees(short) const {
    return 0.0;
}

short LxTurntableHardware::degreesToSteps(float) const {
    return 0;
}
