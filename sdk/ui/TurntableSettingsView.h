#ifndef TURNTABLESETTINGSVIEW_H
#define TURNTABLESETTINGSVIEW_H

#include <QPointer>
#include <QQuickItem>
#include <QVariantMap>

class KalveraTurntable;
class LxCustomAnglesModel;
class LxTurntableObjectControl;
class QQmlContext;

// The QML type TurntableSettingsView (module Kalvera.Turntable): the SDK's
// settings view "qrc:/qml/LxTurntableUIFrameView.qml" as an item of the
// host's own engine, bound to a KalveraTurntable. Its preview, stop and
// shutter test drive that turntable; `settings` is the plan a host hands to
// KalveraTurntable::startShoot(). Unlike the controller's view it reads and
// writes no settings file: the host keeps `settings` where it likes.
class TurntableSettingsView : public QQuickItem {
    Q_OBJECT
    // The turntable the view's buttons drive and whose open model it shows;
    // null: the buttons do nothing.
    Q_PROPERTY(
        KalveraTurntable* turntable READ turntable WRITE setTurntable NOTIFY turntableChanged)
    // The view's settings as a map of the settings file's keys (LxSettingsKeys),
    // the custom angles included: reading it gives what the view shows now,
    // writing it shows the map's values (keys the view does not know are kept
    // and read back). It notifies only when written.
    Q_PROPERTY(QVariantMap settings READ settings WRITE setSettings NOTIFY settingsChanged)

public:
    explicit TurntableSettingsView(QQuickItem* parent = nullptr);
    ~TurntableSettingsView() override;

    KalveraTurntable* turntable() const;
    void setTurntable(KalveraTurntable* turntable);
    QVariantMap settings() const;
    void setSettings(const QVariantMap& settings);

signals:
    void turntableChanged();
    void settingsChanged();

protected:
    // Makes the view's item, once the host's bindings have been set; a
    // program without the view's file gets a warning and an empty item.
    void componentComplete() override;

private:
    void showSettings();
    void showOpenModel();
    void showMoveEnded();

    QPointer<KalveraTurntable> table;
    QVariantMap givenSettings;
    QQmlContext* context = nullptr;
    LxCustomAnglesModel* customAngles = nullptr;
    LxTurntableObjectControl* control = nullptr;
    QPointer<QQuickItem> view;
    QList<QMetaObject::Connection> tableConnections;
};

#endif
