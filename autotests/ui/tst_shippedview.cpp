// The settings view the SDK ships (KalveraTurntableSDK::SettingsView), in a
// window of a host that links nothing else for it: it shows the settings file,
// saves what the user changed with the keyboard, and every control is reached
// with the Tab key. CTest runs it in the default Controls style and in another
// one that a host may choose.
#include "HostFixture.h"

#include "LxKalveraTurntableControl.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

#include <memory>

namespace {

// Every control of the view that a user sets or presses.
const QStringList kControls{
    "framesCountBox",         "useCustomAnglesBox",       "customAngleField",
    "addAngleButton",         "clearAnglesButton",        "preCaptureDelayField",
    "postCaptureDelayField",  "rotationSpeedSlider",      "lockWhenIdleBox",
    "shutterReleaseBox",      "perEdgeStepWritesBox",     "stepsPerRevolutionField",
    "clockwiseActiveHighBox", "motorEnableActiveHighBox", "importModelBox",
    "importButton",           "previewAngleBox",          "previewCounterclockwiseBox",
    "previewTurnButton",      "previewContinuousButton",  "previewStopButton",
    "shutterTestButton"};

class ShippedSettingsView : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        // No GPU on a build machine: Qt Quick draws in software, as the
        // example host's window does. Taken before the first item is made.
        if (QQuickWindow::sceneGraphBackend() != QLatin1String("software")) {
            QQuickWindow::setSceneGraphBackend(QStringLiteral("software"));
        }
        control = std::make_unique<LxKalveraTurntableControl>();
        ASSERT_FALSE(control->availableDevices().empty());
        bool opened = false;
        control->openDevice(0, &opened);
        ASSERT_TRUE(opened);
    }
    void TearDown() override {
        if (view) {
            control->pluginUIFrameViewWillClose(view.get());
        }
        view.reset();
        window.reset();
        control.reset();
        HostFixture::TearDown();
    }

    // The view in a shown, active window, as a host shows it.
    void show() {
        view.reset(control->createPluginUIFrameView());
        ASSERT_NE(view, nullptr) << control->lastError().toStdString();
        window = std::make_unique<QQuickWindow>();
        window->resize(520, 900);
        view->setParentItem(window->contentItem());
        window->show();
        window->requestActivate();
        ASSERT_TRUE(processEventsUntil([this] { return window->isActive(); }));
    }
    QVariant read(const char* name, const char* property) const {
        QObject* object = findNamed(window.get(), QString::fromLatin1(name));
        EXPECT_NE(object, nullptr) << name;
        return object ? object->property(property) : QVariant();
    }
    void press(Qt::Key key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QGuiApplication::sendEvent(window.get(), &down);
        QGuiApplication::sendEvent(window.get(), &up);
    }
    // The named control that holds the keyboard focus, or the item's own
    // name, as in an editable box's text field.
    QString focused() const {
        for (QQuickItem* item = window->activeFocusItem(); item; item = item->parentItem()) {
            if (kControls.contains(item->objectName())) {
                return item->objectName();
            }
        }
        return {};
    }
    // Tabs from the current focus until `name` has it; false when a whole
    // round of the chain passes without it.
    bool tabTo(const QString& name) {
        for (int presses = 0; presses < 4 * kControls.size(); ++presses) {
            if (focused() == name) {
                return true;
            }
            press(Qt::Key_Tab);
        }
        return false;
    }
    QJsonObject savedFile() const {
        QFile file(settingsFilePath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    std::unique_ptr<LxKalveraTurntableControl> control;
    std::unique_ptr<QQuickItem> view;
    std::unique_ptr<QQuickWindow> window;
};

TEST_F(ShippedSettingsView, ShowsTheFileAndSavesWhatTheKeyboardChanged) {
    writeSettingsFile(R"({
        "framesCountText": "24",
        "useCustomAngles": true,
        "CustomAnglesList": ["30", "90"],
        "captureDelaySeconds": [1.5, 0.25],
        "rotationSpeed": 3,
        "isLockTableWhenIdle": true,
        "triggerShutterRelease": false,
        "isPerEdgeStepWrites": false,
        "customTurntableAdvancedSettings": {
            "stepsPerRevolutionText": "400",
            "isClockwiseActiveHigh": true,
            "isMotorEnableActiveHigh": false
        },
        "anotherHostsSetting": 7
    })");
    show();
    EXPECT_EQ(read("framesCountBox", "editText").toString(), "24");
    EXPECT_TRUE(read("useCustomAnglesBox", "checked").toBool());
    EXPECT_EQ(read("customAnglesList", "count").toInt(), 2);
    EXPECT_GE(read("customAnglesList", "height").toDouble(),
              read("removeAngleButton", "implicitHeight").toDouble())
        << "an angle's button, as tall as the host's style makes it, is shown whole";
    EXPECT_EQ(read("preCaptureDelayField", "text").toString(), "1.5");
    EXPECT_EQ(read("postCaptureDelayField", "text").toString(), "0.25");
    EXPECT_EQ(read("rotationSpeedSlider", "value").toInt(), 3);
    EXPECT_TRUE(read("lockWhenIdleBox", "checked").toBool());
    EXPECT_FALSE(read("shutterReleaseBox", "checked").toBool());
    EXPECT_EQ(read("stepsPerRevolutionField", "text").toString(), "400");
    EXPECT_TRUE(read("clockwiseActiveHighBox", "checked").toBool());
    EXPECT_FALSE(read("motorEnableActiveHighBox", "checked").toBool());

    // The user tabs to a box and a field and changes them from the keyboard.
    qobject_cast<QQuickItem*>(findNamed(window.get(), "framesCountBox"))->forceActiveFocus();
    ASSERT_TRUE(tabTo("shutterReleaseBox"));
    press(Qt::Key_Space);
    EXPECT_TRUE(read("shutterReleaseBox", "checked").toBool());
    ASSERT_TRUE(tabTo("rotationSpeedSlider"));
    press(Qt::Key_Right);
    EXPECT_EQ(read("rotationSpeedSlider", "value").toInt(), 4);

    ASSERT_TRUE(control->pluginUIFrameViewWillClose(view.get()));
    view.reset();
    const QJsonObject saved = savedFile();
    EXPECT_EQ(saved.value("triggerShutterRelease"), QJsonValue(true));
    EXPECT_EQ(saved.value("rotationSpeed").toInt(), 4);
    EXPECT_EQ(saved.value("framesCountText").toString(), "24");
    EXPECT_EQ(saved.value("useCustomAngles"), QJsonValue(true));
    EXPECT_EQ(saved.value("CustomAnglesList").toArray(), QJsonArray({"30", "90"}));
    EXPECT_EQ(saved.value("captureDelaySeconds").toArray(), QJsonArray({1.5, 0.25}));
    EXPECT_EQ(saved.value("isLockTableWhenIdle"), QJsonValue(true));
    const QJsonObject advanced = saved.value("customTurntableAdvancedSettings").toObject();
    EXPECT_EQ(advanced.value("stepsPerRevolutionText").toString(), "400");
    EXPECT_EQ(advanced.value("isClockwiseActiveHigh"), QJsonValue(true));
    EXPECT_EQ(advanced.value("isMotorEnableActiveHigh"), QJsonValue(false));
    EXPECT_EQ(saved.value("anotherHostsSetting").toInt(), 7)
        << "what the view does not know is kept";
}

TEST_F(ShippedSettingsView, TheTabKeyReachesEveryControl) {
    show();
    // The import is offered once the view has heard that "Custom" is open.
    ASSERT_TRUE(processEventsUntil([this] { return read("importButton", "enabled").toBool(); }));
    qobject_cast<QQuickItem*>(findNamed(window.get(), "framesCountBox"))->forceActiveFocus();
    QSet<QString> reached;
    for (int presses = 0; presses < 2 * kControls.size(); ++presses) {
        reached.insert(focused());
        press(Qt::Key_Tab);
    }
    for (const QString& control : kControls) {
        EXPECT_TRUE(reached.contains(control)) << control.toStdString();
    }
}

} // namespace
