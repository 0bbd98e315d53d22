// The example host's window on the offscreen platform: its controls, its
// picture, the settings it keeps across restarts, and shoots started from it.
#include "HostFixture.h"

#include "HostWindow.h"
#include "LxKalveraTurntableControl.h"
#include "TurntableHost.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QQuickWindow>
#include <QSet>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

using namespace std::chrono_literals;

namespace {

// A shoot that takes a few seconds: 200 steps a turn, fastest, no delays.
const QByteArray kQuickShoot = R"({
    "framesCountText": "4",
    "captureDelaySeconds": [0, 0],
    "rotationSpeed": 10,
    "isLockTableWhenIdle": false,
    "triggerShutterRelease": true,
    "useCustomAngles": false,
    "customTurntableAdvancedSettings": {
        "stepsPerRevolutionText": "200",
        "isClockwiseActiveHigh": true,
        "isMotorEnableActiveHigh": true
    }
})";

class HostWindowTest : public HostFixture {
protected:
    void show(HostWindow& window) {
        bool drawn = false;
        const auto connection = QObject::connect(window.window(), &QQuickWindow::frameSwapped,
                                                 [&drawn] { drawn = true; });
        window.window()->show();
        EXPECT_TRUE(processEventsUntil([&] { return drawn; }));
        QObject::disconnect(connection);
    }
    QVariant read(HostWindow& window, const char* name, const char* property) {
        QObject* object = findNamed(window.window(), QString::fromLatin1(name));
        EXPECT_NE(object, nullptr) << name;
        return object ? object->property(property) : QVariant();
    }
    void write(HostWindow& window, const char* name, const char* property, const QVariant& value) {
        QObject* object = findNamed(window.window(), QString::fromLatin1(name));
        ASSERT_NE(object, nullptr) << name;
        ASSERT_TRUE(object->setProperty(property, value)) << name << '.' << property;
    }
    void addAngle(HostWindow& window, const char* angle) {
        write(window, "customAngleField", "text", QString::fromLatin1(angle));
        click(window.window(), QStringLiteral("addAngleButton"));
    }
    int angleRows(HostWindow& window) { return read(window, "customAnglesList", "count").toInt(); }
};

TEST_F(HostWindowTest, TheWindowShowsEveryControlAndGrabsToPng) {
    TurntableHost host;
    HostWindow window(host);
    show(window);
    for (const char* name : {"modelPicker",
                             "openButton",
                             "closeButton",
                             "startButton",
                             "stopButton",
                             "shootProgress",
                             "progressLabel",
                             "cameraStrip",
                             "statusLabel",
                             "turntableSettingsView",
                             "framesCountBox",
                             "useCustomAnglesBox",
                             "customAngleField",
                             "addAngleButton",
                             "clearAnglesButton",
                             "customAnglesList",
                             "preCaptureDelayField",
                             "postCaptureDelayField",
                             "rotationSpeedSlider",
                             "lockWhenIdleBox",
                             "shutterReleaseBox",
                             "perEdgeStepWritesBox",
                             "stepsPerRevolutionField",
                             "clockwiseActiveHighBox",
                             "motorEnableActiveHighBox",
                             "importModelBox",
                             "importButton",
                             "previewAngleBox",
                             "previewTurnButton",
                             "previewContinuousButton",
                             "previewStopButton",
                             "shutterTestButton"}) {
        EXPECT_NE(findNamed(window.window(), QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(read(window, "modelPicker", "count").toInt(), 8);
    EXPECT_EQ(read(window, "framesCountBox", "count").toInt(), 12);
    EXPECT_EQ(read(window, "importModelBox", "count").toInt(), 7) << "the models but Custom";
    EXPECT_FALSE(read(window, "perEdgeStepWritesBox", "checked").toBool())
        << "chip-clocked step trains by default";

    const QImage picture = window.picture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), window.window()->size() * window.window()->devicePixelRatio());
    const QString file = dataHome.filePath(QStringLiteral("host-window.png"));
    ASSERT_TRUE(picture.save(file, "PNG"));
    const QImage reread(file);
    ASSERT_EQ(reread.size(), picture.size());
    // Drawn, not a blank surface: text and controls give many shades.
    QSet<QRgb> shades;
    for (int y = 0; y < reread.height(); y += 4) {
        for (int x = 0; x < reread.width(); x += 4) {
            shades.insert(reread.pixel(x, y));
        }
    }
    EXPECT_GT(shades.size(), 20);
}

TEST_F(HostWindowTest, SettingsSurviveARestartOfTheHost) {
    {
        TurntableHost host;
        HostWindow window(host);
        show(window);
        write(window, "framesCountBox", "currentIndex", 2);
        write(window, "useCustomAnglesBox", "checked", true);
        write(window, "preCaptureDelayField", "text", QStringLiteral("1.5"));
        write(window, "postCaptureDelayField", "text", QStringLiteral("0.25"));
        write(window, "rotationSpeedSlider", "value", 3);
        write(window, "lockWhenIdleBox", "checked", true);
        write(window, "shutterReleaseBox", "checked", false);
        write(window, "perEdgeStepWritesBox", "checked", true);
        write(window, "stepsPerRevolutionField", "text", QStringLiteral("400"));
        write(window, "clockwiseActiveHighBox", "checked", true);
        addAngle(window, "30");
        addAngle(window, "90");
    }
    QFile file(settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "closing the view saves the settings";
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(saved.value(QStringLiteral("framesCountText")).toString(), QStringLiteral("24"));
    EXPECT_EQ(saved.value(QStringLiteral("CustomAnglesList")).toArray(),
              QJsonArray({QStringLiteral("30"), QStringLiteral("90")}));
    EXPECT_EQ(saved.value(QStringLiteral("captureDelaySeconds")).toArray(),
              QJsonArray({1.5, 0.25}));
    EXPECT_EQ(saved.value(QStringLiteral("rotationSpeed")).toInt(), 3);
    EXPECT_EQ(saved.value(QStringLiteral("isPerEdgeStepWrites")), QJsonValue(true));
    EXPECT_EQ(saved.value(QStringLiteral("customTurntableAdvancedSettings"))
                  .toObject()
                  .value(QStringLiteral("stepsPerRevolutionText"))
                  .toString(),
              QStringLiteral("400"));

    TurntableHost host;
    HostWindow window(host);
    show(window);
    EXPECT_EQ(read(window, "framesCountBox", "editText").toString(), QStringLiteral("24"));
    EXPECT_TRUE(read(window, "useCustomAnglesBox", "checked").toBool());
    EXPECT_EQ(read(window, "preCaptureDelayField", "text").toString(), QStringLiteral("1.5"));
    EXPECT_EQ(read(window, "postCaptureDelayField", "text").toString(), QStringLiteral("0.25"));
    EXPECT_EQ(read(window, "rotationSpeedSlider", "value").toInt(), 3);
    EXPECT_TRUE(read(window, "lockWhenIdleBox", "checked").toBool());
    EXPECT_FALSE(read(window, "shutterReleaseBox", "checked").toBool());
    EXPECT_TRUE(read(window, "perEdgeStepWritesBox", "checked").toBool());
    EXPECT_EQ(read(window, "stepsPerRevolutionField", "text").toString(), QStringLiteral("400"));
    EXPECT_TRUE(read(window, "clockwiseActiveHighBox", "checked").toBool());
    EXPECT_EQ(angleRows(window), 2);
}

TEST_F(HostWindowTest, SettingsTheViewDoesNotKnowAreKeptWhenItSaves) {
    writeSettingsFile(R"({
        "framesCountText": "24",
        "CustomAnglesList": ["30", "90"],
        "viewTheme": "dark",
        "laterVersion": {"level": 2},
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "400", "microsteps": 16}
    })");
    {
        TurntableHost host;
        HostWindow window(host);
        show(window);
        write(window, "stepsPerRevolutionField", "text", QStringLiteral("800"));
        click(window.window(), QStringLiteral("clearAnglesButton"));
    }
    QFile file(settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(saved.value(QStringLiteral("viewTheme")).toString(), QStringLiteral("dark"));
    EXPECT_EQ(saved.value(QStringLiteral("laterVersion")).toObject(),
              QJsonObject({{QStringLiteral("level"), 2}}));
    const QJsonObject advanced =
        saved.value(QStringLiteral("customTurntableAdvancedSettings")).toObject();
    EXPECT_EQ(advanced.value(QStringLiteral("microsteps")).toInt(), 16);
    EXPECT_EQ(advanced.value(QStringLiteral("stepsPerRevolutionText")).toString(),
              QStringLiteral("800"));
    EXPECT_EQ(saved.value(QStringLiteral("framesCountText")).toString(), QStringLiteral("24"));
    EXPECT_FALSE(saved.contains(QStringLiteral("CustomAnglesList"))) << "cleared angles stay gone";
}

TEST_F(HostWindowTest, CustomAnglesAreAddedRemovedAndCleared) {
    TurntableHost host;
    HostWindow window(host);
    show(window);
    addAngle(window, "45");
    addAngle(window, "30");
    EXPECT_EQ(angleRows(window), 1) << "angles only go up";
    addAngle(window, "180");
    addAngle(window, "270");
    ASSERT_EQ(angleRows(window), 3);
    // The first angle's remove button.
    ASSERT_TRUE(processEventsUntil(
        [&] { return findNamed(window.window(), QStringLiteral("removeAngleButton")); }));
    EXPECT_EQ(findNamed(window.window(), QStringLiteral("removeAngleButton"))
                  ->property("text")
                  .toString(),
              QStringLiteral("45\u00B0  \u2715"));
    click(window.window(), QStringLiteral("removeAngleButton"));
    EXPECT_EQ(angleRows(window), 2);
    click(window.window(), QStringLiteral("clearAnglesButton"));
    EXPECT_EQ(angleRows(window), 0);
}

TEST_F(HostWindowTest, StartRunsAWholeShootWithProgressAndCameraStrip) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    click(window.window(), QStringLiteral("openButton"));
    ASSERT_EQ(host.openModel(), 0) << host.status().toStdString();
    click(window.window(), QStringLiteral("startButton"));
    ASSERT_TRUE(host.isShooting()) << host.status().toStdString();
    EXPECT_FALSE(read(window, "startButton", "enabled").toBool());
    ASSERT_TRUE(processEventsUntil([&] { return !host.isShooting(); }, 60s));

    EXPECT_EQ(host.status(), QStringLiteral("4 captures taken."));
    const QVariantList captures = host.captureList();
    ASSERT_EQ(captures.size(), 4);
    for (int k = 0; k < 4; ++k) {
        const QVariantMap capture = captures[k].toMap();
        EXPECT_EQ(capture[QStringLiteral("angle")].toDouble(), 90.0 * k);
        EXPECT_DOUBLE_EQ(capture[QStringLiteral("tableAngle")].toDouble(), 90.0 * k)
            << "where the simulated table stood";
        EXPECT_TRUE(capture[QStringLiteral("cameraFired")].toBool());
    }
    EXPECT_EQ(rig().camera().captures().size(), 4u);
    EXPECT_EQ(rig().stepperTable().position(), -200) << "one whole turn clockwise";
    EXPECT_EQ(read(window, "progressLabel", "text").toString(),
              QStringLiteral("Capture 4 of 4 at 270.0\u00B0"));
    EXPECT_EQ(read(window, "shootProgress", "position").toDouble(), 1.0);
    EXPECT_EQ(read(window, "cameraStrip", "count").toInt(), 4);
}

TEST_F(HostWindowTest, StopEndsTheShootAndTheNextStartsAfresh) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    ASSERT_TRUE(host.startShoot());
    // Stopped with the next move asked for and waiting for its timer.
    ASSERT_TRUE(processEventsUntil([&] { return host.captureNumber() == 2; }));
    click(window.window(), QStringLiteral("stopButton"));
    EXPECT_FALSE(host.isShooting());
    EXPECT_EQ(host.status(), QStringLiteral("Shoot stopped after 2 of 4 captures."));
    const long long stoppedAt = rig().stepperTable().position();
    processEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(host.captureNumber(), 2);
    EXPECT_FALSE(host.turntable().IsTurntableRotating());
    EXPECT_LE(std::llabs(rig().stepperTable().position() - stoppedAt), 1)
        << "the waiting move was dropped";
    EXPECT_TRUE(read(window, "startButton", "enabled").toBool());

    // Stopped while a move runs, and at once started again.
    ASSERT_TRUE(host.startShoot());
    ASSERT_TRUE(processEventsUntil([&] { return host.turntable().IsTurntableRotating(); }));
    host.stopShoot();
    const long long origin = rig().stepperTable().position();
    ASSERT_TRUE(host.startShoot()) << host.status().toStdString();
    ASSERT_TRUE(processEventsUntil([&] { return !host.isShooting(); }, 60s));
    EXPECT_EQ(host.status(), QStringLiteral("4 captures taken."))
        << "the plug-in counted the new shoot from its start";
    ASSERT_EQ(host.captureNumber(), 4);
    for (const Capture& capture : host.shoot()->captures()) {
        EXPECT_NEAR(*capture.tableAngle, capture.angle, 1.0)
            << "capture " << capture.number << ": the end of the stopped move is not this one's";
    }
    EXPECT_NEAR(static_cast<double>(rig().stepperTable().position()), origin - 200.0, 1.0)
        << "one whole turn from where the stop left the table";
}

TEST_F(HostWindowTest, TheViewsPreviewAndImportAreOffWhileAShootRuns) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    const auto viewControlsOn = [&](bool on) {
        return processEventsUntil(
            [&] {
                for (const char* name :
                     {"previewTurnButton", "previewContinuousButton", "previewStopButton",
                      "shutterTestButton", "importButton"}) {
                    if (read(window, name, "enabled").toBool() != on) {
                        return false;
                    }
                }
                return true;
            },
            5s);
    };
    ASSERT_TRUE(viewControlsOn(true));
    ASSERT_TRUE(host.startShoot()) << host.status().toStdString();
    EXPECT_TRUE(viewControlsOn(false));
    ASSERT_TRUE(processEventsUntil([&] { return !host.isShooting(); }, 60s));
    EXPECT_EQ(host.status(), QStringLiteral("4 captures taken."));
    EXPECT_TRUE(viewControlsOn(true));
}

TEST_F(HostWindowTest, StartWaitsForAPreviewToEnd) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    const auto startEnabled = [&](bool enabled) {
        return processEventsUntil(
            [&] { return read(window, "startButton", "enabled").toBool() == enabled; }, 5s);
    };
    ASSERT_TRUE(startEnabled(true));
    click(window.window(), QStringLiteral("previewContinuousButton"));
    ASSERT_TRUE(host.turntable().IsTurntableRotating());
    EXPECT_TRUE(startEnabled(false));
    EXPECT_FALSE(host.startShoot());
    EXPECT_EQ(host.status(),
              QStringLiteral("The shoot was refused: The turntable is turning. Stop it first."));
    EXPECT_TRUE(host.turntable().IsTurntableRotating()) << "the preview turns on";

    click(window.window(), QStringLiteral("previewStopButton"));
    EXPECT_TRUE(startEnabled(true));
    click(window.window(), QStringLiteral("startButton"));
    EXPECT_TRUE(host.isShooting()) << host.status().toStdString();
}

TEST_F(HostWindowTest, ATurntableUnpluggedInMidShootEndsTheShootWithTheReason) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    ASSERT_TRUE(host.startShoot());
    ASSERT_TRUE(processEventsUntil([&] { return host.turntable().IsTurntableRotating(); }));
    ftdisim::Bus::instance().unplug(ftdisim::Bus::instance().devices().front());
    // The plug-in gives up on a chip that has not answered for 2 s.
    ASSERT_TRUE(processEventsUntil([&] { return !host.isShooting(); }, 30s));
    EXPECT_EQ(host.status(), QStringLiteral("The turntable does not answer. Check its USB "
                                            "connection and open it again."));
    EXPECT_EQ(host.openModel(), -1);
    EXPECT_FALSE(host.turntable().isTurntableOpened());
    EXPECT_FALSE(read(window, "startButton", "enabled").toBool());
    EXPECT_TRUE(read(window, "openButton", "enabled").toBool())
        << "the turntable can be opened again";
}

TEST_F(HostWindowTest, ThePreviewShutterAndImportButtonsReachTheTurntable) {
    writeSettingsFile(kQuickShoot);
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    write(window, "previewAngleBox", "value", 90);
    click(window.window(), QStringLiteral("previewTurnButton"));
    ASSERT_TRUE(processEventsUntil([&] { return !host.turntable().IsTurntableRotating(); }));
    EXPECT_EQ(rig().stepperTable().position(), -50) << "90 degrees clockwise on 200 steps";

    click(window.window(), QStringLiteral("shutterTestButton"));
    EXPECT_EQ(rig().camera().captures().size(), 1u);

    // Tessel XL, the fourth of the models after Custom.
    ASSERT_TRUE(
        processEventsUntil([&] { return read(window, "importButton", "enabled").toBool(); }));
    write(window, "importModelBox", "currentIndex", 3);
    click(window.window(), QStringLiteral("importButton"));
    ASSERT_TRUE(processEventsUntil([&] {
        return read(window, "stepsPerRevolutionField", "text").toString() ==
               QStringLiteral("11200");
    }));
    EXPECT_TRUE(read(window, "clockwiseActiveHighBox", "checked").toBool());
    EXPECT_TRUE(read(window, "motorEnableActiveHighBox", "checked").toBool());
    EXPECT_TRUE(host.turntable().isTurntableOpened()) << "open as Custom again";

    click(window.window(), QStringLiteral("closeButton"));
    EXPECT_FALSE(host.turntable().isTurntableOpened());
    EXPECT_FALSE(read(window, "importButton", "enabled").toBool())
        << "an import would open the turntable behind the host's back";
}

TEST_F(HostWindowTest, StopThenStartWhileTheStoppedMovesNoticeIsUnderWay) {
    writeSettingsFile(kQuickShoot);
    std::mutex lock;
    std::condition_variable changed;
    bool inNotice = false;
    bool restarted = false;
    TurntableHost host;
    HostWindow window(host);
    show(window);
    ASSERT_TRUE(host.openDevice(0));
    // The rotation thread of the first move is slow to leave the host's
    // notice, as a busy machine may keep it: it sends only once the user has
    // pressed Stop and Start, or after a second.
    const auto hostsNotice =
        LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped;
    LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped =
        [&, hostsNotice](LxTurntableHardware* plugin) {
            std::unique_lock<std::mutex> guard(lock);
            if (!inNotice) {
                inNotice = true;
                changed.wait_for(guard, std::chrono::seconds(1), [&] { return restarted; });
            }
            guard.unlock();
            hostsNotice(plugin);
        };
    ASSERT_TRUE(host.startShoot());
    ASSERT_TRUE(processEventsUntil([&] {
        const std::lock_guard<std::mutex> guard(lock);
        return inNotice;
    }));
    click(window.window(), QStringLiteral("stopButton"));
    const long long origin = rig().stepperTable().position();
    ASSERT_TRUE(
        processEventsUntil([&] { return read(window, "startButton", "enabled").toBool(); }));
    click(window.window(), QStringLiteral("startButton"));
    {
        const std::lock_guard<std::mutex> guard(lock);
        restarted = true;
    }
    changed.notify_all();
    ASSERT_TRUE(processEventsUntil([&] { return !host.isShooting(); }, 60s));
    EXPECT_EQ(host.status(), QStringLiteral("4 captures taken."));
    for (const Capture& capture : host.shoot()->captures()) {
        EXPECT_NEAR(*capture.tableAngle, capture.angle, 1.0)
            << "capture " << capture.number << ": the stopped shoot's notice is not this one's";
    }
    EXPECT_NEAR(static_cast<double>(rig().stepperTable().position()), origin - 200.0, 1.0);
}

TEST_F(HostWindowTest, TheStatusLineNamesSettingsSetAsideOrNotSavedAtTheClose) {
    writeSettingsFile(R"({"framesCountText": "4",)");
    TurntableHost host;
    HostWindow window(host);
    show(window);
    const QString setAside = settingsFilePath() + QStringLiteral(".unreadable");
    EXPECT_TRUE(read(window, "statusLabel", "text").toString().contains(setAside))
        << host.status().toStdString();

    // A data directory below a plain file cannot be made, even by root.
    QFile blocker(dataHome.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));
    EXPECT_FALSE(window.window()->close()) << "the window stays once to say why";
    EXPECT_TRUE(window.window()->isVisible());
    EXPECT_TRUE(read(window, "statusLabel", "text")
                    .toString()
                    .contains(QStringLiteral("KalveraTurntable.json")))
        << host.status().toStdString();
    EXPECT_TRUE(window.window()->close());
}

} // namespace
