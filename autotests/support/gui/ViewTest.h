#ifndef VIEWTEST_H
#define VIEWTEST_H

#include "LxKalveraTurntableControl.h"

#include <QByteArray>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>

// Readable values in failure messages.
void PrintTo(const QVariant& value, std::ostream* out);
void PrintTo(const QString& text, std::ostream* out);

// The view's "saveSettings" calls, which come at its close, when the view's
// own records can no longer be read.
class SaveSettingsCalls : public QObject {
    Q_OBJECT

public:
    QVariantList turntableIndices;

public slots:
    void record(const QVariant& turntableIndex) { turntableIndices.append(turntableIndex); }
};

// A controller on a fresh simulated bus with one turntable chip, and a data
// directory of its own for the settings file. The test plays the host: it
// owns the view item and closes the view at the end if the test has not.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // createPluginUIFrameView(); the test keeps the item it returns.
    QQuickItem* openView();
    // pluginUIFrameViewWillClose() with the item; the item stays alive.
    bool closeView();
    bool openDevice(unsigned long model);

    // Where the settings file is expected.
    QString settingsFilePath() const;
    void writeSettingsFile(const QByteArray& content) const;
    QByteArray readSettingsFile() const;

    // A context property of the view's context.
    QVariant contextProperty(const char* name) const;
    QObject* contextObject(const char* name) const;
    // A record list of the open test view (see the QML file).
    QVariantList recorded(const char* name) const;
    // Calls a function of the test view with up to two arguments.
    QVariant callView(const char* function, const QVariantList& arguments = {}) const;
    void setViewSettings(const QVariant& settings) const;

    // Runs the event loop until `done` holds, at most `timeout` long.
    static bool processEventsUntil(const std::function<bool()>& done,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Runs what is pending now: a pass of the event loop, which takes in the
    // refreshes that ends of moves hand over, and the calls that they and
    // earlier calls queued.
    static void processPendingEvents();

    QTemporaryDir dataHome;
    std::unique_ptr<LxKalveraTurntableControl> control;
    std::unique_ptr<QQuickItem> item;
    bool viewOpen = false;
    SaveSettingsCalls saveCalls;

private:
    QByteArray previousDataHome;
};

#endif
