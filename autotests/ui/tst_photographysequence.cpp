// Whole 360-degree shoots through the host contract: the test is the host.
// It registers the callbacks, opens a model, creates the view, plans, and on
// every turntableRotationStopped (which arrives on the rotation thread) posts
// the next step to its own event-loop thread, until the step that returns
// false. The simulated table and camera tell what physically happened.
#include "PinProtocolChecker.h"
#include "ViewTest.h"

#include "LxKalveraTurntableControl.h"
#include "LxSettingsKeys.h"
#include "LxThreadMailbox.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

using ftdisim::Bus;
using Clock = std::chrono::steady_clock;
using Private = LxTurntableHardware::TurntableHardwarePrivate;
using namespace std::chrono_literals;

namespace {

QVariantMap shootSettings(const QString& frames, bool shutter) {
    return {
        {LxSettingsKeys::useCustomAngles, false},
        {LxSettingsKeys::framesCountText, frames},
        // Pre-capture delay first, then post-capture delay.
        {LxSettingsKeys::captureDelaySeconds, QVariantList{0.2, 0.1}},
        {LxSettingsKeys::rotationSpeed, 10},
        {LxSettingsKeys::isLockTableWhenIdle, false},
        {LxSettingsKeys::triggerShutterRelease, shutter},
        {LxSettingsKeys::customTurntableAdvancedSettings,
         QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, QStringLiteral("72")},
                     {LxSettingsKeys::isClockwiseActiveHigh, true},
                     {LxSettingsKeys::isMotorEnableActiveHigh, true}}},
    };
}

class PhotographySequence : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        Private::hardwareOpenSucceeded = [](LxTurntableHardware*, unsigned long, bool) {};
        Private::hardwareDisconnected = [](LxTurntableHardware*, unsigned long) {};
        Private::turntableRotationStopped = [this](LxTurntableHardware*) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                noticeTimes.push_back(Clock::now());
            }
            // The host takes its next step on its own thread.
            if (shooting) {
                hostSteps.send(0);
            }
        };
    }
    void TearDown() override {
        ViewTest::TearDown();
        Private::hardwareOpenSucceeded = nullptr;
        Private::hardwareDisconnected = nullptr;
        Private::turntableRotationStopped = nullptr;
    }

    // The host's start: model, view, settings, plan.
    bool startShoot(unsigned long model, const QVariantMap& settings) {
        ok = false;
        control->setCurrentTurntableIndex(model);
        control->openDevice(model);
        if (!control->isTurntableOpened()) {
            return false;
        }
        openView();
        setViewSettings(settings);
        count = 0;
        angles = nullptr;
        return control->complete360ProductPhotographyWillStart(&count, &angles);
    }
    // Runs the shoot at the given angles, one step per notice; returns once
    // the step after the last has returned false and the table stands.
    void shoot(std::vector<float> stepAngles) {
        plannedAngles = std::move(stepAngles);
        nextIndex = 0;
        finished = false;
        shooting = true;
        nextStep();
        ASSERT_TRUE(processEventsUntil([&] { return finished.load(); }, 60s));
        ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
    }
    void nextStep() {
        const float angle = nextIndex < plannedAngles.size() ? plannedAngles[nextIndex] : 0.0f;
        ++nextIndex;
        stepsAtNotice.push_back(table().steps());
        positionsAtNotice.push_back(table().position());
        if (!control->rotateDeviceToAngle(angle)) {
            shooting = false;
            finished = true;
        }
    }
    static ftdisim::TurntableRig& rig() {
        return *Bus::instance().rig(Bus::instance().devices().at(0));
    }
    static ftdisim::StepperTable& table() { return rig().stepperTable(); }
    // What the stepper driver did to the pins of the whole test keeps to the
    // rules: `steps` steps at full speed, all clockwise, `pulses` shutter pulses.
    static void expectStepperRulesKept(int steps, std::size_t pulses) {
        pinprotocol::StepperExpectations rules(0ms);
        rules.steps = steps;
        rules.directionHigh = true;
        const auto report = pinprotocol::checkStepperProtocol(
            Bus::instance().trace(Bus::instance().devices().at(0)), rules);
        EXPECT_TRUE(report.ok()) << report;
        EXPECT_EQ(report.shutterPulses.size(), pulses) << report;
    }
    std::size_t notices() {
        std::lock_guard<std::mutex> lock(mutex);
        return noticeTimes.size();
    }

    // The host's hand-over from the notice to its event loop: a pipe, which
    // ThreadSanitizer sees as the synchronisation it is.
    LxThreadMailbox hostSteps{[this](int) { nextStep(); }};
    unsigned short count = 0;
    float* angles = nullptr;
    std::vector<float> plannedAngles;
    std::size_t nextIndex = 0;
    std::atomic<bool> finished{false};
    // Whether the host steps on at each notice.
    std::atomic<bool> shooting{false};
    bool ok = false;
    // What the table had done when each step was taken (the first entry: at the start).
    std::vector<unsigned long long> stepsAtNotice;
    std::vector<long long> positionsAtNotice;
    std::mutex mutex;
    std::vector<Clock::time_point> noticeTimes;
};

std::vector<float> evenAngles(int frames) {
    std::vector<float> result;
    for (int k = 0; k < frames; ++k) {
        result.push_back(360.0f * k / frames);
    }
    return result;
}

TEST_F(PhotographySequence, FramesModeCapturesEachFrameWithItsDelays) {
    ASSERT_TRUE(startShoot(0, shootSettings(QStringLiteral("8"), true)))
        << control->lastError().toStdString();
    EXPECT_EQ(count, 8);
    EXPECT_EQ(angles, nullptr) << "frames mode: the host chooses the angles";
    EXPECT_TRUE(control->isLockMotorWhenIdle()) << "held for the whole sequence";
    EXPECT_EQ(control->rotationSpeed(), 0u);

    shoot(evenAngles(8));
    EXPECT_EQ(notices(), 8u);
    // Each capture at 45 degrees (9 steps) clockwise of the one before.
    for (int k = 1; k < 8; ++k) {
        EXPECT_EQ(positionsAtNotice.at(k + 1), -9 * k) << "capture " << k + 1;
    }
    EXPECT_EQ(control->lastError(), QStringLiteral("360 product photography completed."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SequenceCompleted);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
    EXPECT_EQ(control->complete360ProductPhotographyImageIndex(), 0);
    EXPECT_EQ(table().position(), -72) << "the last 45 degrees back to the start";

    const auto captures = rig().camera().captures();
    ASSERT_EQ(captures.size(), 8u);
    const auto stepTimes = table().stepTimes();
    for (int k = 1; k < 8; ++k) {
        // Move k: the steps between the notices of captures k and k + 1.
        const auto firstStep = stepTimes.at(stepsAtNotice.at(k));
        const auto lastStep = stepTimes.at(stepsAtNotice.at(k + 1) - 1);
        EXPECT_GE(firstStep - captures.at(k).time, 100ms) << "post-capture delay, move " << k;
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_GE(noticeTimes.at(k) - lastStep, 200ms) << "pre-capture delay, move " << k;
    }
    expectStepperRulesKept(72, 8);
}

TEST_F(PhotographySequence, WithoutTheShutterFlagTheCameraIsLeftAlone) {
    // The re-open below passes through the chip's reset mode: a board whose
    // lines float up to the chip's pull-ups would see a step and a press of
    // the camera then, which no open can avoid (README.md). This one holds
    // them.
    Bus::instance().setResetPins(ftdisim::ResetPins::Held);
    ASSERT_TRUE(startShoot(2, shootSettings(QStringLiteral("8"), false)));
    EXPECT_EQ(control->countsPerRevolution(), 19520u) << "a standard model keeps its own";
    closeView();
    control->closeDevice();
    ASSERT_TRUE(startShoot(0, shootSettings(QStringLiteral("8"), false)))
        << control->lastError().toStdString();
    shoot(evenAngles(8));
    EXPECT_EQ(notices(), 8u);
    EXPECT_TRUE(rig().camera().captures().empty());
    EXPECT_EQ(table().position(), -72);
    expectStepperRulesKept(72, 0);
}

TEST_F(PhotographySequence, CustomAnglesCloseWithAWholeTurnAndNoReturn) {
    QVariantMap settings = shootSettings(QStringLiteral("8"), false);
    settings[LxSettingsKeys::useCustomAngles] = true;
    settings[LxSettingsKeys::captureDelaySeconds] = QVariantList{0, 0};
    control->setCurrentTurntableIndex(0);
    control->openDevice(0);
    openView();
    setViewSettings(settings);
    auto* model = contextObject("KalveraTurntableCustomAnglesModel");
    for (const char* angle : {"45", "90", "180"}) {
        QMetaObject::invokeMethod(model, "appendCustomAngle",
                                  Q_ARG(QString, QString::fromLatin1(angle)));
    }
    ASSERT_TRUE(control->complete360ProductPhotographyWillStart(&count, &angles));
    ASSERT_EQ(count, 4);
    ASSERT_NE(angles, nullptr);
    EXPECT_EQ(std::vector<float>(angles, angles + 4), (std::vector<float>{45, 90, 180, 360}));
    EXPECT_TRUE(control->isUsingCustomAngles());

    shoot(std::vector<float>(angles, angles + 4));
    EXPECT_EQ(notices(), 4u);
    EXPECT_EQ(positionsAtNotice, (std::vector<long long>{0, -9, -18, -36, -72}));
    EXPECT_EQ(table().position(), -72) << "no return move after the whole turn";
    expectStepperRulesKept(72, 0);

    QMetaObject::invokeMethod(model, "clearCustomAngles");
    QMetaObject::invokeMethod(model, "appendCustomAngle", Q_ARG(QString, QStringLiteral("90")));
    float* single = nullptr;
    ASSERT_TRUE(control->complete360ProductPhotographyWillStart(&count, &single));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<float>(single, single + 2), (std::vector<float>{90, 360}));
}

TEST_F(PhotographySequence, TheDcTableShootsInCountsOfFiveDegrees) {
    rig().dcTable().setTimePerCount(110ms);
    ASSERT_TRUE(startShoot(1, shootSettings(QStringLiteral("4"), true)));
    EXPECT_EQ(count, 4);
    shoot(evenAngles(4));
    EXPECT_EQ(notices(), 4u);
    EXPECT_EQ(rig().dcTable().countsTurned(), 72u) << "three steps of 18 counts and 18 back";
    EXPECT_TRUE(rig().camera().captures().empty()) << "the DC table has no shutter output";
    const auto report =
        pinprotocol::checkDcProtocol(Bus::instance().trace(Bus::instance().devices().at(0)));
    EXPECT_TRUE(report.ok()) << report;
    int counts = 0;
    for (const pinprotocol::DcChunk& chunk : report.chunks) {
        counts += chunk.counts();
    }
    EXPECT_EQ(counts, 72) << report;
}

TEST_F(PhotographySequence, AShootPlannedAnewDropsTheStepTheOldOneWaitedFor) {
    QVariantMap settings = shootSettings(QStringLiteral("4"), false);
    settings[LxSettingsKeys::captureDelaySeconds] = QVariantList{0, 0.3};
    ASSERT_TRUE(startShoot(0, settings));
    ASSERT_TRUE(control->rotateDeviceToAngle(90.0f));
    // The host starts over before the step's post-capture delay has passed.
    ASSERT_TRUE(control->complete360ProductPhotographyWillStart(&count, &angles));
    // The event loop for 0.6 s: twice the delay.
    processEventsUntil([] { return false; }, 600ms);
    EXPECT_EQ(table().steps(), 0u) << "the old shoot's step is gone with it";
    EXPECT_EQ(notices(), 0u);
}

TEST_F(PhotographySequence, ASequenceStoppedHalfWayCountsOnWhenRestarted) {
    QVariantMap settings = shootSettings(QStringLiteral("4"), false);
    settings[LxSettingsKeys::captureDelaySeconds] = QVariantList{0, 0};
    ASSERT_TRUE(startShoot(0, settings));
    ASSERT_TRUE(control->rotateDeviceToAngle(90.0f));
    ASSERT_TRUE(processEventsUntil([&] { return notices() == 1; }));
    ASSERT_TRUE(control->rotateDeviceToAngle(180.0f));
    control->stopsSpinning();
    EXPECT_EQ(control->complete360ProductPhotographyImageIndex(), 2);

    ASSERT_TRUE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->complete360ProductPhotographyImageIndex(), 2) << "the index carries on";
    EXPECT_TRUE(control->rotateDeviceToAngle(270.0f));
    EXPECT_TRUE(control->rotateDeviceToAngle(360.0f));
    EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
    EXPECT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
    const auto report =
        pinprotocol::checkStepperProtocol(Bus::instance().trace(Bus::instance().devices().at(0)),
                                          pinprotocol::StepperExpectations(0ms));
    EXPECT_TRUE(report.ok()) << report;
}

TEST_F(PhotographySequence, RefusalsLeaveWhatTheyMust) {
    QVariantMap settings = shootSettings(QStringLiteral("12"), false);
    settings[LxSettingsKeys::useCustomAngles] = true;
    // The empty list is refused first, even on the DC model.
    control->setCurrentTurntableIndex(1);
    control->openDevice(1);
    openView();
    setViewSettings(settings);
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(),
              QStringLiteral("Invalid custom angles array. Make sure the list is not empty."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidCustomAngles);
    QMetaObject::invokeMethod(contextObject("KalveraTurntableCustomAnglesModel"),
                              "appendCustomAngle", Q_ARG(QString, QStringLiteral("90")));
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(),
              QStringLiteral("Standard turntable does not support custom angles."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::CustomAnglesUnsupported);
    EXPECT_FALSE(control->isUsingCustomAngles());
    EXPECT_EQ(angles, nullptr);

    // The settings alone skip both list tests and leave the sequence alone.
    control->setDelaySeconds(-1.0f, -1.0f);
    control->setLastError(QString());
    control->saveUISettingsInternalUse();
    EXPECT_TRUE(control->lastError().isEmpty());
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
    EXPECT_EQ(control->preDelaySeconds(), 0.2f);
    EXPECT_EQ(control->postDelaySeconds(), 0.1f);
    closeView();

    // "Custom" without counts: refused after the count, delays and speed are in.
    control->setCurrentTurntableIndex(0);
    control->openDevice(0);
    openView();
    settings[LxSettingsKeys::useCustomAngles] = false;
    settings[LxSettingsKeys::rotationSpeed] = 3;
    settings[LxSettingsKeys::captureDelaySeconds] = QVariantList{QStringLiteral("1.5")};
    settings[LxSettingsKeys::customTurntableAdvancedSettings] =
        QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, QStringLiteral("0")}};
    setViewSettings(settings);
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(), QStringLiteral("Counts per revolution have not been set."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::CountsPerRevolutionNotSet);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0)
        << "a refused plan leaves no shoot to lock the view's preview and import";
    EXPECT_EQ(control->rotationSpeed(), 7u);
    EXPECT_EQ(control->preDelaySeconds(), 1.5f);
    EXPECT_EQ(control->postDelaySeconds(), 0.0f) << "a missing entry is no delay";

    settings[LxSettingsKeys::framesCountText] = QStringLiteral("abc");
    settings[LxSettingsKeys::customTurntableAdvancedSettings] =
        QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, QStringLiteral("72")}};
    setViewSettings(settings);
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(),
              QStringLiteral("The number of frames must be a whole number from 1 to 65535."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidFrameCount);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
}

TEST_F(PhotographySequence, ThePreviewAndTheImportWaitUntilTheShootEnds) {
    QVariantMap settings = shootSettings(QStringLiteral("1"), false);
    // 0.5 s before the capture notice, 0.3 s before the move, 10 ms a step.
    settings[LxSettingsKeys::captureDelaySeconds] = QVariantList{0.5, 0.3};
    settings[LxSettingsKeys::rotationSpeed] = 0;
    ASSERT_TRUE(startShoot(0, settings)) << control->lastError().toStdString();
    QObject* qmlControl = contextObject("KalveraTurntableQmlControl");
    const auto pressPreviewAndImport = [&](const char* phase) {
        SCOPED_TRACE(phase);
        bool running = false;
        QMetaObject::invokeMethod(qmlControl, "isShootRunning", Q_RETURN_ARG(bool, running));
        EXPECT_TRUE(running);
        EXPECT_EQ(callView("startPreview", {45, false}), false);
        EXPECT_EQ(control->lastError(), QStringLiteral("A 360 product photography shoot is "
                                                       "running. Let it end or stop it first."));
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ShootRunning);
        callView("importStandardSettings", {4});
        EXPECT_EQ(control->countsPerRevolution(), 72u) << "not reopened as \"Custom\"";
        // A host's own view may offer them at any time.
        EXPECT_EQ(callView("stopPreview", {}), false) << "the shoot's move is not stopped";
        bool fired = true;
        QMetaObject::invokeMethod(qmlControl, "triggerShutterRelease", Q_RETURN_ARG(bool, fired));
        EXPECT_FALSE(fired);
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ShootRunning);
    };

    ASSERT_TRUE(control->rotateDeviceToAngle(180.0f));
    pressPreviewAndImport("before the move");
    ASSERT_TRUE(processEventsUntil([&] { return control->IsTurntableRotating(); }, 5s));
    pressPreviewAndImport("during the move");
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(), QStringLiteral("The turntable is turning. Stop it first."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::TurntableTurning);
    ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }, 5s));
    ASSERT_EQ(notices(), 0u) << "the pre-capture delay runs";
    pressPreviewAndImport("before the capture");
    ASSERT_TRUE(processEventsUntil([&] { return notices() == 1; }, 5s));
    EXPECT_EQ(table().position(), -36) << "the capture's move turned as asked";

    EXPECT_FALSE(control->rotateDeviceToAngle(0.0f));
    ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
    EXPECT_EQ(callView("startPreview", {90, false}), true) << "the shoot has ended";
    ASSERT_TRUE(processEventsUntil([&] { return !control->IsTurntableRotating(); }));
    EXPECT_EQ(table().position(), -90);
    EXPECT_EQ(notices(), 1u) << "a preview's end is no capture";
}

} // namespace
