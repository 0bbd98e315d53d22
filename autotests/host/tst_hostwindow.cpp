// The example host's window on the offscreen platform: its controls, its
// picture, the settings it keeps across restarts, and shoots started from it.
#include "HostFixture.h"

#include "HostWindow.h"
#include "KalveraTurntable.h"
#include "LxTurntableHardware.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

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

using Shoot = KalveraTurntable::ShootState;

class HostWindowTest : public HostFixture {
protected:
    static void show(HostWindow& window) {
        bool drawn = false;
        const auto connection = QObject::connect(window.window(), &QQuickWindow::frameSwapped,
                                                 [&drawn] { drawn = true; });
        window.window()->show();
        EXPECT_TRUE(processEventsUntil([&] { return drawn; }));
        QObject::disconnect(connection);
    }
    // Opens "Custom" with the window's Open button.
    void open(HostWindow& window) {
        ASSERT_TRUE(
            processEventsUntil([&] { return read(window, "openButton", "enabled").toBool(); }));
        click(window.window(), QStringLiteral("openButton"));
        ASSERT_TRUE(processEventsUntil([&] { return window.turntable()->isOpened(); }))
            << status(window).toStdString();
    }
    void start(HostWindow& window) {
        click(window.window(), QStringLiteral("startButton"));
        ASSERT_TRUE(processEventsUntil([&] { return shooting(window); }))
            << status(window).toStdString();
    }
    static bool shooting(HostWindow& window) { return window.turntable()->shoot() != Shoot::Idle; }
    static bool finishes(HostWindow& window) {
        return processEventsUntil([&] { return !shooting(window); }, 60s);
    }
    static QString status(HostWindow& window) {
        return read(window, "statusLabel", "text").toString();
    }
    // Where the simulated table stood at each capture of the shoots to come,
    // in degrees clockwise from where it stood at the shoot's first.
    struct TableAngles {
        long long origin = 0;
        std::vector<double> degrees;
    };
    static void recordTableAngles(HostWindow& window, TableAngles* angles) {
        QObject::connect(window.turntable(), &KalveraTurntable::captureReady, [angles](int index) {
            const long long position = rig().stepperTable().position();
            if (index == 1) {
                *angles = {position, {}};
            }
            angles->degrees.push_back(static_cast<double>(angles->origin - position) * 1.8);
        });
    }
    // The angles of the dial's marks in the repeater called `name`.
    static std::vector<double> markAngles(HostWindow& window, const char* name) {
        QObject* marks = findNamed(window.window(), QString::fromLatin1(name));
        std::vector<double> angles;
        for (int k = 0; marks && k < marks->property("count").toInt(); ++k) {
            QQuickItem* mark = nullptr;
            QMetaObject::invokeMethod(marks, "itemAt", Q_RETURN_ARG(QQuickItem*, mark),
                                      Q_ARG(int, k));
            angles.push_back(mark ? mark->property("angle").toDouble() : -1.0);
        }
        return angles;
    }
    static void expectEvenlySpaced(const TableAngles& angles, std::size_t count) {
        ASSERT_EQ(angles.degrees.size(), count);
        for (std::size_t k = 0; k < count; ++k) {
            EXPECT_NEAR(angles.degrees[k], 360.0 * k / count, 1.0) << "capture " << k + 1;
        }
        EXPECT_NEAR(static_cast<double>(rig().stepperTable().position()), angles.origin - 200.0,
                    1.0)
            << "one whole turn from where the shoot started";
    }
    static QVariant read(HostWindow& window, const char* name, const char* property) {
        QObject* object = findNamed(window.window(), QString::fromLatin1(name));
        EXPECT_NE(object, nullptr) << name;
        return object ? object->property(property) : QVariant();
    }
    static void write(HostWindow& window, const char* name, const char* property,
                      const QVariant& value) {
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
    HostWindow window;
    show(window);
    for (const char* name : {"modelPicker",
                             "openButton",
                             "closeButton",
                             "startButton",
                             "stopButton",
                             "shootProgress",
                             "progressLabel",
                             "cameraStrip",
                             "shootDial",
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
    // The models come as the turntable answers, after the window is made.
    EXPECT_TRUE(
        processEventsUntil([&] { return read(window, "modelPicker", "count").toInt() == 8; }));
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
        HostWindow window;
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

    HostWindow window;
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
        HostWindow window;
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
    EXPECT_TRUE(saved.value(QStringLiteral("CustomAnglesList")).toArray().isEmpty())
        << "cleared angles stay gone";
}

TEST_F(HostWindowTest, CustomAnglesAreAddedRemovedAndCleared) {
    HostWindow window;
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

TEST_F(HostWindowTest, StartRunsAWholeShootWithProgressDialAndCameraStrip) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    TableAngles tableAngles;
    recordTableAngles(window, &tableAngles);
    open(window);
    start(window);
    EXPECT_FALSE(read(window, "startButton", "enabled").toBool());
    ASSERT_TRUE(finishes(window));

    EXPECT_EQ(status(window), QStringLiteral("4 captures taken."));
    expectEvenlySpaced(tableAngles, 4);
    EXPECT_EQ(rig().camera().captures().size(), 4u);
    EXPECT_EQ(read(window, "progressLabel", "text").toString(),
              QStringLiteral("Capture 4 of 4 at 270.0\u00B0"));
    EXPECT_EQ(read(window, "shootProgress", "position").toDouble(), 1.0);
    EXPECT_EQ(read(window, "cameraStrip", "count").toInt(), 4);
    EXPECT_EQ(markAngles(window, "plannedMarks"), (std::vector<double>{0, 90, 180, 270}));
    EXPECT_EQ(markAngles(window, "takenMarks"), (std::vector<double>{0, 90, 180, 270}));
}

TEST_F(HostWindowTest, TheDialShowsCustomAnglesAndFollowsTheTableAsItTurns) {
    writeSettingsFile(R"({"useCustomAngles": true, "CustomAnglesList": ["45", "90", "180"],
        "captureDelaySeconds": [0, 0], "rotationSpeed": 5, "triggerShutterRelease": false,
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "200",
            "isClockwiseActiveHigh": true, "isMotorEnableActiveHigh": true}})");
    HostWindow window;
    show(window);
    QObject* hand = findNamed(window.window(), QStringLiteral("positionHand"));
    ASSERT_NE(hand, nullptr);
    // The hand's angle clockwise, at each capture and at every change.
    const auto handAngle = [hand] {
        return std::fmod(hand->property("rotation").toDouble() + 720.0, 360.0);
    };
    std::vector<double> handAtCaptures;
    QSet<int> handAngles;
    QObject::connect(window.turntable(), &KalveraTurntable::captureReady,
                     [&] { handAtCaptures.push_back(handAngle()); });
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { handAngles.insert(static_cast<int>(handAngle())); });
    sample.start(20);
    open(window);
    start(window);
    ASSERT_TRUE(finishes(window));
    EXPECT_EQ(status(window), QStringLiteral("4 captures taken."));
    const std::vector<double> plan{0, 45, 90, 180};
    EXPECT_EQ(markAngles(window, "plannedMarks"), plan);
    EXPECT_EQ(markAngles(window, "takenMarks"), plan);
    ASSERT_EQ(handAtCaptures.size(), 4u);
    for (std::size_t k = 0; k < plan.size(); ++k) {
        EXPECT_NEAR(handAtCaptures[k], plan[k], 1.0) << "the hand stands at capture " << k + 1;
    }
    // A whole turn at 5 ms a step lasts a second: the hand moves on the way,
    // not only from one capture to the next.
    const int between =
        static_cast<int>(std::count_if(handAngles.begin(), handAngles.end(), [&plan](int angle) {
            return std::none_of(plan.begin(), plan.end(),
                                [angle](double at) { return std::abs(angle - at) <= 1.0; });
        }));
    EXPECT_GE(between, 5) << "seen at " << handAngles.size() << " angles";
}

TEST_F(HostWindowTest, TheCameraStripKeepsEveryCaptureReachable) {
    writeSettingsFile(R"({"framesCountText": "24", "captureDelaySeconds": [0, 0],
        "rotationSpeed": 10, "triggerShutterRelease": false,
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "200",
            "isClockwiseActiveHigh": true, "isMotorEnableActiveHigh": true}})");
    HostWindow window;
    window.window()->resize(1040, 700);
    show(window);
    open(window);
    start(window);
    ASSERT_TRUE(finishes(window));
    auto* strip =
        qobject_cast<QQuickItem*>(findNamed(window.window(), QStringLiteral("cameraStrip")));
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->property("count").toInt(), 24);
    const auto visible = [strip](int index) {
        QQuickItem* item = nullptr;
        QMetaObject::invokeMethod(strip, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, item),
                                  Q_ARG(int, index));
        if (!item) {
            return false;
        }
        const QRectF shown = strip->mapRectToItem(item, strip->boundingRect());
        return shown.contains(item->boundingRect());
    };
    // Rows that wrap inside the strip, and a scroll bar over all of them.
    QObject* bar = findNamed(window.window(), QStringLiteral("cameraStripScrollBar"));
    ASSERT_NE(bar, nullptr);
    ASSERT_LT(bar->property("size").toDouble(), 1.0) << "more rows than the strip shows";
    EXPECT_TRUE(processEventsUntil([&] { return visible(23); })) << "the last capture is shown";
    bar->setProperty("position", 0.0);
    EXPECT_TRUE(processEventsUntil([&] { return visible(0) && visible(4); }))
        << "the first row is reached";
}

TEST_F(HostWindowTest, StopEndsTheShootAndTheNextStartsAfresh) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    TableAngles tableAngles;
    recordTableAngles(window, &tableAngles);
    open(window);
    start(window);
    // Stopped with the next move asked for.
    ASSERT_TRUE(processEventsUntil([&] { return tableAngles.degrees.size() == 2; }));
    click(window.window(), QStringLiteral("stopButton"));
    ASSERT_TRUE(finishes(window));
    EXPECT_EQ(status(window), QStringLiteral("Shoot stopped after 2 of 4 captures."));
    const long long stoppedAt = rig().stepperTable().position();
    processEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(read(window, "cameraStrip", "count").toInt(), 2);
    EXPECT_FALSE(window.turntable()->isRotating());
    EXPECT_LE(std::llabs(rig().stepperTable().position() - stoppedAt), 1)
        << "the waiting move was dropped";
    EXPECT_TRUE(read(window, "startButton", "enabled").toBool());

    // Stopped while a move runs, and at once started again.
    start(window);
    ASSERT_TRUE(processEventsUntil([&] { return window.turntable()->isRotating(); }));
    int finished = 0;
    QObject::connect(window.turntable(), &KalveraTurntable::shootFinished, [&] { ++finished; });
    click(window.window(), QStringLiteral("stopButton"));
    QMetaObject::invokeMethod(window.window(), "startShoot");
    ASSERT_TRUE(processEventsUntil([&] { return finished == 2; }, 60s));
    EXPECT_EQ(status(window), QStringLiteral("4 captures taken."));
    expectEvenlySpaced(tableAngles, 4);
}

TEST_F(HostWindowTest, TheViewsPreviewAndImportAreOffWhileAShootRuns) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    open(window);
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
    start(window);
    EXPECT_TRUE(viewControlsOn(false));
    ASSERT_TRUE(finishes(window));
    EXPECT_EQ(status(window), QStringLiteral("4 captures taken."));
    EXPECT_TRUE(viewControlsOn(true));
}

TEST_F(HostWindowTest, StartWaitsForAPreviewToEnd) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    open(window);
    const auto startEnabled = [&](bool enabled) {
        return processEventsUntil(
            [&] { return read(window, "startButton", "enabled").toBool() == enabled; }, 5s);
    };
    ASSERT_TRUE(startEnabled(true));
    click(window.window(), QStringLiteral("previewContinuousButton"));
    EXPECT_TRUE(startEnabled(false));
    // As a host that starts anyway.
    QMetaObject::invokeMethod(window.window(), "startShoot");
    EXPECT_TRUE(processEventsUntil([&] {
        return status(window).contains(QStringLiteral("turning"));
    })) << status(window).toStdString();
    EXPECT_FALSE(shooting(window));
    EXPECT_TRUE(window.turntable()->isRotating()) << "the preview turns on";

    click(window.window(), QStringLiteral("previewStopButton"));
    EXPECT_TRUE(startEnabled(true));
    start(window);
}

TEST_F(HostWindowTest, ATurntableUnpluggedInMidShootEndsTheShootWithTheReason) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    open(window);
    start(window);
    ASSERT_TRUE(processEventsUntil([&] { return window.turntable()->isRotating(); }));
    ftdisim::Bus::instance().unplug(ftdisim::Bus::instance().devices().front());
    // The turntable gives up on a chip that has not answered for 2 s.
    ASSERT_TRUE(processEventsUntil([&] { return !shooting(window); }, 30s));
    EXPECT_TRUE(processEventsUntil([&] {
        return status(window) == QStringLiteral("The turntable does not answer. Check its USB "
                                                "connection and open it again.");
    })) << status(window).toStdString();
    EXPECT_FALSE(window.turntable()->isOpened());
    EXPECT_FALSE(read(window, "startButton", "enabled").toBool());
    EXPECT_TRUE(read(window, "openButton", "enabled").toBool())
        << "the turntable can be opened again";
}

TEST_F(HostWindowTest, ThePreviewShutterAndImportButtonsReachTheTurntable) {
    writeSettingsFile(kQuickShoot);
    HostWindow window;
    show(window);
    open(window);
    write(window, "previewAngleBox", "value", 90);
    click(window.window(), QStringLiteral("previewTurnButton"));
    ASSERT_TRUE(processEventsUntil([&] { return rig().stepperTable().position() == -50; }, 5s))
        << "90 degrees clockwise on 200 steps: " << rig().stepperTable().position() << ", "
        << status(window).toStdString();

    ASSERT_TRUE(processEventsUntil([&] { return !window.turntable()->isRotating(); }));
    click(window.window(), QStringLiteral("shutterTestButton"));
    EXPECT_TRUE(processEventsUntil([] { return rig().camera().captures().size() == 1u; }));

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
    EXPECT_TRUE(processEventsUntil([&] { return window.turntable()->isOpened(); }))
        << "open as Custom again";

    click(window.window(), QStringLiteral("closeButton"));
    EXPECT_TRUE(processEventsUntil([&] { return !window.turntable()->isOpened(); }));
    // The view hears of the close from the event loop, after the turntable.
    EXPECT_TRUE(processEventsUntil([&] {
        return !read(window, "importButton", "enabled").toBool();
    })) << "an import would open the turntable behind the host's back";
}

TEST_F(HostWindowTest, StopThenStartWhileTheStoppedMovesNoticeIsUnderWay) {
    writeSettingsFile(kQuickShoot);
    std::mutex lock;
    std::condition_variable changed;
    bool inNotice = false;
    bool restarted = false;
    HostWindow window;
    show(window);
    TableAngles tableAngles;
    recordTableAngles(window, &tableAngles);
    open(window);
    // The rotation thread of the first move is slow to leave its notice, as
    // a busy machine may keep it: it goes on only once the user has pressed
    // Stop and Start, or after a second.
    const auto turntablesNotice =
        LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped;
    LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped =
        [&, turntablesNotice](LxTurntableHardware* plugin) {
            std::unique_lock<std::mutex> guard(lock);
            if (!inNotice) {
                inNotice = true;
                changed.wait_for(guard, std::chrono::seconds(1), [&] { return restarted; });
            }
            guard.unlock();
            turntablesNotice(plugin);
        };
    start(window);
    ASSERT_TRUE(processEventsUntil([&] {
        const std::lock_guard<std::mutex> guard(lock);
        return inNotice;
    }));
    click(window.window(), QStringLiteral("stopButton"));
    ASSERT_TRUE(
        processEventsUntil([&] { return read(window, "startButton", "enabled").toBool(); }));
    click(window.window(), QStringLiteral("startButton"));
    std::vector<int> restartedCaptures;
    QObject::connect(window.turntable(), &KalveraTurntable::captureReady,
                     [&](int index) { restartedCaptures.push_back(index); });
    {
        const std::lock_guard<std::mutex> guard(lock);
        restarted = true;
    }
    changed.notify_all();
    ASSERT_TRUE(processEventsUntil([&] { return shooting(window); }));
    ASSERT_TRUE(finishes(window));
    LxTurntableHardware::TurntableHardwarePrivate::turntableRotationStopped = turntablesNotice;
    EXPECT_EQ(restartedCaptures, (std::vector<int>{1, 2, 3, 4}))
        << "the stopped shoot's notice is not this one's";
    EXPECT_EQ(status(window), QStringLiteral("4 captures taken."));
    expectEvenlySpaced(tableAngles, 4);
}

TEST_F(HostWindowTest, TheStatusLineNamesSettingsSetAsideOrNotSavedAtTheClose) {
    writeSettingsFile(R"({"framesCountText": "4",)");
    HostWindow window;
    show(window);
    const QString setAside = settingsFilePath() + QStringLiteral(".unreadable");
    EXPECT_TRUE(read(window, "statusLabel", "text").toString().contains(setAside))
        << status(window).toStdString();

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
        << status(window).toStdString();
    EXPECT_TRUE(window.window()->close());
}

} // namespace
