#ifndef KALVERATURNTABLE_H
#define KALVERATURNTABLE_H

/// \file
/// One turntable as a QObject: properties, invokables and signals on the
/// object's own thread.

#include "KalveraTurntableSDKGlobal.h"
#include "LxShootPlan.h"

#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class LxThreadMailbox;

namespace kalveraturntable {
struct Command;
struct State;
} // namespace kalveraturntable

/// A turntable for a Qt host: the controller (LxKalveraTurntableControl)
/// behind properties with notify signals, invokables and signals.
///
/// No call blocks the object's thread: the object owns a thread of its own on
/// which the controller lives and does the work (also the shutter release,
/// about 1 s), and every invokable returns at once. What comes of it arrives
/// as property changes and signals on the object's thread, from its event
/// loop, in the order it happened; no host code runs on another thread.
/// Destroying the object is safe at any time, also during a move, inside one
/// of its signals, or on another thread while the object's thread does not
/// run its loop: it stops the table, closes the turntable and ends its
/// thread, waiting for the stop (see the destructor).
///
/// The object moves with moveToThread() as a QObject does: from then on its
/// signals come on the thread it went to, which must run a Qt event loop; what
/// happened meanwhile comes there once that loop runs. Destroy a moved object
/// on that thread (QObject::deleteLater(), also from QThread::finished), or
/// elsewhere before that thread ends.
///
/// The object hears of the controller's notices through the plug-in callbacks
/// of LxTurntableHardware::TurntableHardwarePrivate, which the first object
/// made takes over. A plug-in host in the same process keeps its own: those
/// assigned before the first object is made get the notices of every
/// controller that is not an object's. Callbacks assigned after it, or cleared,
/// take the notices from the objects unless they hand them on to the ones they
/// replaced: startShoot() is refused while none is assigned, and a shoot whose
/// move's notice does not come within its delays and 2 s more is stopped with
/// errorOccurred() (Unspecified). Moves outside a shoot do not need them.
///
/// Units: degrees, growing clockwise as seen from above, the way a shoot
/// turns. `position` is the table's position from where it stood at the
/// start of the last shoot or at the open, at least 0 and below 360: at
/// each captureReady() it equals the capture's angle.
class LX_SDK_EXPORT KalveraTurntable : public QObject {
    Q_OBJECT
    /// The model names found by findTurntables(), in model-index order.
    Q_PROPERTY(QStringList models READ models NOTIFY modelsChanged)
    /// The model index open, -1 with none.
    Q_PROPERTY(int model READ model NOTIFY modelChanged)
    /// Whether a turntable is open.
    Q_PROPERTY(bool opened READ isOpened NOTIFY openedChanged)
    /// Whether the table turns.
    Q_PROPERTY(bool rotating READ isRotating NOTIFY rotatingChanged)
    /// The table's position in degrees (see the class's units), updated at
    /// least every 100 ms during a move.
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    /// Whether stepper moves run as chip-clocked step trains.
    Q_PROPERTY(bool chipClocked READ isChipClocked NOTIFY chipClockedChanged)
    /// The text of the last errorOccurred().
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    /// The code (LxAbstractPlugin::ErrorCode) of the last errorOccurred().
    Q_PROPERTY(int lastErrorCode READ lastErrorCode NOTIFY lastErrorChanged)
    /// Whether a shoot runs, or is stopping.
    Q_PROPERTY(ShootState shoot READ shoot NOTIFY shootChanged)
    /// The capture the shoot is at, from 1; 0 outside a shoot.
    Q_PROPERTY(int captureIndex READ captureIndex NOTIFY captureIndexChanged)
    /// The captures of the shoot; 0 outside a shoot.
    Q_PROPERTY(int captureCount READ captureCount NOTIFY captureCountChanged)
    /// Where the captures of the shoot that runs, or was started last, are
    /// taken: the angle of each captureReady(), in degrees from the start of
    /// the shoot in its direction, capture 1's first (0). Before that, those
    /// of the plan applySettings() took last that plans captures (frames or
    /// capture angles), for a host to show them before its shoot starts;
    /// empty before either.
    Q_PROPERTY(QVariantList plannedAngles READ plannedAngles NOTIFY plannedAnglesChanged)
    /// The shoot goes on by itself after each captureReady(), without
    /// captureTaken().
    Q_PROPERTY(bool autoAdvance READ autoAdvance WRITE setAutoAdvance NOTIFY autoAdvanceChanged)

public:
    /// The states of a shoot: none runs, one runs, one is being stopped.
    enum class ShootState { Idle, Running, Stopping };
    Q_ENUM(ShootState)

    /// Starts the object's thread; no turntable is looked for yet. Make it
    /// once the application object exists, and use it on the thread that
    /// makes it, which runs a Qt event loop.
    explicit KalveraTurntable(QObject* parent = nullptr);
    /// Stops the table, closes the turntable and ends the object's thread.
    /// What was asked and has not started yet is dropped: the destruction
    /// waits at most for a shutter release already running (about 1 s) and
    /// for the stop.
    ~KalveraTurntable() override;

    /// The `models` property.
    QStringList models() const;
    /// The `model` property.
    int model() const;
    /// The `opened` property.
    bool isOpened() const;
    /// The `rotating` property.
    bool isRotating() const;
    /// The `position` property.
    double position() const;
    /// The `chipClocked` property.
    bool isChipClocked() const;
    /// The `lastError` property.
    QString lastError() const;
    /// The `lastErrorCode` property.
    int lastErrorCode() const;
    /// The `shoot` property.
    ShootState shoot() const;
    /// The `captureIndex` property.
    int captureIndex() const;
    /// The `captureCount` property.
    int captureCount() const;
    /// The `plannedAngles` property.
    QVariantList plannedAngles() const;
    /// The `autoAdvance` property.
    bool autoAdvance() const;
    /// Sets the `autoAdvance` property; on while a capture waits for
    /// captureTaken(), the shoot goes on at once.
    void setAutoAdvance(bool on);

    /// Looks for the turntable: `models` lists the models, or errorOccurred()
    /// says why there is none.
    Q_INVOKABLE void findTurntables();
    /// Opens model `model` (0 to 7) on the turntable found; errorOccurred()
    /// on failure, with the controller's reason. With a turntable open it
    /// closes that one (a move cut short tells moveEnded()) and opens
    /// `model`; an index that names no model, negative or above 7, is refused
    /// (InvalidModelIndex, "There is no turntable model N: the models are 0
    /// to 7.") and the open turntable stays open as it was, `model` too; an
    /// open that fails leaves none open. Refused during a shoot (ShootRunning,
    /// "A 360 product photography shoot is running. Let it end or stop it
    /// first."), which goes on.
    Q_INVOKABLE void open(int model);
    /// Stops the table and closes the turntable; a shoot ends unfinished as
    /// after stopShoot(), and a move cut short tells moveEnded(). Nothing
    /// without a turntable open.
    Q_INVOKABLE void close();
    /// Turns by `degrees`, clockwise for a positive angle; moveEnded()
    /// when it ends. errorOccurred() when no move starts: a shoot running
    /// (ShootRunning, as open()), a move running (TurntableTurning, "The
    /// turntable is turning. Stop it first.", which goes on as it was), or
    /// (Unspecified) no turntable open, no counts per revolution, less than
    /// half a count.
    Q_INVOKABLE void rotateBy(double degrees);
    /// Turns the shorter way to `angle` (clockwise when both ways are 180
    /// degrees); as rotateBy().
    Q_INVOKABLE void rotateTo(double angle);
    /// Turns by `counts`, clockwise for a positive count; 0 does
    /// nothing. As rotateBy().
    Q_INVOKABLE void rotateCounts(int counts);
    /// Turns until stop(), clockwise or counterclockwise. errorOccurred()
    /// when no move starts: a shoot running (ShootRunning, as open()), a
    /// move running (TurntableTurning, as rotateBy()), or (Unspecified) no
    /// turntable open.
    Q_INVOKABLE void turnContinuously(bool clockwise);
    /// Stops the running move; moveEnded() follows, before anything a later
    /// call starts. During a shoot it stops the shoot as stopShoot() does:
    /// a shoot's move cut short tells no moveEnded(), shootFinished(false)
    /// does. Nothing when nothing runs.
    Q_INVOKABLE void stop();
    /// Fires the camera through the turntable (about 1 s); errorOccurred()
    /// when it cannot: a shoot running (ShootRunning, as open()), no stepper
    /// model open or a move running (Unspecified).
    Q_INVOKABLE void fireShutter();
    /// Takes the settings of `plan` without shooting: its speed, delays,
    /// motor and shutter settings and, for "Custom", its counts per revolution
    /// and line levels (LxKalveraTurntableControl::applyShootSettings()).
    /// Moves that follow turn with them, as a shoot of the plan would: a
    /// preview on "Custom" needs its counts first. Until a shoot or this gives
    /// them, "Custom" has no counts per revolution. The captures are not
    /// checked; a plan that plans some (frames, or capture angles) sets
    /// `plannedAngles` to them.
    /// errorOccurred() when they are not taken: no turntable open
    /// (DeviceNotOpen), a shoot running (ShootRunning, as open()) or a move
    /// running (TurntableTurning).
    void applySettings(const LxShootPlan& plan);
    /// The same from a map of the settings file's keys
    /// (LxShootPlan::fromSettingsMap()), such as TurntableSettingsView's
    /// `settings`.
    Q_INVOKABLE void applySettings(const QVariantMap& settings);
    /// Starts a shoot of `plan` (LxKalveraTurntableControl::planShoot(), whose
    /// refusals come as errorOccurred()). The table stands at capture 1:
    /// captureReady(1, 0) follows after the pre-capture delay. Refused while
    /// a shoot runs (ShootRunning, as open()) and while the process has
    /// cleared the notice callback (Unspecified; see the class).
    void startShoot(const LxShootPlan& plan);
    /// The same from a map of the settings file's keys
    /// (LxShootPlan::fromSettingsMap()).
    Q_INVOKABLE void startShoot(const QVariantMap& settings);
    /// Ends the shoot: the table stops, `shoot` is Stopping and then Idle,
    /// and shootFinished(false) follows. Nothing of the stopped shoot's
    /// moves comes after it, also when a shoot starts again at once. Nothing
    /// without a shoot.
    Q_INVOKABLE void stopShoot();
    /// The host has taken the capture of the last captureReady(): the shoot
    /// turns on to the next one. Nothing while no capture waits for it (the
    /// shoot turns, or none runs).
    Q_INVOKABLE void captureTaken();

signals:
    /// The property of the same name has changed. A move's changes come
    /// before its moveEnded(); during a shoot `captureIndex` changes before
    /// its captureReady().
    void modelsChanged();
    /// \copydoc modelsChanged()
    void modelChanged();
    /// \copydoc modelsChanged()
    void openedChanged();
    /// \copydoc modelsChanged()
    void rotatingChanged();
    /// \copydoc modelsChanged()
    void positionChanged();
    /// \copydoc modelsChanged()
    void chipClockedChanged();
    /// The `lastError` and `lastErrorCode` properties have changed.
    void lastErrorChanged();
    /// \copydoc modelsChanged()
    void shootChanged();
    /// \copydoc modelsChanged()
    void captureIndexChanged();
    /// \copydoc modelsChanged()
    void captureCountChanged();
    /// \copydoc modelsChanged()
    void autoAdvanceChanged();
    /// \copydoc modelsChanged()
    void plannedAnglesChanged();

    /// A move has ended: the table stands, at `position`.
    void moveEnded();
    /// The table stands at capture `index` (from 1), `angle` degrees from the
    /// start of the shoot in its direction, and the pre-capture delay has
    /// passed: take the picture, then call captureTaken().
    void captureReady(int index, double angle);
    /// The shoot has ended: `completed` after its last capture, false when it
    /// was stopped, closed or its turntable lost.
    void shootFinished(bool completed);
    /// The turntable stopped answering (it was unplugged) and is closed.
    void disconnected();
    /// An operation failed: `code` is an LxAbstractPlugin::ErrorCode.
    void errorOccurred(int code, const QString& text);

protected:
    /// Follows moveToThread() (QEvent::ThreadChange); see the class.
    bool event(QEvent* event) override;

private:
    class Private;

    LxThreadMailbox* makeMailbox();
    // On the thread the object leaves, and on the one it went to.
    void leaveThread();
    void adoptThread();
    void command(const kalveraturntable::Command& command);
    // Gives the host what the worker told, in order, until the object goes
    // or moves inside one of its signals.
    void receiveEvents();
    void applyState(const kalveraturntable::State& state);

    std::unique_ptr<Private> d;
};

#endif
