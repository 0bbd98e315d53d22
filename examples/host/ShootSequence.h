#ifndef SHOOTSEQUENCE_H
#define SHOOTSEQUENCE_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class LxKalveraTurntableControl;

// One picture of a shoot.
struct Capture {
    int number = 0;
    // Where the table stands for it, in degrees clockwise from the start.
    float angle = 0.0f;
    // Where the table really stood, when the turntable can tell.
    std::optional<double> tableAngle;
    // Since the shoot started.
    qint64 elapsedMs = 0;
    // Whether the camera on the turntable's shutter lines took it.
    bool cameraFired = false;
};

// One 360-degree shoot, driven the way the plug-in expects of its host: plan
// it from the settings view, then one rotateDeviceToAngle() per capture, the
// next one when the turntable reports that the table stands, until the call
// that returns false. The host takes each picture just before it turns the
// table on; the turntable's own shutter release, when the settings ask for it,
// fires at that moment too. Use it on the controller's thread.
class ShootSequence : public QObject {
    Q_OBJECT

public:
    // `control` has a device open and a settings view; it outlives the
    // sequence. `stepperTable`: the open model has a stepper motor, else the
    // DC one; the table's real position is read from the one it names.
    ShootSequence(LxKalveraTurntableControl* control, bool stepperTable, QObject* parent = nullptr);

    // Plans the shoot and takes the first capture. False, with the reason in
    // `error`, when the plug-in refuses the plan.
    bool start(QString* error);
    // The turntable stands after a move: the next capture, or the end.
    void tableStopped();
    // Ends the shoot at once; the table stops where it is, and the next shoot
    // starts afresh. A notice of the end of a move may still be on its way.
    void stop();
    // The plug-in has ended the shoot itself (its turntable was lost):
    // finishes with `message`, without asking the plug-in for anything.
    void abandon(const QString& message);

    bool isRunning() const { return running; }
    int captureCount() const { return static_cast<int>(targets.size()); }
    const std::vector<Capture>& captures() const { return taken; }

signals:
    void captured(const Capture& capture);
    // `completed`: every capture taken. `message` says how it ended.
    void finished(bool completed, const QString& message);

private:
    void takeCapture();
    void finish(bool completed, const QString& message);
    std::optional<double> tableAngle() const;

    LxKalveraTurntableControl* control;
    bool stepperTable;
    unsigned int countsPerRevolution = 0;
    long long startCounts = 0;
    // Where each move of the shoot ends; capture k is taken where move k - 1 ended.
    std::vector<float> targets;
    std::vector<Capture> taken;
    QElapsedTimer clock;
    bool running = false;
};

#endif
