// The settings file: loaded into the view when it opens, written from the
// view when it closes.
#include "ViewTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringListModel>

namespace {

using SettingsFile = ViewTest;

QStringList customAngles(QObject* model) {
    return qobject_cast<QStringListModel*>(model)->stringList();
}

TEST_F(SettingsFile, WithoutAFileTheViewKeepsItsDefaultsAndClosingCreatesIt) {
    ASSERT_NE(openView(), nullptr);
    EXPECT_TRUE(recorded("loadCalls").isEmpty());
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());
    EXPECT_EQ(recorded("anglesModelPublications"), QVariantList{0}) << "published once";

    EXPECT_TRUE(closeView());
    EXPECT_EQ(saveCalls.turntableIndices.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(settingsFilePath()));
}

TEST_F(SettingsFile, AnArrayDocumentReachesTheViewAsAList) {
    writeSettingsFile(R"([1, "two", {"CustomAnglesList": ["45"]}])");
    openView();
    const QVariantList loads = recorded("loadCalls");
    ASSERT_EQ(loads.size(), 1);
    EXPECT_EQ(loads[0].toMap()["type"], "array");
    EXPECT_EQ(loads[0].toMap()["value"].toList().size(), 3);
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());

    // The saved "Custom" settings are what model 0 shows.
    ASSERT_TRUE(openDevice(0));
    ASSERT_TRUE(processEventsUntil([this] { return !recorded("deviceUpdates").isEmpty(); }));
    EXPECT_EQ(recorded("deviceUpdates")[0].toMap()["settings"], QVariantMap());
}

TEST_F(SettingsFile, ANullAngleListIsNotLoadedAMissingOneLoadsEmpty) {
    writeSettingsFile(R"({"CustomAnglesList": null, "framesCountText": "24"})");
    openView();
    ASSERT_EQ(recorded("loadCalls").size(), 1);
    EXPECT_EQ(recorded("loadCalls")[0].toMap()["value"].toMap()["framesCountText"], "24");
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());
    EXPECT_EQ(recorded("anglesModelPublications"), QVariantList{0}) << "published once";
    closeView();

    writeSettingsFile(R"({"framesCountText": "24"})");
    openView();
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());
    EXPECT_EQ(recorded("anglesModelPublications"), (QVariantList{0, 0})) << "published again";
}

TEST_F(SettingsFile, AnglesAreLoadedAsTextsAndWrittenBack) {
    writeSettingsFile(R"({"CustomAnglesList": [45, 90, "180.50"]})");
    openView();
    EXPECT_EQ(customAngles(contextObject("KalveraTurntableCustomAnglesModel")),
              (QStringList{"45", "90", "180.50"}));
    EXPECT_EQ(recorded("anglesModelPublications"), (QVariantList{0, 3}));
    EXPECT_EQ(item->property("customAngleRows"), 3);

    closeView();
    openView();
    EXPECT_EQ(customAngles(contextObject("KalveraTurntableCustomAnglesModel")),
              (QStringList{"45", "90", "180.50"}));
    closeView();

    writeSettingsFile(R"({"CustomAnglesList": "30"})");
    openView();
    EXPECT_EQ(customAngles(contextObject("KalveraTurntableCustomAnglesModel")), QStringList{"30"})
        << "a single text is a list of one";
}

TEST_F(SettingsFile, AnUnparsableFileLoadsAsNothing) {
    writeSettingsFile(R"({"CustomAnglesList": ["45"], "customTurntableAdvancedSettings": )");
    openView();
    const QVariantList loads = recorded("loadCalls");
    ASSERT_EQ(loads.size(), 1);
    EXPECT_EQ(loads[0].toMap()["type"], "undefined");
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());
    EXPECT_EQ(recorded("anglesModelPublications"), (QVariantList{0, 0}));

    ASSERT_TRUE(openDevice(0));
    ASSERT_TRUE(processEventsUntil([this] { return !recorded("deviceUpdates").isEmpty(); }));
    EXPECT_EQ(recorded("deviceUpdates")[0].toMap()["settings"], QVariantMap());
}

TEST_F(SettingsFile, TheFileIsIndentedJsonInKeyOrderWithTheModelsAngles) {
    openView();
    callView("appendAngle", {"45"});
    callView("appendAngle", {"90.0"});
    setViewSettings(QVariantMap{
        {"useCustomAngles", true},
        {"framesCountText", "36"},
        {"captureDelaySeconds", QVariantList{1.5, "2"}},
        {"rotationSpeed", 3},
        {"isLockTableWhenIdle", true},
        {"triggerShutterRelease", false},
        {"customTurntableAdvancedSettings", QVariantMap{{"stepsPerRevolutionText", "400"},
                                                        {"isClockwiseActiveHigh", true},
                                                        {"isMotorEnableActiveHigh", false}}},
        {"CustomAnglesList", QVariantList{"1"}},
        {"viewTheme", "dark"},
    });
    control->setCurrentTurntableIndex(3);
    closeView();
    EXPECT_EQ(saveCalls.turntableIndices, QVariantList{3});
    EXPECT_EQ(readSettingsFile(), QByteArray(R"({
    "CustomAnglesList": [
        "45",
        "90.0"
    ],
    "captureDelaySeconds": [
        1.5,
        "2"
    ],
    "customTurntableAdvancedSettings": {
        "isClockwiseActiveHigh": true,
        "isMotorEnableActiveHigh": false,
        "stepsPerRevolutionText": "400"
    },
    "framesCountText": "36",
    "isLockTableWhenIdle": true,
    "rotationSpeed": 3,
    "triggerShutterRelease": false,
    "useCustomAngles": true,
    "viewTheme": "dark"
}
)"));
}

TEST_F(SettingsFile, WithAnEmptyModelTheViewsOwnAngleListIsWritten) {
    writeSettingsFile(R"({"CustomAnglesList": ["10"]})");
    openView();
    callView("clearAngles");
    setViewSettings(QVariantMap{{"CustomAnglesList", QVariantList{"7"}}});
    closeView();
    EXPECT_EQ(readSettingsFile(), QByteArray("{\n    \"CustomAnglesList\": [\n        \"7\"\n"
                                             "    ]\n}\n"));
}

TEST_F(SettingsFile, AViewWithoutAMapKeepsThePreviousFile) {
    const QByteArray previous = R"({"framesCountText": "72"})";
    writeSettingsFile(previous);
    const QVariant noMaps[] = {QVariant(), QVariant::fromValue(nullptr), QVariant("72"),
                               QVariantList{"72"}};
    for (const QVariant& noMap : noMaps) {
        SCOPED_TRACE(noMap.typeName() ? noMap.typeName() : "invalid");
        openView();
        callView("appendAngle", {"45"});
        setViewSettings(noMap);
        closeView();
        EXPECT_EQ(saveCalls.turntableIndices.size(), 1) << "the view was asked";
        EXPECT_EQ(readSettingsFile(), previous);
    }
    EXPECT_EQ(QFileInfo(settingsFilePath()).dir().entryList(QDir::Files | QDir::Hidden),
              QStringList{"KalveraTurntable.json"})
        << "no temporary file is left behind";
}

TEST_F(SettingsFile, AnUnwritableDirectoryWritesNothing) {
    // A data directory below a plain file cannot be created, even by root.
    QFile blocker(dataHome.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));

    ASSERT_NE(openView(), nullptr);
    EXPECT_TRUE(closeView());
    EXPECT_TRUE(saveCalls.turntableIndices.isEmpty()) << "the view is not asked in vain";
    EXPECT_EQ(QDir(dataHome.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"blocker"});
}

} // namespace
