#include "LxSettingsView.h"

#include "LxCustomAnglesModel.h"
#include "LxFTDIController.h"
#include "LxGlobalQmlEngine.h"
#include "LxKalveraTurntableControl.h"
#include "LxKalveraTurntableControl_p.h"
#include "LxQmlTurntableControl.h"
#include "LxSettingsFile.h"
#include "LxSettingsMap.h"
#include "LxThreadMailbox.h"
#include "LxTurntableModels.h"
#include "LxViewContext.h"
#include "LxViewFunctions.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>

#include <optional>

namespace {

// A category of its own, so that a host can route or silence these lines.
Q_LOGGING_CATEGORY(settingsFileLog, "kalvera.turntable.settings")

const QString viewQmlFile = QStringLiteral(":/qml/LxTurntableUIFrameView.qml");
// The target that brings the SDK's own view into a host, as its build names it.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
const char* const settingsViewTarget = "KalveraTurntableSDKQt6::SettingsView";
#else
const char* const settingsViewTarget = "KalveraTurntableSDK::SettingsView";
#endif

constexpr int MOVE_ENDED = -1;

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

// Only a settings file the user would lose otherwise, settings that were not
// saved, or a view the host forgot to link reach the host: through the last
// error and the log, for a host that looks at neither after a view opens or
// closes.
void reportSettingsProblem(LxAbstractPlugin& plugin, LxAbstractPlugin::ErrorCode code,
                           const QString& problem) {
    if (problem.isEmpty()) {
        return;
    }
    plugin.setLastError(code, problem);
    qCWarning(settingsFileLog, "%s", qUtf8Printable(problem));
}

QVariantMap deviceSettingsOf(const LxKalveraTurntableControl& control) {
    QVariantMap settings;
    settings.insert(LxSettingsKeys::stepsPerRevolutionText,
                    QString::number(control.countsPerRevolution(), 10));
    settings.insert(LxSettingsKeys::isClockwiseActiveHigh, control.isClockwiseActiveHigh());
    settings.insert(LxSettingsKeys::isMotorEnableActiveHigh, control.isMotorEnableActiveHigh());
    return settings;
}

} // namespace

// The objects of one view, from its opening to its close. The record owns the
// context, the custom angles model and the control object and releases them
// when it goes; the view's root item stays the host's.
class LxSettingsView::ViewObjects {
public:
    ViewObjects() = default;
    ~ViewObjects();
    ViewObjects(const ViewObjects&) = delete;
    ViewObjects& operator=(const ViewObjects&) = delete;

    // From another thread than the objects' own: they go on their own
    // thread, from its event loop, instead of with this record.
    void handOverToTheirThread();

    QQmlContext* context = nullptr;
    // Guarded: the host may dispose of the item before it closes the view.
    QPointer<QQuickItem> frameView;
    QPointer<LxQmlTurntableControl> qmlControl;
    QPointer<LxCustomAnglesModel> customAnglesModel;
    // The last known advanced settings of the "Custom" model.
    QVariantMap advancedSettings;
    // False when the settings file could not be read nor moved aside: the
    // close leaves it as it is rather than lose it.
    bool settingsFileWritable = true;
};

// The control object goes first, while the host's item, its parent, may still
// call it; the context last, as the other two are published in it.
LxSettingsView::ViewObjects::~ViewObjects() {
    delete qmlControl.data();
    delete customAnglesModel.data();
    delete context;
}

void LxSettingsView::ViewObjects::handOverToTheirThread() {
    for (QObject* object :
         {static_cast<QObject*>(qmlControl.data()), static_cast<QObject*>(customAnglesModel.data()),
          static_cast<QObject*>(context)}) {
        if (object) {
            object->deleteLater();
        }
    }
    qmlControl = nullptr;
    customAnglesModel = nullptr;
    context = nullptr;
}

LxSettingsView::LxSettingsView(LxKalveraTurntableControl& control,
                               std::function<void(int)> receiveRefresh,
                               std::function<bool(const std::function<void()>&)> gateKeeper)
    : control(control)
    , refreshes(std::make_unique<LxThreadMailbox>(std::move(receiveRefresh)))
    , gateKeeper(std::move(gateKeeper)) {}

// Its mailbox may go on another thread, which destroy() serves.
LxSettingsView::~LxSettingsView() {
    LxThreadMailbox::destroy(refreshes.release());
}

QQuickItem* LxSettingsView::open() {
    // Each view is to be closed before the next; should the host not do so,
    // the earlier view's objects go now rather than never.
    view = std::make_unique<ViewObjects>();

    view->context = new QQmlContext(globalQmlEngine()->rootContext());
    view->customAnglesModel = new LxCustomAnglesModel(globalQmlEngine());
    LxViewContext::publishModels(view->context, view->customAnglesModel,
                                 standardDeviceNames(control.availableDevices()));

    view->frameView = LxViewContext::createViewItem(globalQmlEngine(), view->context);
    loadSettingsFile();
    // Last, so that the file's problems do not hide it: the host links the
    // SDK's view as a target of its own, and a host linked to the library
    // alone gets no view and would not know why.
    if (!view->frameView && !LxViewContext::viewFileExists()) {
        reportSettingsProblem(
            control, LxAbstractPlugin::ErrorCode::SettingsViewMissing,
            QObject::tr("The settings view qrc%1 is not in the application: link the target "
                        "%2 (with pkg-config, add its settingsview variable to the link), or "
                        "supply a view of your own under that name.")
                .arg(viewQmlFile, QLatin1String(settingsViewTarget)));
    }

    view->qmlControl = new LxQmlTurntableControl(&control, gateKeeper, view->frameView.data());
    LxViewContext::publishControl(view->context, view->qmlControl);
    return view->frameView.data();
}

void LxSettingsView::close() {
    if (view) {
        saveSettingsFile();
        view.reset();
    }
}

void LxSettingsView::loadSettingsFile() {
    const LxSettingsFile::Reading reading =
        LxSettingsFile::read(LxSettingsFile::path(), LxSettingsFile::Use::ReadAndWrite);
    const QString consequence = reading.writable()
                                    ? QObject::tr("The settings start from their defaults.")
                                    : QObject::tr("No settings are saved over it.");
    reportSettingsProblem(
        control, LxAbstractPlugin::ErrorCode::SettingsFileUnreadable,
        reading.problem.isEmpty() ? QString() : reading.problem + QLatin1Char(' ') + consequence);
    view->settingsFileWritable = reading.writable();
    // A file whose bytes were read but hold no settings loads as nothing, so
    // that the view drops what it showed; one never read leaves it be.
    using Outcome = LxSettingsFile::Reading::Outcome;
    if (reading.outcome != Outcome::Read && reading.outcome != Outcome::NoSettings) {
        return;
    }
    const QJsonObject& settings = reading.settings;
    LxViewFunctions::loadSettings(view->frameView.data(), reading.outcome == Outcome::Read
                                                              ? QJsonDocument(settings).toVariant()
                                                              : QVariant());
    view->advancedSettings =
        settings.value(LxSettingsKeys::customTurntableAdvancedSettings).toObject().toVariantMap();
    const QJsonValue angles = settings.value(LxSettingsKeys::customAnglesList);
    if (!angles.isNull()) {
        view->customAnglesModel->setStringList(angles.toVariant().toStringList());
        // Published again, so that the view's bindings see the loaded list.
        LxViewContext::publishCustomAngles(view->context, view->customAnglesModel);
    }
}

void LxSettingsView::saveSettingsFile() {
    if (!view->settingsFileWritable) {
        reportSettingsProblem(control, LxAbstractPlugin::ErrorCode::SettingsNotSaved,
                              LxSettingsFile::notWrittenOverUnreadable(LxSettingsFile::path()));
        return;
    }
    // The view's settings with its custom angles; nothing when the view gives
    // no map. The host's item is the one it was given; asked through the
    // record's guarded pointer, as the host may have disposed of it already.
    const auto settingsToSave = [this]() -> std::optional<QVariantMap> {
        const QVariant answer =
            LxViewFunctions::saveSettings(view->frameView.data(), control.currentTurntableIndex());
        // Only a map is settings (a list would convert to an empty one); for
        // anything else the file keeps the last ones.
        if (answer.userType() != QMetaType::QVariantMap) {
            return std::nullopt;
        }
        QVariantMap settings = answer.toMap();
        const QStringList angles = customAngles();
        if (!angles.isEmpty()) {
            settings.insert(LxSettingsKeys::customAnglesList, angles);
        }
        return settings;
    };
    reportSettingsProblem(control, LxAbstractPlugin::ErrorCode::SettingsNotSaved,
                          LxSettingsFile::write(LxSettingsFile::path(), settingsToSave));
}

bool LxSettingsView::hasItem() const {
    return view && !view->frameView.isNull();
}

QVariantMap LxSettingsView::settings(unsigned long turntableIndex) const {
    if (!view) {
        return QVariantMap();
    }
    return LxViewFunctions::saveSettings(view->frameView.data(), turntableIndex).toMap();
}

QStringList LxSettingsView::customAngles() const {
    if (!view || !view->customAnglesModel) {
        return QStringList();
    }
    return view->customAnglesModel->stringList();
}

void LxSettingsView::setAdvancedSettings(const QVariantMap& advancedSettings) {
    if (view) {
        view->advancedSettings = advancedSettings;
    }
}

void LxSettingsView::refreshDeviceSettings(int modelIndex) {
    if (!view) {
        return;
    }
    QVariant deviceSettings;
    if (modelIndex == static_cast<int>(CUSTOM_MODEL_INDEX)) {
        // "Custom" shows the user's own values, not the driver's defaults.
        deviceSettings = view->advancedSettings;
    } else if (modelIndex != MOVE_ENDED) {
        deviceSettings = deviceSettingsOf(control);
    }
    LxViewFunctions::postDeviceSettings(view->frameView.data(), modelIndex, deviceSettings);
}

void LxSettingsView::postRefresh(int modelIndex) {
    refreshes->send(modelIndex);
}

void LxSettingsView::handOverToTheirThread() {
    if (view) {
        view->handOverToTheirThread();
    }
}

// The controller's one member that needs this class whole, to make it.
QQuickItem* LxKalveraTurntableControl::createPluginUIFrameView() {
    // The view reads the device's settings and drives it: it lives on the
    // controller's thread (and binds the controller there if it comes first).
    if (LxFTDIController::isOnAnyRotationThread() || !d->controllerThread->bindToCallingThread()) {
        setLastError(
            ErrorCode::WrongThread,
            QObject::tr("Make the settings view on the thread that opened the turntable."));
        return nullptr;
    }
    if (!d->settingsView) {
        d->settingsView = std::make_unique<LxSettingsView>(
            *this, d->controllerThread->gated([this](int modelIndex) {
                updateDeviceSettingsUI(modelIndex);
            }),
            d->controllerThread->gateKeeper());
    }
    d->viewExists = true;
    QQuickItem* item = d->settingsView->open();
    // A view made after the open has not heard which model is open: it hears
    // it now, as it would have at the open.
    if (item && isTurntableOpened()) {
        updateDeviceSettingsUI(static_cast<int>(d->openedModel));
    }
    return item;
}
