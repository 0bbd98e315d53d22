#include "ViewTest.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJSValue>
#include <QQmlContext>
#include <QQmlEngine>

#include <QDebug>

void PrintTo(const QVariant& value, std::ostream* out) {
    QString text;
    QDebug(&text) << value;
    *out << text.toStdString();
}

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

void ViewTest::SetUp() {
    ASSERT_TRUE(dataHome.isValid());
    previousDataHome = qgetenv("XDG_DATA_HOME");
    // Qt reads it on every call: the settings file goes into this test's directory.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    ftdisim::Bus::instance().reset();
    control = std::make_unique<LxKalveraTurntableControl>();
    ASSERT_FALSE(control->availableDevices().empty());
}

void ViewTest::TearDown() {
    if (viewOpen) {
        closeView();
    }
    control.reset();
    item.reset();
    processPendingEvents();
    ftdisim::Bus::instance().reset();
    if (previousDataHome.isNull()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", previousDataHome);
    }
}

QQuickItem* ViewTest::openView() {
    item.reset(control->createPluginUIFrameView());
    viewOpen = true;
    saveCalls.turntableIndices.clear();
    if (item) {
        QObject::connect(item.get(), SIGNAL(settingsSaved(QVariant)), &saveCalls,
                         SLOT(record(QVariant)));
    }
    return item.get();
}

bool ViewTest::closeView() {
    viewOpen = false;
    return control->pluginUIFrameViewWillClose(item.get());
}

bool ViewTest::openDevice(unsigned long model) {
    bool opened = false;
    control->openDevice(model, &opened);
    return opened;
}

QString ViewTest::settingsFilePath() const {
    return dataHome.filePath(
        QStringLiteral("KalveraTests/KalveraTurntableSDKTests/KalveraTurntable.json"));
}

void ViewTest::writeSettingsFile(const QByteArray& content) const {
    const QString path = settingsFilePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
}

QByteArray ViewTest::readSettingsFile() const {
    QFile file(settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVariant ViewTest::contextProperty(const char* name) const {
    const QQmlContext* context = QQmlEngine::contextForObject(item.get());
    return context ? context->contextProperty(QString::fromLatin1(name)) : QVariant();
}

QObject* ViewTest::contextObject(const char* name) const {
    return contextProperty(name).value<QObject*>();
}

QVariantList ViewTest::recorded(const char* name) const {
    QVariant value = item->property(name);
    if (value.userType() == qMetaTypeId<QJSValue>()) {
        value = value.value<QJSValue>().toVariant();
    }
    return value.toList();
}

QVariant ViewTest::callView(const char* function, const QVariantList& arguments) const {
    QVariant result;
    QGenericArgument arg[2];
    for (int i = 0; i < arguments.size() && i < 2; ++i) {
        arg[i] = Q_ARG(QVariant, arguments[i]);
    }
    EXPECT_LE(arguments.size(), 2);
    EXPECT_TRUE(QMetaObject::invokeMethod(item.get(), function, Q_RETURN_ARG(QVariant, result),
                                          arg[0], arg[1]))
        << function;
    return result;
}

void ViewTest::setViewSettings(const QVariant& settings) const {
    item->setProperty("settingsToSave", settings);
}

bool ViewTest::processEventsUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
    return ::processEventsUntil(done, timeout);
}

void ViewTest::processPendingEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
