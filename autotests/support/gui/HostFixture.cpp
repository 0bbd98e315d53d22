#include "HostFixture.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

QObject* findIn(QQuickItem* item, const QString& name) {
    if (item->objectName() == name) {
        return item;
    }
    if (auto* object = item->findChild<QObject*>(name)) {
        return object;
    }
    for (QQuickItem* child : item->childItems()) {
        if (QObject* found = findIn(child, name)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

void HostFixture::SetUp() {
    ASSERT_TRUE(dataHome.isValid());
    previousDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    ftdisim::Bus::instance().reset();
}

void HostFixture::TearDown() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ftdisim::Bus::instance().reset();
    if (previousDataHome.isNull()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", previousDataHome);
    }
}

ftdisim::TurntableRig& HostFixture::rig() {
    return *ftdisim::Bus::instance().rig(ftdisim::Bus::instance().devices().at(0));
}

QString HostFixture::settingsFilePath() const {
    return dataHome.filePath(
        QStringLiteral("KalveraTests/KalveraTurntableSDKTests/KalveraTurntable.json"));
}

void HostFixture::writeSettingsFile(const QByteArray& json) const {
    QDir().mkpath(QFileInfo(settingsFilePath()).path());
    QFile file(settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(json), json.size());
}

QObject* HostFixture::findNamed(QQuickWindow* window, const QString& name) {
    if (auto* object = window->findChild<QObject*>(name)) {
        return object;
    }
    return findIn(window->contentItem(), name);
}

void HostFixture::click(QQuickWindow* window, const QString& button) {
    QObject* object = findNamed(window, button);
    ASSERT_NE(object, nullptr) << button.toStdString();
    ASSERT_TRUE(object->property("enabled").toBool()) << button.toStdString() << " is disabled";
    ASSERT_TRUE(QMetaObject::invokeMethod(object, "clicked")) << button.toStdString();
}
