#ifndef HOSTFIXTURE_H
#define HOSTFIXTURE_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "ProcessEventsUntil.h"

#include <gtest/gtest.h>

namespace ftdisim {
class TurntableRig;
}
class QObject;
class QQuickWindow;

// The example host on a fresh simulated bus with one turntable, with a data
// directory of its own for the settings file.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What sits behind the bus's turntable chip.
    static ftdisim::TurntableRig& rig();
    QString settingsFilePath() const;
    void writeSettingsFile(const QByteArray& json) const;

    // The item or object called `name` anywhere in the window, also inside
    // the settings view, which is the window's child by item only.
    static QObject* findNamed(QQuickWindow* window, const QString& name);
    // Emits the button's clicked(), as a click on it does.
    static void click(QQuickWindow* window, const QString& button);

    QTemporaryDir dataHome;

private:
    QByteArray previousDataHome;
};

#endif
