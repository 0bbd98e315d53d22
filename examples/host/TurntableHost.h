#ifndef TURNTABLEHOST_H
#define TURNTABLEHOST_H

#include "ShootSequence.h"

#include <LxThreadMailbox.h>

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QStringList>
#include <QTimer>
#include <QVariantList>

#include <memory>

class LxKalveraTurntableControl;

// The host side of the turntable plug-in: one controller, the three host
// callbacks, the device, the plug-in's settings view and the shoots. The
// window's QML reaches it as "turntableHost"; the headless shoot uses it
// directly. One per process, since the plug-in's callbacks are process-wide;
// use it on the thread that runs the event loop.
class TurntableHost : public QObject {
    Q_OBJECT
    // The turntable models; empty while no turntable is found.
    Q_PROPERTY(QStringList models READ models NOTIFY modelsChanged)
    // The open model's index, -1 while none is open.
    Q_PROPERTY(int openModel READ openModel NOTIFY openModelChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool shooting READ isShooting NOTIFY progressChanged)
    // Whether the table turns, a shoot's move or the settings view's preview;
    // no shoot starts meanwhile. Polled: the view's preview is not told here.
    Q_PROPERTY(bool turning READ isTurning NOTIFY turningChanged)
    Q_PROPERTY(int captureNumber READ captureNumber NOTIFY progressChanged)
    Q_PROPERTY(int captureTotal READ captureTotal NOTIFY progressChanged)
    Q_PROPERTY(double currentAngle READ currentAngle NOTIFY progressChanged)
    // The shoot's captures so far, each a map of number, angle, tableAngle
    // (absent when unknown), seconds and cameraFired.
    Q_PROPERTY(QVariantList captures READ captureList NOTIFY progressChanged)

public:
    explicit TurntableHost(QObject* parent = nullptr);
    // Stops a shoot, closes the view (saving its settings) and the device.
    ~TurntableHost() override;

    Q_INVOKABLE void refreshModels();
    // The index of the model called `name`, whatever its case; -1 if none is.
    int modelIndex(const QString& name) const;
    // Closes the open model first. False, with the reason in the status, when
    // the model cannot be opened or a shoot runs.
    Q_INVOKABLE bool openDevice(int model);
    Q_INVOKABLE void closeDevice();
    // Plans a shoot from the settings view and starts it. False, with the
    // reason in the status, without a device or when the plug-in refuses.
    Q_INVOKABLE bool startShoot();
    Q_INVOKABLE void stopShoot();

    // The plug-in's settings view with the saved settings loaded, shown in
    // `container` (none: not shown). Null when it cannot be made; a view
    // already open is returned as it is. A settings file set aside because it
    // could not be read is named in the status.
    QQuickItem* openView(QQuickItem* container);
    // Saves the view's settings and disposes of it. False when they could not
    // be saved, with the reason in the status; true without a view.
    Q_INVOKABLE bool closeView();
    QQuickItem* view() const { return viewItem; }

    LxKalveraTurntableControl& turntable() { return *control; }
    QStringList models() const { return modelNames; }
    int openModel() const { return openedModel; }
    QString status() const { return statusText; }
    bool isShooting() const;
    bool isTurning() const { return turningNow; }
    int captureNumber() const;
    int captureTotal() const;
    double currentAngle() const;
    QVariantList captureList() const;
    const ShootSequence* shoot() const { return sequence.get(); }

signals:
    void modelsChanged();
    void openModelChanged();
    void statusChanged();
    void progressChanged();
    void turningChanged();
    void captured(const Capture& capture);
    void shootFinished(bool completed, const QString& message);

private:
    void setStatus(const QString& text);
    // The plug-in's last error, when the view's settings file failed it.
    void showSettingsProblem();
    void shootEnded(bool completed, const QString& message);
    void pollTurning();

    // Brings the end of a move from the rotation thread to this one. Declared
    // before the controller: a move's end may still send while the controller
    // stops it.
    LxThreadMailbox tableStopped{[this](int) {
        if (sequence) {
            sequence->tableStopped();
        }
    }};
    std::unique_ptr<LxKalveraTurntableControl> control;
    std::unique_ptr<ShootSequence> sequence;
    QPointer<QQuickItem> viewItem;
    QStringList modelNames;
    int openedModel = -1;
    // Only the DC table cannot take custom angles, and only it has no steps.
    bool stepperTable = false;
    QString statusText;
    QTimer turningPoll;
    bool turningNow = false;
};

#endif
