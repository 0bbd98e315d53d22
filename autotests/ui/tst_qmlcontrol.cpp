// What the view commands through its control object: rotation previews and
// the import of a standard model's settings into "Custom".
#include "LxSettingsKeys.h"
#include "ViewTest.h"

namespace {

using QmlControl = ViewTest;

QVariantList modelIndices(const QVariantList& updates) {
    QVariantList indices;
    for (const QVariant& update : updates) {
        indices.append(update.toMap()["modelIndex"]);
    }
    return indices;
}

TEST_F(QmlControl, ImportSendsAStandardModelsSettingsAsCustom) {
    openView();
    ASSERT_TRUE(openDevice(2));
    processPendingEvents();
    callView("importStandardSettings", {4});
    EXPECT_TRUE(control->isTurntableOpened());
    EXPECT_EQ(control->countsPerRevolution(), 0u) << "open as \"Custom\" now";

    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 4; }));
    const QVariantList updates = recorded("deviceUpdates").mid(1);
    EXPECT_EQ(modelIndices(updates), (QVariantList{4, 0, 0})) << "the import's own call last";
    const QVariantMap imported{{LxSettingsKeys::stepsPerRevolutionText, "11200"},
                               {LxSettingsKeys::isClockwiseActiveHigh, true},
                               {LxSettingsKeys::isMotorEnableActiveHigh, true}};
    EXPECT_EQ(updates[2].toMap()["settings"], imported);
}

TEST_F(QmlControl, ImportOfNoModelSendsZeroCounts) {
    openView();
    callView("importStandardSettings", {-1});
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 2; }));
    const QVariantList updates = recorded("deviceUpdates");
    EXPECT_EQ(modelIndices(updates), (QVariantList{0, 0}));
    const QVariantMap imported{{LxSettingsKeys::stepsPerRevolutionText, "0"},
                               {LxSettingsKeys::isClockwiseActiveHigh, false},
                               {LxSettingsKeys::isMotorEnableActiveHigh, true}};
    EXPECT_EQ(updates[1].toMap()["settings"], imported);
}

TEST_F(QmlControl, APreviewTakesTheViewsSettingsAndTurnsUntilStopped) {
    openView();
    ASSERT_TRUE(openDevice(2));
    control->setCurrentTurntableIndex(2);
    setViewSettings(QVariantMap{{LxSettingsKeys::rotationSpeed, 3},
                                {LxSettingsKeys::triggerShutterRelease, true}});

    EXPECT_EQ(callView("startPreview", {0, false}), true);
    EXPECT_EQ(saveCalls.turntableIndices, QVariantList{2});
    EXPECT_TRUE(control->IsTurntableRotating()) << "a continuous rotation";
    EXPECT_TRUE(control->isRotationClockwise());
    EXPECT_EQ(control->rotationSpeed(), 7u);
    EXPECT_FALSE(control->isLockMotorWhenIdle()) << "a preview is no sequence";

    callView("stopPreview");
    EXPECT_FALSE(control->IsTurntableRotating());
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 2; }));
    EXPECT_EQ(recorded("deviceUpdates")[1].toMap()["modelIndex"], -1);
}

TEST_F(QmlControl, APreviewByDegreesEndsByItself) {
    openView();
    ASSERT_TRUE(openDevice(0));
    control->setCurrentTurntableIndex(0);
    setViewSettings(QVariantMap{{LxSettingsKeys::rotationSpeed, 10},
                                {LxSettingsKeys::customTurntableAdvancedSettings,
                                 QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, "72"}}}});

    EXPECT_EQ(callView("startPreview", {90, true}), true);
    EXPECT_EQ(control->countsPerRevolution(), 72u) << "the view's \"Custom\" settings";
    EXPECT_FALSE(control->isRotationClockwise());
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 2; }));
    EXPECT_EQ(recorded("deviceUpdates")[1].toMap()["modelIndex"], -1);
    EXPECT_FALSE(control->IsTurntableRotating());
}

TEST_F(QmlControl, AContinuousPreviewWithoutCountsTurnsWithTheViewsMotorSettings) {
    openView();
    ASSERT_TRUE(openDevice(0));
    control->setCurrentTurntableIndex(0);
    setViewSettings(QVariantMap{{LxSettingsKeys::customTurntableAdvancedSettings,
                                 QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, ""},
                                             {LxSettingsKeys::isClockwiseActiveHigh, false},
                                             {LxSettingsKeys::isMotorEnableActiveHigh, false}}}});

    EXPECT_EQ(callView("startPreview", {0, false}), true);
    EXPECT_FALSE(control->isMotorEnableActiveHigh());
    EXPECT_FALSE(control->isClockwiseActiveHigh());
    callView("stopPreview");
}

TEST_F(QmlControl, WhileAPreviewTurnsAnotherPreviewAnImportAndAPlanWait) {
    openView();
    ASSERT_TRUE(openDevice(2));
    control->setCurrentTurntableIndex(2);
    setViewSettings(QVariantMap{{LxSettingsKeys::rotationSpeed, 10},
                                {LxSettingsKeys::isLockTableWhenIdle, true}});
    ASSERT_EQ(callView("startPreview", {0, false}), true);

    setViewSettings(QVariantMap{{LxSettingsKeys::rotationSpeed, 3},
                                {LxSettingsKeys::isLockTableWhenIdle, false}});
    EXPECT_EQ(callView("startPreview", {90, true}), false);
    EXPECT_EQ(control->lastError(), "The turntable is turning. Stop it first.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::TurntableTurning);
    EXPECT_EQ(saveCalls.turntableIndices.size(), 1) << "the settings are not taken over";
    EXPECT_EQ(control->rotationSpeed(), 0u);
    EXPECT_TRUE(control->isLockMotorWhenIdle());
    EXPECT_TRUE(control->isRotationClockwise());

    callView("importStandardSettings", {4});
    EXPECT_EQ(control->countsPerRevolution(), 19520u) << "not reopened as \"Custom\"";
    control->setLastError(QString());
    unsigned short count = 0;
    float* angles = nullptr;
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(), "The turntable is turning. Stop it first.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::TurntableTurning);
    EXPECT_EQ(control->rotationSpeed(), 0u);
    EXPECT_TRUE(control->IsTurntableRotating());
    callView("stopPreview");
}

TEST_F(QmlControl, APreviewNeedsAnOpenDevice) {
    openView();
    EXPECT_EQ(callView("startPreview", {45, true}), false);
    EXPECT_TRUE(saveCalls.turntableIndices.isEmpty()) << "the view is not asked";
}

} // namespace
