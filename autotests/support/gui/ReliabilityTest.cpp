#include "ReliabilityTest.h"

#include "LxGlobalQmlEngine.h"
#include "LxSettingsKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>

#include <fstream>
#include <thread>
#include <unistd.h>

using Private = LxTurntableHardware::TurntableHardwarePrivate;
using namespace std::chrono_literals;

namespace {

// Qt starts the QML engine's threads with the first view, and keeps them: they
// are there before the first test counts the process's threads.
class QmlEngineWarmUp : public ::testing::Environment {
public:
    void SetUp() override {
        QQmlComponent component(globalQmlEngine(),
                                QUrl(QStringLiteral("qrc:/qml/LxTurntableUIFrameView.qml")));
        delete component.create();
        QCoreApplication::processEvents();
    }
};

const ::testing::Environment* const qmlEngineWarmUp =
    ::testing::AddGlobalTestEnvironment(new QmlEngineWarmUp);

} // namespace

ShootingHost::ShootingHost(LxKalveraTurntableControl& control)
    : control(control) {}

void ShootingHost::start(std::vector<float> shootAngles) {
    angles = std::move(shootAngles);
    next = 0;
    done = false;
    nextStep();
}

void ShootingHost::nextStep() {
    if (done) {
        return;
    }
    const float angle = next < angles.size() ? angles[next] : 0.0f;
    ++next;
    if (!control.rotateDeviceToAngle(angle)) {
        done = true;
    }
}

void ReliabilityTest::SetUp() {
    // The QML engine and its threads are the process's from their first use on.
    ViewTest::SetUp();
    Private::hardwareOpenSucceeded = [this](LxTurntableHardware* plugin, unsigned long model,
                                            bool) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back({HostNotice::Opened, plugin, model});
    };
    Private::hardwareDisconnected = [this](LxTurntableHardware* plugin, unsigned long model) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back({HostNotice::Disconnected, plugin, model});
    };
    Private::turntableRotationStopped = [this](LxTurntableHardware* plugin) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back({HostNotice::RotationStopped, plugin, 0});
        const auto host = hosts.find(plugin);
        if (host != hosts.end()) {
            host->second->rotationStopped();
        }
    };
    threadsAtStart = threadCount();
}

void ReliabilityTest::TearDown() {
    ViewTest::TearDown();
    EXPECT_TRUE(threadsBackToStart())
        << threadCount() << " threads, " << threadsAtStart << " at the start";
    Private::hardwareOpenSucceeded = nullptr;
    Private::hardwareDisconnected = nullptr;
    Private::turntableRotationStopped = nullptr;
    hosts.clear();
}

int ReliabilityTest::threadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

long ReliabilityTest::residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0;
    long residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * sysconf(_SC_PAGESIZE);
}

bool ReliabilityTest::threadsBackToStart(std::chrono::milliseconds timeout) {
    // A rotation thread stopped from its own end-of-move call is detached and
    // ends on its own, a moment later.
    return processEventsUntil([this] { return threadCount() <= threadsAtStart; }, timeout);
}

std::vector<HostNotice> ReliabilityTest::notices(LxTurntableHardware* plugin) const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<HostNotice> result;
    for (const HostNotice& notice : log) {
        if (notice.plugin == plugin) {
            result.push_back(notice);
        }
    }
    return result;
}

std::size_t ReliabilityTest::noticeCount(HostNotice::Kind kind, LxTurntableHardware* plugin) const {
    std::size_t count = 0;
    for (const HostNotice& notice : notices(plugin)) {
        count += notice.kind == kind;
    }
    return count;
}

ShootingHost& ReliabilityTest::hostOf(LxKalveraTurntableControl& of) {
    std::lock_guard<std::mutex> lock(mutex);
    auto& host = hosts[&of];
    if (!host) {
        host = std::make_unique<ShootingHost>(of);
    }
    return *host;
}

void ReliabilityTest::dropHost(LxTurntableHardware* plugin) {
    std::unique_ptr<ShootingHost> dropped;
    std::lock_guard<std::mutex> lock(mutex);
    const auto host = hosts.find(plugin);
    if (host != hosts.end()) {
        dropped = std::move(host->second);
        hosts.erase(host);
    }
}

bool ReliabilityTest::openModel(LxKalveraTurntableControl& of, unsigned long model) {
    if (of.availableDevices().empty()) {
        return false;
    }
    of.setCurrentTurntableIndex(model);
    of.openDevice(model);
    return of.isTurntableOpened();
}

bool ReliabilityTest::planShoot(const QVariantMap& settings) {
    if (!openView()) {
        return false;
    }
    setViewSettings(settings);
    unsigned short count = 0;
    float* angles = nullptr;
    return control->complete360ProductPhotographyWillStart(&count, &angles);
}

bool ReliabilityTest::shortMoveWorks(LxKalveraTurntableControl& of, ftdisim::DeviceId device,
                                     int counts) {
    const long long before = rig(device).stepperTable().position();
    of.SetRotationClockwise();
    if (of.SetRotationIncrementInCounts(counts) != counts || !of.startRotation()) {
        return false;
    }
    const bool ended = processEventsUntil([&] { return !of.IsTurntableRotating(); }, 20s);
    of.stopRotation();
    return ended && rig(device).stepperTable().position() == before - counts;
}

QVariantMap shootSettings(int frames, int counts, double preDelay, double postDelay, bool shutter) {
    return {
        {LxSettingsKeys::useCustomAngles, false},
        {LxSettingsKeys::framesCountText, QString::number(frames)},
        {LxSettingsKeys::captureDelaySeconds, QVariantList{preDelay, postDelay}},
        {LxSettingsKeys::rotationSpeed, 10},
        {LxSettingsKeys::isLockTableWhenIdle, false},
        {LxSettingsKeys::triggerShutterRelease, shutter},
        {LxSettingsKeys::customTurntableAdvancedSettings,
         QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, QString::number(counts)},
                     {LxSettingsKeys::isClockwiseActiveHigh, true},
                     {LxSettingsKeys::isMotorEnableActiveHigh, true}}},
    };
}

std::vector<float> evenAngles(int frames) {
    std::vector<float> result;
    for (int k = 0; k < frames; ++k) {
        result.push_back(360.0f * static_cast<float>(k) / static_cast<float>(frames));
    }
    return result;
}
