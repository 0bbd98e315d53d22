#include "LxViewContext.h"

#include <QFile>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QUrl>

namespace {

QStringList framesCounts() {
    return {QStringLiteral("8"),   QStringLiteral("12"),  QStringLiteral("24"),
            QStringLiteral("30"),  QStringLiteral("36"),  QStringLiteral("48"),
            QStringLiteral("72"),  QStringLiteral("90"),  QStringLiteral("120"),
            QStringLiteral("180"), QStringLiteral("240"), QStringLiteral("360")};
}

} // namespace

void LxViewContext::publishModels(QQmlContext* context, QObject* customAngles,
                                  const QStringList& standardDevices) {
    context->setContextProperty(QStringLiteral("KalveraTurntableFramesCountModel"), framesCounts());
    publishCustomAngles(context, customAngles);
    context->setContextProperty(QStringLiteral("KalveraTurntableStandardDevicesModel"),
                                standardDevices);
}

void LxViewContext::publishCustomAngles(QQmlContext* context, QObject* customAngles) {
    context->setContextProperty(QStringLiteral("KalveraTurntableCustomAnglesModel"),
                                QVariant::fromValue(customAngles));
}

void LxViewContext::publishControl(QQmlContext* context, QObject* control) {
    context->setContextProperty(QStringLiteral("KalveraTurntableQmlControl"),
                                QVariant::fromValue(control));
}

QQuickItem* LxViewContext::createViewItem(QQmlEngine* engine, QQmlContext* context) {
    // A literal: the QML loader's thread reads the address, handed over inside
    // Qt where ThreadSanitizer cannot follow a string built here.
    QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/qml/LxTurntableUIFrameView.qml")),
                            QQmlComponent::PreferSynchronous);
    if (!component.isReady()) {
        return nullptr;
    }
    QObject* root = component.create(context);
    auto* item = qobject_cast<QQuickItem*>(root);
    if (!item) {
        // No one else would ever release a root that is not an item.
        delete root;
    }
    return item;
}

bool LxViewContext::viewFileExists() {
    return QFile::exists(QStringLiteral(":/qml/LxTurntableUIFrameView.qml"));
}
