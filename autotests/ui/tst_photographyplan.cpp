// The 360-degree plan made from the settings the view holds.
#include "LxSettingsKeys.h"
#include "ViewTest.h"

#include <QStringListModel>
#include <QVector>

#include <vector>

namespace {

class PhotographyPlan : public ViewTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        openView();
        ASSERT_TRUE(openDevice(2));
        control->setCurrentTurntableIndex(2);
    }

    bool plan() { return control->complete360ProductPhotographyWillStart(&count, &angles); }
    std::vector<float> plannedAngles() const { return {angles, angles + count}; }

    unsigned short count = 0;
    float* angles = nullptr;
};

TEST_F(PhotographyPlan, FramesModeTakesTheWholeFramesOfTheText) {
    setViewSettings(QVariantMap{{LxSettingsKeys::useCustomAngles, false},
                                {LxSettingsKeys::framesCountText, "36.9"},
                                {LxSettingsKeys::captureDelaySeconds, QVariantList{"1.5", 0.25}},
                                {LxSettingsKeys::rotationSpeed, 3}});
    ASSERT_TRUE(plan());
    EXPECT_EQ(count, 36);
    EXPECT_EQ(angles, nullptr);
    EXPECT_EQ(saveCalls.turntableIndices, QVariantList{2});
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 36);
    EXPECT_EQ(control->preDelaySeconds(), 1.5f);
    EXPECT_EQ(control->postDelaySeconds(), 0.25f);
    EXPECT_EQ(control->rotationSpeed(), 7u);
    EXPECT_TRUE(control->isLockMotorWhenIdle()) << "held for the whole sequence";
}

TEST_F(PhotographyPlan, OnlyATrueBooleanSwitchesChipClockedStepTrainsOff) {
    const struct {
        const char* name;
        QVariant value;
        bool chipClocked;
    } cases[] = {{"per-edge", true, false},
                 {"not per-edge", false, true},
                 {"absent", QVariant(), true},
                 {"a damaged file's text", QStringLiteral("yes"), true},
                 {"a damaged file's number", 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QVariantMap settings{{LxSettingsKeys::framesCountText, "8"},
                             // Files from when trains were off by default say so.
                             {QStringLiteral("isChipClockedStepTrains"), false}};
        if (c.value.isValid()) {
            settings.insert(LxSettingsKeys::isPerEdgeStepWrites, c.value);
        }
        setViewSettings(settings);
        control->SetChipClockedStepTrains(!c.chipClocked);
        ASSERT_TRUE(plan());
        EXPECT_EQ(control->isChipClockedStepTrains(), c.chipClocked);
    }
}

TEST_F(PhotographyPlan, FramesOutsideOneTo65535AreRefusedAndChangeNothing) {
    setViewSettings(QVariantMap{{LxSettingsKeys::framesCountText, "65535.9"},
                                {LxSettingsKeys::captureDelaySeconds, QVariantList{1, 2}},
                                {LxSettingsKeys::rotationSpeed, 3}});
    ASSERT_TRUE(plan());
    EXPECT_EQ(count, 65535);
    for (const char* text : {"70000", "65536", "-1", "-3.7", "0.9", "nan", "inf", "abc", ""}) {
        SCOPED_TRACE(text);
        setViewSettings(QVariantMap{{LxSettingsKeys::framesCountText, text},
                                    {LxSettingsKeys::captureDelaySeconds, QVariantList{5, 6}},
                                    {LxSettingsKeys::rotationSpeed, 8}});
        count = 7;
        EXPECT_FALSE(plan());
        EXPECT_EQ(control->lastError(),
                  "The number of frames must be a whole number from 1 to 65535.");
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidFrameCount);
        EXPECT_EQ(count, 7);
        EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 65535);
        EXPECT_EQ(control->preDelaySeconds(), 1.0f);
        EXPECT_EQ(control->rotationSpeed(), 7u);
    }
}

TEST_F(PhotographyPlan, APlanThatCannotTurnTheTableIsRefused) {
    // "Custom" opened while the host still has another model selected: the
    // view's "Custom" settings do not apply, and the driver has no counts.
    ASSERT_TRUE(openDevice(0));
    setViewSettings(QVariantMap{{LxSettingsKeys::framesCountText, "8"}});
    EXPECT_FALSE(plan());
    EXPECT_EQ(control->lastError(), "Counts per revolution have not been set.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::CountsPerRevolutionNotSet);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0) << "no shoot runs";

    control->closeDevice();
    EXPECT_FALSE(plan());
    EXPECT_EQ(control->lastError(), "Open the turntable before planning a shoot.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::DeviceNotOpen);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
}

TEST_F(PhotographyPlan, CustomModeClosesTheViewsAnglesWithAWholeTurn) {
    for (const char* angle : {"45", "90", "180"}) {
        callView("appendAngle", {angle});
    }
    setViewSettings(QVariantMap{{LxSettingsKeys::useCustomAngles, true},
                                {LxSettingsKeys::framesCountText, "8"}});
    ASSERT_TRUE(plan());
    EXPECT_EQ(plannedAngles(), (std::vector<float>{45.0f, 90.0f, 180.0f, 360.0f}));
    float* held = nullptr;
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(&held), 4);
    EXPECT_EQ(held, angles) << "the controller owns the array it handed out";
    EXPECT_TRUE(control->isUsingCustomAngles());
}

TEST_F(PhotographyPlan, CustomModeRefusesAnEmptyList) {
    setViewSettings(QVariantMap{{LxSettingsKeys::useCustomAngles, true}});
    EXPECT_FALSE(plan());
    EXPECT_EQ(control->lastError(),
              "Invalid custom angles array. Make sure the list is not empty.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidCustomAngles);
    EXPECT_EQ(angles, nullptr);
    EXPECT_FALSE(control->isUsingCustomAngles());
}

TEST_F(PhotographyPlan, CustomModeTakesNoMoreAnglesThanTheCountCanHold) {
    // Lists as long as a settings file may bring: 65534 angles and the
    // closing whole turn fill the 16-bit count; one more would wrap it to 0.
    auto* model =
        qobject_cast<QStringListModel*>(contextObject("KalveraTurntableCustomAnglesModel"));
    ASSERT_NE(model, nullptr);
    // The test view shows each angle as an item; tens of thousands of them
    // would take most of the test's time.
    for (QObject* child : item->findChildren<QObject*>()) {
        if (child->property("model").value<QObject*>() == model) {
            child->setProperty("model", QVariant());
        }
    }
    setViewSettings(QVariantMap{{LxSettingsKeys::useCustomAngles, true}});
    model->setStringList(QVector<QString>(65535, QStringLiteral("1")).toList());
    EXPECT_FALSE(plan());
    EXPECT_EQ(control->lastError(),
              "Too many custom angles. A shoot takes at most 65535 captures.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::TooManyCustomAngles);
    EXPECT_EQ(angles, nullptr);
    EXPECT_FALSE(control->isUsingCustomAngles());

    model->setStringList(QVector<QString>(65534, QStringLiteral("1")).toList());
    ASSERT_TRUE(plan());
    ASSERT_EQ(count, 65535);
    EXPECT_EQ(angles[65533], 1.0f);
    EXPECT_EQ(angles[65534], 360.0f);
}

TEST_F(PhotographyPlan, CustomModelTakesItsMotorSettingsFromTheView) {
    ASSERT_TRUE(openDevice(0));
    control->setCurrentTurntableIndex(0);
    const QVariantMap advanced{{LxSettingsKeys::stepsPerRevolutionText, "400"},
                               {LxSettingsKeys::isClockwiseActiveHigh, false},
                               {LxSettingsKeys::isMotorEnableActiveHigh, false}};
    setViewSettings(QVariantMap{{LxSettingsKeys::framesCountText, "24"},
                                {LxSettingsKeys::customTurntableAdvancedSettings, advanced}});
    ASSERT_TRUE(plan());
    EXPECT_EQ(control->countsPerRevolution(), 400u);
    EXPECT_FALSE(control->isClockwiseActiveHigh());
    EXPECT_FALSE(control->isMotorEnableActiveHigh());

    // The view's "Custom" settings are the saved ones from now on.
    ASSERT_TRUE(openDevice(0));
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 3; }));
    EXPECT_EQ(recorded("deviceUpdates")[2].toMap()["settings"], advanced);
}

TEST_F(PhotographyPlan, CustomKeepsTheCountsTheHostSetWhenTheViewHasNone) {
    ASSERT_TRUE(openDevice(0));
    control->setCurrentTurntableIndex(0);
    control->SetCountsPerRevolution(200);
    for (const char* viewCounts : {"", "0"}) {
        SCOPED_TRACE(viewCounts);
        const QVariantMap advanced{{LxSettingsKeys::stepsPerRevolutionText, viewCounts}};
        setViewSettings(QVariantMap{{LxSettingsKeys::framesCountText, "12"},
                                    {LxSettingsKeys::customTurntableAdvancedSettings, advanced}});
        ASSERT_TRUE(plan()) << control->lastError().toStdString();
        EXPECT_EQ(count, 12);
        EXPECT_EQ(control->countsPerRevolution(), 200u);
    }
}

TEST_F(PhotographyPlan, WithoutAViewThereIsNoPlan) {
    closeView();
    EXPECT_FALSE(plan());
    EXPECT_EQ(control->lastError(), "The turntable settings view must be open to plan a shoot.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ViewNotOpen);
    EXPECT_EQ(control->complete360ProductPhotographyImagesCount(nullptr), 0);
}

} // namespace
