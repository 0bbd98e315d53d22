// The controller's settings view: building it with the settings file loaded
// into it, and saving the settings and releasing its objects at its close.
#include "LxKalveraTurntableControl.h"

#include "LxCustomAnglesModel.h"
#include "LxFTDIController.h"
#include "LxGlobalQmlEngine.h"
#include "LxKalveraTurntableControl_p.h"
#include "LxQmlTurntableControl.h"
#include "LxSettingsFile.h"
#include "LxSettingsMap.h"
#include "LxViewFunctions.h"

#include <QJsonObject>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QUrl>

namespace {

// A category of its own, so that a host can route or silence these lines.
Q_LOGGING_CATEGORY(settingsFileLog, "kalvera.turntable.settings")

const QString framesCountModelProperty = QStringLiteral("KalveraTurntableFramesCountModel");
const QString customAnglesModelProperty = QStringLiteral("KalveraTurntableCustomAnglesModel");
const QString standardDevicesModelProperty = QStringLiteral("KalveraTurntableStandardDevicesModel");
const QString qmlControlProperty = QStringLiteral("KalveraTurntableQmlControl");

QStringList framesCounts() {
    return {QStringLiteral("8"),   QStringLiteral("12"),  QStringLiteral("24"),
            QStringLiteral("30"),  QStringLiteral("36"),  QStringLiteral("48"),
            QStringLiteral("72"),  QStringLiteral("90"),  QStringLiteral("120"),
            QStringLiteral("180"), QStringLiteral("240"), QStringLiteral("360")};
}

// The models whose settings the view can import into "Custom": all but
// "Custom" itself, so row i is model index i + 1.
QStringList standardDeviceNames(std::list<std::string> names) {
    if (!names.empty()) {
        names.pop_front();
    }
    QStringList standard;
    for (const std::string& name : names) {
        standard.append(QString::fromStdString(name));
    }
    return standard;
}

// The host's view item made in `context`; null when the host's QML file is
// missing, does not compile or has no item at its root.
QQuickItem* createViewItem(QQmlContext* context) {
    QQmlComponent component(globalQmlEngine(),
                            QUrl(QStringLiteral("qrc:/qml/LxTurntableUIFrameView.qml")),
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

// Only a settings file the user would lose otherwise, or settings that were
// not saved, reach the host: through the last error and the log, for a host
// that looks at neither after a view opens or closes.
void reportSettingsProblem(LxAbstractPlugin& plugin, LxAbstractPlugin::ErrorCode code,
                           const QString& problem) {
    if (problem.isEmpty()) {
        return;
    }
    plugin.setLastError(code, problem);
    qCWarning(settingsFileLog, "%s", qUtf8Printable(problem));
}

void loadSettingsFile(UIFrameViewObjects& view, LxAbstractPlugin& plugin) {
    const LxSettingsFile::Reading reading = LxSettingsFile::read();
    reportSettingsProblem(plugin, LxAbstractPlugin::ErrorCode::SettingsFileUnreadable,
                          reading.problem);
    view.settingsFileWritable = reading.writable;
    if (!reading.document) {
        return;
    }
    const QJsonDocument& document = *reading.document;
    LxViewFunctions::loadSettings(view.frameView.data(), document.toVariant());
    const QJsonObject settings = document.object();
    view.advancedSettings =
        settings.value(LxSettingsMap::customTurntableAdvancedSettings).toObject().toVariantMap();
    const QJsonValue angles = settings.value(LxSettingsMap::customAnglesList);
    if (!angles.isNull()) {
        view.customAnglesModel->setStringList(angles.toVariant().toStringList());
        // Set again, so that the view's bindings see the loaded list.
        view.context->setContextProperty(customAnglesModelProperty,
                                         QVariant::fromValue<QObject*>(view.customAnglesModel));
    }
}

// The view's settings with its custom angles; nothing when the view gives no
// map. The host's item is the one it was given; asked through the record's
// guarded pointer, as the host may have disposed of it already.
std::optional<QVariantMap> settingsToSave(const UIFrameViewObjects& view,
                                          unsigned long turntableIndex) {
    const QVariant answer = LxViewFunctions::saveSettings(view.frameView.data(), turntableIndex);
    // Only a map is settings (a list would convert to an empty one); for
    // anything else the file keeps the last ones.
    if (answer.userType() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    QVariantMap settings = answer.toMap();
    const QStringList angles = view.customAngles();
    if (!angles.isEmpty()) {
        settings.insert(LxSettingsMap::customAnglesList, angles);
    }
    return settings;
}

void saveSettingsFile(const UIFrameViewObjects& view, LxKalveraTurntableControl& control) {
    if (!view.settingsFileWritable) {
        reportSettingsProblem(control, LxAbstractPlugin::ErrorCode::SettingsNotSaved,
                              LxSettingsFile::notWrittenOverUnreadable());
        return;
    }
    const auto settings = [&] { return settingsToSave(view, control.currentTurntableIndex()); };
    reportSettingsProblem(control, LxAbstractPlugin::ErrorCode::SettingsNotSaved,
                          LxSettingsFile::write(settings));
}

} // namespace

QQuickItem* LxKalveraTurntableControl::createPluginUIFrameView() {
    // The view reads the device's settings and drives it: it lives on the
    // controller's thread (and binds the controller there if it comes first).
    if (LxFTDIController::isOnAnyRotationThread() || !d->controllerThread->bindToCallingThread()) {
        setLastError(
            ErrorCode::WrongThread,
            QObject::tr("Make the settings view on the thread that opened the turntable."));
        return nullptr;
    }
    // Each view is to be closed before the next; should the host not do so,
    // the earlier view's objects go now rather than never.
    d->uiObjects = std::make_unique<UIFrameViewObjects>();
    if (!d->viewRefreshes) {
        d->viewRefreshes = std::make_unique<LxThreadMailbox>(d->controllerThread->gated(
            [this](int modelIndex) { updateDeviceSettingsUI(modelIndex); }));
    }
    d->viewExists = true;
    UIFrameViewObjects& view = *d->uiObjects;

    view.context = new QQmlContext(globalQmlEngine()->rootContext());
    view.context->setContextProperty(framesCountModelProperty, framesCounts());
    view.customAnglesModel = new LxCustomAnglesModel(globalQmlEngine());
    view.context->setContextProperty(customAnglesModelProperty,
                                     QVariant::fromValue<QObject*>(view.customAnglesModel));
    view.context->setContextProperty(standardDevicesModelProperty,
                                     standardDeviceNames(availableDevices()));

    view.frameView = createViewItem(view.context);
    loadSettingsFile(view, *this);

    view.qmlControl = new LxQmlTurntableControl(this, view.frameView.data());
    view.context->setContextProperty(qmlControlProperty,
                                     QVariant::fromValue<QObject*>(view.qmlControl));
    return view.frameView.data();
}

bool LxKalveraTurntableControl::pluginUIFrameViewWillClose(QQuickItem* view) {
    if (d->uiObjects) {
        saveSettingsFile(*d->uiObjects, *this);
        d->viewExists = false;
        d->uiObjects.reset();
    }
    return LxAbstractPlugin::pluginUIFrameViewWillClose(view);
}
