// The settings file: loaded into the view when it opens, written from the
// view when it closes; and read by a program that only reads it.
#include "LxSettingsFile.h"
#include "UnprivilegedFileAccess.h"
#include "ViewTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringListModel>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using SettingsFile = ViewTest;

QStringList customAngles(QObject* model) {
    return qobject_cast<QStringListModel*>(model)->stringList();
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A settings file and its directory with permissions that bind the view's
// file access where an UnprivilegedFileAccess lives, also for root. The
// directories are opened up again at the end, for their removal.
class LockedSettingsFile : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        if (!UnprivilegedFileAccess().bound()) {
            GTEST_SKIP() << "permissions cannot bind this process";
        }
        // The way down to the data directory, for a user without privileges.
        const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther;
        QDir().mkpath(directory());
        for (QDir up(directory()); up.path().startsWith(dataHome.path()); up.cdUp()) {
            ASSERT_TRUE(QFile::setPermissions(up.path(), open));
        }
    }
    void TearDown() override {
        QFile::setPermissions(directory(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ViewTest::TearDown();
    }

    QString directory() const { return QFileInfo(settingsFilePath()).path(); }
    // Everyone may do `onFile` to the file, only list and enter `directory`
    // or, with `writableDirectory`, also create and rename in it.
    void lock(const QByteArray& content, QFile::Permissions onFile, bool writableDirectory) {
        writeSettingsFile(content);
        ASSERT_TRUE(QFile::setPermissions(settingsFilePath(), onFile));
        QFile::Permissions onDirectory =
            QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        if (writableDirectory) {
            onDirectory |= QFile::WriteOwner | QFile::WriteOther;
        }
        ASSERT_TRUE(QFile::setPermissions(directory(), onDirectory));
    }
    QStringList filesInDirectory() const {
        return QDir(directory()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static constexpr QFile::Permissions writeOnly = QFile::WriteOwner | QFile::WriteOther;
    static constexpr QFile::Permissions readWrite =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
};

TEST_F(SettingsFile, WithoutAFileTheViewKeepsItsDefaultsAndClosingCreatesIt) {
    ASSERT_NE(openView(), nullptr);
    EXPECT_TRUE(recorded("loadCalls").isEmpty());
    EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());
    EXPECT_EQ(recorded("anglesModelPublications"), QVariantList{0}) << "published once";

    EXPECT_TRUE(closeView());
    EXPECT_EQ(saveCalls.turntableIndices.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(settingsFilePath()));
}

TEST_F(SettingsFile, AFileWithoutASettingsObjectIsKeptAsideAndNeverOverwritten) {
    const QByteArray deep =
        "{\"framesCountText\": " + QByteArray(1100, '[') + QByteArray(1100, ']') + "}";
    const QByteArray unreadable[] = {
        R"({"framesCountText": "24", "rotationSpeed": 3,})",
        R"({"framesCountText": "24", "captureDelaySeconds": [1e400, 0]})",
        deep,
        R"([{"framesCountText": "24"}, {"CustomAnglesList": ["45"]}])",
    };
    QStringList kept;
    for (const QByteArray& content : unreadable) {
        SCOPED_TRACE(content.left(60).toStdString());
        writeSettingsFile(content);
        openView();
        const QString keptFile =
            settingsFilePath() + ".unreadable" +
            (kept.isEmpty() ? QString() : "." + QString::number(kept.size() + 1));
        kept.append(keptFile);
        EXPECT_EQ(contentOf(keptFile), content) << "kept whole, beside earlier ones";
        EXPECT_TRUE(control->lastError().contains(keptFile)) << control->lastError().toStdString();
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsFileUnreadable);
        ASSERT_EQ(recorded("loadCalls").size(), 1);
        EXPECT_EQ(recorded("loadCalls")[0].toMap()["type"], "undefined");
        EXPECT_TRUE(customAngles(contextObject("KalveraTurntableCustomAnglesModel")).isEmpty());

        closeView();
        EXPECT_TRUE(QJsonDocument::fromJson(readSettingsFile()).isObject())
            << "the view's settings start a new file";
    }
    for (int i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(contentOf(kept[i]), unreadable[i]) << "no kept file is written over";
    }
}

// A link left by someone else under the kept file's name, pointing out of the
// data directory: following it would write the user's settings elsewhere.
TEST_F(SettingsFile, ADanglingLinkUnderTheKeptNameIsLeftAlone) {
    const QString outside = dataHome.filePath("elsewhere/stolen.json");
    QDir().mkpath(QFileInfo(outside).path());
    const QString link = settingsFilePath() + ".unreadable";
    writeSettingsFile("not json");
    ASSERT_TRUE(QFile::link(outside, link));

    openView();
    EXPECT_FALSE(QFileInfo::exists(outside)) << "no byte left the data directory";
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), outside);
    EXPECT_EQ(contentOf(link + ".2"), "not json");
}

// A FIFO would hold the open until someone writes to it; a directory or a
// device is no file the view wrote. Neither is opened, moved or written over.
TEST_F(SettingsFile, WhatIsNoRegularFileIsNeitherOpenedNorMovedNorWrittenOver) {
    QDir().mkpath(QFileInfo(settingsFilePath()).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(settingsFilePath()).constData(), 0600), 0);
    openView();
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsFileUnreadable);
    EXPECT_TRUE(control->lastError().contains("is not a regular file"))
        << control->lastError().toStdString();
    closeView();
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsNotSaved);
    EXPECT_TRUE(QFileInfo(settingsFilePath()).exists());
    EXPECT_FALSE(QFileInfo(settingsFilePath()).isFile());
    EXPECT_FALSE(QFileInfo::exists(settingsFilePath() + ".unreadable"));
}

TEST_F(SettingsFile, AParseErrorSaysWhereInTheFile) {
    // The column counts characters ("Größe" is seven bytes in five); Qt stops
    // at the stray 4 or just past it.
    writeSettingsFile("{\n  \"framesCountText\": \"24\",\n  \"Größe\": 3 4\n}\n");
    openView();
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsFileUnreadable);
    EXPECT_TRUE(control->lastError().contains(QRegularExpression("at line 3, column 1[45]\\)")))
        << control->lastError().toStdString();
}

TEST_F(LockedSettingsFile, AFileThatCannotBeOpenedIsMovedAsideUnread) {
    const QByteArray previous = R"({"framesCountText": "72"})";
    lock(previous, writeOnly, true);
    {
        UnprivilegedFileAccess unprivileged;
        openView();
    }
    EXPECT_TRUE(recorded("loadCalls").isEmpty());
    const QString keptFile = settingsFilePath() + ".unreadable";
    EXPECT_EQ(contentOf(keptFile), previous);
    EXPECT_TRUE(control->lastError().contains(keptFile)) << control->lastError().toStdString();

    closeView();
    EXPECT_EQ(QJsonDocument::fromJson(readSettingsFile())["framesCountText"], "36")
        << "the view's defaults";
    EXPECT_EQ(contentOf(keptFile), previous);
}

// A reader that never writes the file (the command-line tool) has nothing to
// protect it from: the user's file stays where the user has it.
TEST_F(LockedSettingsFile, OnlyReadingLeavesAFileThatCannotBeOpenedInPlace) {
    lock(R"({"framesCountText": "72"})", writeOnly, true);
    UnprivilegedFileAccess unprivileged;
    const LxSettingsFile::Reading reading =
        LxSettingsFile::read(settingsFilePath(), LxSettingsFile::Use::ReadOnly);
    EXPECT_EQ(reading.outcome, LxSettingsFile::Reading::Outcome::CannotBeRead);
    EXPECT_FALSE(reading.writable());
    EXPECT_TRUE(reading.problem.contains(settingsFilePath())) << reading.problem.toStdString();
    EXPECT_EQ(filesInDirectory(), QStringList{"KalveraTurntable.json"});
}

TEST_F(LockedSettingsFile, AFileThatCanNeitherBeReadNorMovedIsLeftAsItIs) {
    const struct {
        QByteArray content;
        QFile::Permissions permissions;
    } unreadable[] = {{R"({"framesCountText": "72",)", readWrite},
                      {R"({"framesCountText": "72"})", writeOnly}};
    for (const auto& file : unreadable) {
        SCOPED_TRACE(file.content.toStdString());
        lock(file.content, file.permissions, false);
        {
            UnprivilegedFileAccess unprivileged;
            openView();
            EXPECT_TRUE(control->lastError().contains(settingsFilePath()))
                << control->lastError().toStdString();
            EXPECT_EQ(control->lastErrorCode(),
                      LxAbstractPlugin::ErrorCode::SettingsFileUnreadable);
            control->setLastError({});
            setViewSettings(QVariantMap{{"framesCountText", "24"}});
            closeView();
        }
        EXPECT_TRUE(control->lastError().contains(settingsFilePath()))
            << "the close says it saved nothing";
        EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsNotSaved);
        EXPECT_EQ(filesInDirectory(), QStringList{"KalveraTurntable.json"});
        QFile::setPermissions(settingsFilePath(), readWrite);
        EXPECT_EQ(readSettingsFile(), file.content);
    }
}

TEST_F(LockedSettingsFile, AReadOnlyDirectoryIsSavedIntoTheFileItself) {
    const QByteArray previous = R"({"framesCountText": "72"})";
    lock(previous, readWrite, false);
    UnprivilegedFileAccess unprivileged;
    openView();
    setViewSettings(QVariant());
    closeView();
    EXPECT_EQ(readSettingsFile(), previous) << "a view without a map leaves the file whole";

    openView();
    setViewSettings(QVariantMap{{"framesCountText", "24"}});
    closeView();
    EXPECT_EQ(readSettingsFile(), "{\n    \"framesCountText\": \"24\"\n}\n");
    EXPECT_EQ(filesInDirectory(), QStringList{"KalveraTurntable.json"});
    EXPECT_EQ(control->lastError(), QString()) << "a save that worked says nothing";
}

// A shared directory where everyone of the group may make files, but only the
// file's owner may replace it: the temporary file is made and its rename
// refused.
TEST_F(LockedSettingsFile, AFileThatCannotBeRenamedOverIsSavedIntoItself) {
    lock(R"({"framesCountText": "72"})", readWrite, false);
    const QByteArray dir = QFile::encodeName(directory());
    if (::chown(dir.constData(), static_cast<uid_t>(-1), 65534) != 0 ||
        ::chmod(dir.constData(), S_ISVTX | S_IRWXU | S_IRWXG) != 0) {
        GTEST_SKIP() << "the directory cannot be given to the unprivileged group";
    }
    UnprivilegedFileAccess unprivileged;
    openView();
    setViewSettings(QVariantMap{{"framesCountText", "24"}});
    closeView();
    EXPECT_EQ(readSettingsFile(), "{\n    \"framesCountText\": \"24\"\n}\n");
    EXPECT_EQ(filesInDirectory(), QStringList{"KalveraTurntable.json"}) << "no temporary file left";
    EXPECT_EQ(control->lastError(), QString());
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
    EXPECT_TRUE(control->lastError().contains("KalveraTurntable.json"))
        << control->lastError().toStdString();
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsNotSaved);
}

} // namespace
