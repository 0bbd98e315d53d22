#include "TurntableSettingsView.h"

#include "KalveraTurntable.h"
#include "LxCustomAnglesModel.h"
#include "LxSettingsKeys.h"
#include "LxTurntableModels.h"
#include "LxTurntableObjectControl.h"
#include "LxViewContext.h"
#include "LxViewFunctions.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlInfo>

namespace {

// The view's refresh index after a move, which sends no device settings.
constexpr int MOVE_ENDED = -1;
// The turntable's `model` with none open.
constexpr int NO_MODEL = -1;

// The models "Custom" can import from: all but "Custom" itself.
QStringList standardDeviceNames() {
    QStringList names;
    for (size_t index = CUSTOM_MODEL_INDEX + 1; index < turntableModels.size(); ++index) {
        names.append(QString::fromLatin1(turntableModels.at(index).name));
    }
    return names;
}

} // namespace

TurntableSettingsView::TurntableSettingsView(QQuickItem* parent)
    : QQuickItem(parent)
    , customAngles(new LxCustomAnglesModel(this))
    , control(new LxTurntableObjectControl(this)) {}

// The view's item goes first, while the objects its bindings read still live.
TurntableSettingsView::~TurntableSettingsView() {
    delete view.data();
}

KalveraTurntable* TurntableSettingsView::turntable() const {
    return table;
}

void TurntableSettingsView::setTurntable(KalveraTurntable* turntable) {
    if (turntable == table) {
        return;
    }
    for (const QMetaObject::Connection& connection : tableConnections) {
        disconnect(connection);
    }
    tableConnections.clear();
    table = turntable;
    control->setTurntable(turntable);
    if (turntable) {
        tableConnections = {connect(turntable, &KalveraTurntable::modelChanged, this,
                                    &TurntableSettingsView::showOpenModel),
                            connect(turntable, &KalveraTurntable::moveEnded, this,
                                    &TurntableSettingsView::showMoveEnded)};
    }
    showOpenModel();
    emit turntableChanged();
}

QVariantMap TurntableSettingsView::settings() const {
    if (!view) {
        return givenSettings;
    }
    QVariantMap settings =
        LxViewFunctions::saveSettings(view, static_cast<unsigned long>(table ? table->model() : 0))
            .toMap();
    // The view leaves its angles to the model it edits them in.
    settings.insert(LxSettingsKeys::customAnglesList, customAngles->stringList());
    return settings;
}

void TurntableSettingsView::setSettings(const QVariantMap& settings) {
    givenSettings = settings;
    showSettings();
    emit settingsChanged();
}

void TurntableSettingsView::componentComplete() {
    QQuickItem::componentComplete();
    QQmlEngine* engine = qmlEngine(this);
    if (!engine) {
        return;
    }
    context = new QQmlContext(qmlContext(this), this);
    LxViewContext::publishModels(context, customAngles, standardDeviceNames());
    view = LxViewContext::createViewItem(engine, context);
    if (!view) {
        qmlWarning(this) << "The settings view qrc:/qml/LxTurntableUIFrameView.qml is not in the "
                            "program: link the SettingsView target, or import the module through "
                            "its plug-in.";
        return;
    }
    view->setParent(this);
    view->setParentItem(this);
    // The host sizes this item; the view's own size is its implicit size.
    const auto followView = [this] {
        setImplicitSize(view->implicitWidth(), view->implicitHeight());
    };
    connect(view, &QQuickItem::implicitWidthChanged, this, followView);
    connect(view, &QQuickItem::implicitHeightChanged, this, followView);
    followView();
    showSettings();
    control->setView(view);
    LxViewContext::publishControl(context, control);
    showOpenModel();
}

void TurntableSettingsView::showSettings() {
    if (!view) {
        return;
    }
    LxViewFunctions::loadSettings(view, givenSettings);
    const QVariant angles = givenSettings.value(LxSettingsKeys::customAnglesList);
    if (angles.isValid()) {
        customAngles->setStringList(angles.toStringList());
        LxViewContext::publishCustomAngles(context, customAngles);
    }
}

void TurntableSettingsView::showOpenModel() {
    const int model = table ? table->model() : NO_MODEL;
    if (!view) {
        return;
    }
    // "Custom" keeps what the user set.
    if (model >= 0) {
        LxViewFunctions::postDeviceSettings(view, model,
                                            LxTurntableObjectControl::modelSettings(model));
        return;
    }
    // With no model open the view offers no import. Queued behind the
    // settings of a model opened before, which would otherwise come last.
    QMetaObject::invokeMethod(
        view, [item = view] { item->setProperty("deviceModel", -1); }, Qt::QueuedConnection);
}

void TurntableSettingsView::showMoveEnded() {
    LxViewFunctions::postDeviceSettings(view, MOVE_ENDED, QVariant());
}
