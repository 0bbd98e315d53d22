#ifndef LXTURNTABLEOBJECTCONTROL_H
#define LXTURNTABLEOBJECTCONTROL_H

#include <QObject>
#include <QPointer>
#include <QVariant>

class KalveraTurntable;

// What the settings view commands, published to it as
// "KalveraTurntableQmlControl" by TurntableSettingsView: the commands of
// LxQmlTurntableControl, on a KalveraTurntable instead of a controller. Every
// command returns at once; what comes of it is the turntable's signals. With
// no turntable set, or once it is gone, every command does nothing and
// returns false. Use it on the turntable's thread.
class LxTurntableObjectControl : public QObject {
    Q_OBJECT

public:
    // Sends imported settings to `view`, the settings view's root item.
    explicit LxTurntableObjectControl(QObject* parent);

    void setTurntable(KalveraTurntable* turntable);
    void setView(QObject* view);

    // Turns by `degrees` (negative: the other way; 0: continuously until
    // stopRotationPreview()), clockwise or, with `isCounterclockwise`,
    // counterclockwise, with the speed and motor settings the view shows. False,
    // with nothing done, when no turntable is open, a move runs or a shoot
    // runs.
    Q_INVOKABLE bool startRotationPreview(int degrees, bool isCounterclockwise);
    // Stops the running move. False, with nothing done, while a shoot runs.
    Q_INVOKABLE bool stopRotationPreview();
    // Sends the view, as settings of "Custom" (index 0), the counts per
    // revolution and clockwise polarity that model `predefinedIndex` opens
    // with, the motor enable active high. Nothing for an index that is no
    // model other than "Custom", or while a shoot runs.
    Q_INVOKABLE void customTurntableImportStandardSettings(int predefinedIndex);
    // Fires the camera through the turntable. False, with nothing done, while
    // a shoot runs; the turntable's errorOccurred() says when it cannot.
    Q_INVOKABLE bool triggerShutterRelease();
    // Whether a shoot runs or is stopping.
    Q_INVOKABLE bool isShootRunning() const;

    // The motor settings model `modelIndex` opens with, as the view shows an
    // open model's; an empty map for "Custom" or no model.
    static QVariantMap modelSettings(int modelIndex);

private:
    QPointer<KalveraTurntable> table;
    QPointer<QObject> view;
};

#endif
