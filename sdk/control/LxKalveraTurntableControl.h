#ifndef LXKALVERATURNTABLECONTROL_H
#define LXKALVERATURNTABLECONTROL_H

#include "LxChipSetUpStep.h"
#include "LxShootPlan.h"
#include "LxTurntableChip.h"
#include "LxTurntableHardware.h"

#include <memory>
#include <vector>

class LxFTDIController;

/// The SDK's controller of one turntable, and the host's turntable plug-in.
///
/// It finds the turntable's USB chip, opens one of the eight turntable models
/// on it ("Custom", "Standard", "Tessel M", "Tessel L", "Tessel XL", "Facet",
/// "Quarry L", "Quarry M"; model indices 0 to 7, "Standard" the one DC-motor
/// table), forwards motor settings and moves to the model's motor driver, and
/// keeps the shoot settings, which survive closing and reopening the device.
/// Without an open device every motor operation does nothing, returns a
/// neutral value (0, false or 0.0) and sets no last error. Every last error
/// it sets comes with its LxAbstractPlugin::ErrorCode (lastErrorCode()),
/// named below beside its text.
///
/// Units: angles and positions in degrees (positions modulo 360), moves in
/// counts (the stepper's steps, or the DC table's counter pulses), the
/// stepper's step time in milliseconds, capture delays in seconds.
///
/// It may be made on any thread, also before the application object exists,
/// and serves the thread that first opens a device: call it from there. That
/// thread runs a Qt event loop for the steps of a sequence (a QGuiApplication
/// or QCoreApplication with its organisation and application names set, or a
/// QThread). Moves run on a rotation thread of the driver, which calls
/// turntableRotationStoppedHelper() at the end of each and so tells the host on
/// that thread; what the host asks for there, or on another thread, that
/// needs the controller's thread (the next step, the move back to the start,
/// closing) is passed to it. No call on the controller's thread waits for a
/// rotation thread while that thread is inside the host's notice, so a host
/// may hand the notice to its own thread and block until it is taken
/// (Qt::BlockingQueuedConnection).
class LX_SDK_EXPORT LxKalveraTurntableControl : public LxTurntableHardware {
public:
    class TurntableControlPrivate;

    /// The longest step time of the stepper tables, in milliseconds (10 s):
    /// a thousand times the settings view's slowest, slow enough to watch
    /// single steps, while a counted move still ends.
    static constexpr unsigned int MAXIMUM_STEP_TIME_MS = 10000;

    /// No device open; shoot settings cleared, both delays -1 (none).
    LxKalveraTurntableControl();
    /// Stops a running rotation, waiting for its thread, and closes the device,
    /// on whatever thread it runs; a rotation thread that is inside the host's
    /// notice is not waited for (it touches nothing of the controller once the
    /// host has been told). A settings view still open is released here.
    ~LxKalveraTurntableControl() override;

    /// Looks for the turntable's USB chip (an FT245R: "245R" in its
    /// description) that is not open elsewhere, and remembers it for
    /// openDevice(). While a device is open, that chip is the one found.
    /// \return the eight model names in model-index order; an empty list when
    /// no chip is found, with lastError() "The turntable device cannot be
    /// found." followed by hints on the driver, the power and the USB cable
    /// (DeviceNotFound); or, when the chip is attached but cannot be had (open
    /// in another program or controller, or listed without its strings
    /// because this user may not open it), "The turntable's USB chip is
    /// attached but cannot be opened: ..." followed by hints on other programs
    /// and the udev rule (ChipUnopenable). Also empty when the USB backend
    /// (LxD2xxBackend) cannot be had, with lastError() "Unknown USB backend
    /// "NAME" in KALVERA_TURNTABLE_BACKEND; the backends are libftdi,
    /// simulator, vendor." (UnknownBackend) or "The USB backend "NAME" cannot
    /// be loaded: " followed by the system's reason (BackendNotLoadable).
    std::list<std::string> availableDevices() const override;

    /// Opens turntable model `model` on the chip that availableDevices() found
    /// last, with the model's motor settings; a device still open is closed
    /// first. The search reserves nothing: when another controller or program
    /// has taken that chip since, the open takes the first free turntable chip
    /// instead (two controllers that searched at once open one chip each).
    /// \param model the model index, 0 to 7; a larger one is refused before
    /// anything else: `*opened` false, lastError() "There is no turntable
    /// model N: the models are 0 to 7." (InvalidModelIndex), and a device open
    /// before stays open as it was.
    /// \param opened set true on success and false on failure, with the reason
    /// in lastError(): "No available device found." (no chip was found;
    /// NoDeviceToOpen), "The turntable's USB chip has changed since it was
    /// found. Search for the turntable again." (another chip, or none, is now
    /// listed where it was found; nothing is sent to it; ChipChanged) or the
    /// USB driver's status text of the open or of a set-up call that failed
    /// ("Device not found", "Device not opened", "IO Error", "Insufficient
    /// resources", "Invalid handle.", "Invalid parameter", "Invalid baud
    /// rate", "Invalid arguments", "Not supported", "Other error", or empty
    /// for a status that is none of these; UsbFailure, the status in
    /// lastUsbStatus()); a chip whose set-up failed is closed again. When a
    /// USB backend chosen since the search cannot be loaded, the reason
    /// availableDevices() would give. The first open binds the controller to
    /// the calling thread; refused (false, "Open the turntable from the thread
    /// that opened it first, not inside a turntable notice.", WrongThread) on
    /// another thread, or inside a turntable notice.
    void openDevice(unsigned long model, bool* opened);
    /// The host's entry: opens `model` as openDevice(unsigned long, bool*) does
    /// and reports hardwareOpenSucceeded(model, model supports custom angles)
    /// or hardwareDisconnected(model) before it returns. A model index that
    /// names no model is refused with neither: lastError() says why
    /// (InvalidModelIndex), and a device open before stays open as it was.
    /// \throws std::bad_function_call if the callback to fire is not assigned.
    void openDevice(unsigned long model) override;
    /// Stops a running rotation, waiting for its thread, and closes the device;
    /// nothing without one. A step still waiting for its post-capture delay is
    /// dropped. Called on another thread (inside a turntable notice, or a
    /// worker), the close is handed to the controller's thread and runs there
    /// from its event loop; a controller's thread without an event loop closes
    /// at once.
    void closeDevice() override;
    /// Whether a device is open.
    bool isTurntableOpened() const;

    /// Sets the counts of one revolution of the open table. This and the motor
    /// settings below start from the model's values at every openDevice();
    /// change them only while no rotation runs. With 0 (where "Custom" starts)
    /// counted and angled moves are refused; a continuous rotation needs none.
    /// A plan for "Custom" replaces them with the view's counts when the view
    /// holds a positive number, and keeps them otherwise.
    void SetCountsPerRevolution(unsigned int counts);
    /// The counts of one revolution; 0 without a device.
    unsigned int countsPerRevolution() const;
    /// Sets the level of the stepper's direction output that means clockwise.
    void SetClockwiseActiveHigh(bool activeHigh);
    /// Whether a high direction output means clockwise; false without a device.
    bool isClockwiseActiveHigh() const;
    /// Sets the level of the stepper's enable output that enables the motor.
    void SetMotorEnableActiveHigh(bool activeHigh);
    /// Whether a high enable output enables the motor; false without a device.
    bool isMotorEnableActiveHigh() const;
    /// Keep the stepper motor enabled, holding the table, after a move.
    void SetLockMotorWhenIdle(bool lock);
    /// Whether the stepper holds the table after a move; false without a device.
    bool isLockMotorWhenIdle() const;
    /// Writes each stepper move as a chip-clocked step train (on, the default)
    /// or one USB write per edge (off). A chip-clocked train goes to the chip
    /// in blocks of bytes that its own bit-bang clock puts on the pins, so
    /// every edge comes out on time whatever the USB's latency, at almost no
    /// processor time, and a stopped move leaves the position where the steps
    /// that came out took the table; a stop is taken between blocks, and up to
    /// 16 ms of steps still follow it, counted. Per-edge writes are timed by
    /// this process, and on a real USB bus each step takes about 2 ms more
    /// than its step time. Trains run only on a chip whose bit-bang clock the
    /// open measured (chipByteClockFactor()); on another, moves are per-edge
    /// writes whatever the choice, and the log says why. Taken when a move
    /// starts. The DC table has no step train and ignores it. Unlike the motor
    /// settings, the choice is kept across closing and reopening and applies to
    /// every model opened after it; without a device it does nothing.
    void SetChipClockedStepTrains(bool on);
    /// Whether stepper moves run as chip-clocked step trains: chosen, and the
    /// chip's clock known. False without a device, and for the DC table.
    bool isChipClockedStepTrains() const;
    /// The bit-bang clock of the open chip, which the open of a stepper model
    /// times with a silent train (every line kept, at most 100 ms): the bytes
    /// it puts on the pins per baud period, 16 or 4, the two readings that FT245R
    /// chips have shown. 0 without a device, for the DC table, and when the
    /// clock matched neither or could not be timed (chipByteClockProblem()
    /// says why; the log category "kalvera.turntable.chip" warns of it).
    int chipByteClockFactor() const;
    /// Why chipByteClockFactor() is 0 for an open stepper model, in English for
    /// a log ("the USB was too busy to time its bit-bang clock: ..."); empty
    /// when the clock is known or no stepper model is open.
    QString chipByteClockProblem() const;

    /// Every device the USB backend lists, in list order, turntable chip or
    /// not, with whether it can be opened: what availableDevices() searches,
    /// for a tool that says why no turntable was found. Reserves nothing, and
    /// changes neither the chip availableDevices() found nor the last error
    /// when the list is made (an empty bus gives an empty list). While a device
    /// is open, its chip is listed as OpenElsewhere. Empty when the USB backend
    /// cannot be had, with the last error availableDevices() then sets
    /// (UnknownBackend or BackendNotLoadable).
    std::vector<LxTurntableChip> attachedChips() const;
    /// The D2XX calls of the last openDevice() that got as far as the chip,
    /// from FT_Open on, in the order made, whatever its outcome: after a
    /// failed open the last step is the call that failed, with the status
    /// that lastUsbStatus() gives. A call repeated in a row with the same
    /// status is one step. Kept after closeDevice() until the next open, so
    /// that a tool can report an open that failed; an open refused before it
    /// reached the USB (unknown model, wrong thread) leaves it as it was. Empty
    /// before the first open, and after one that found no chip to open
    /// (NoDeviceToOpen, ChipChanged).
    std::vector<LxChipSetUpStep> chipSetUpSteps() const;
    /// The USB round trip to the open chip: times a few reads of its pins, each
    /// a purge of the chip's receive buffer and a one-byte read as the drivers
    /// read the DC table's stopped line, and returns the median in
    /// milliseconds. A read changes no pin and moves nothing, on the DC table
    /// and the stepper tables alike, so it is safe with a product on the
    /// table. Call it on the controller's thread.
    /// \return above 0; -1.0 without a device (no last error), while a move
    /// runs, since the move's thread owns the chip then ("The turntable is
    /// turning. Stop it first.", TurntableTurning), or when a read fails
    /// ("The turntable's USB chip did not answer a read of its pins.",
    /// PinReadFailed).
    double measureUsbRoundTripMilliseconds();

    /// Sets the stepper's step time in milliseconds (on top of a 1 ms pulse);
    /// larger is slower. Every model starts at 0, the fastest. A step time
    /// above MAXIMUM_STEP_TIME_MS is taken as MAXIMUM_STEP_TIME_MS. Stopping
    /// or closing cuts a step short, so neither waits for the step time.
    void SetRotationSpeed(unsigned int speed);
    /// The stepper's step time in milliseconds that moves use, at most
    /// MAXIMUM_STEP_TIME_MS; 0 without a device.
    unsigned int rotationSpeed() const;

    /// The next move turns clockwise, which decreases the global position.
    void SetRotationClockwise();
    /// The next move turns counterclockwise, which increases the global position.
    void SetRotationCounterClockwise();
    /// Whether the next move turns clockwise; false without a device.
    bool isRotationClockwise() const;
    /// Plans the next move in counts; a negative count reverses the direction.
    /// A `counts` of 0 plans a continuous rotation, until stopRotation(); it
    /// needs no counts per revolution, and without them the global position
    /// stays where it was.
    /// \return the counts planned, as a positive number; 0 for a continuous
    /// rotation, and 0, planning nothing, for other counts while counts per
    /// revolution are 0, or without a device.
    int SetRotationIncrementInCounts(int counts);
    /// Plans the next move in degrees, rounded to whole counts; a negative
    /// angle reverses the direction.
    /// \return the angle planned in degrees, as a positive number; 0.0,
    /// planning nothing, for an angle under half a count, 0, infinite or NaN,
    /// while counts per revolution are 0, or without a device.
    double SetRotationIncrementInDegrees(double degrees);
    /// Plans a move in the current direction to the global position `degrees`
    /// (taken modulo 360); a full turn when the table is there already.
    /// \return the angle planned in degrees, above 0 and up to 360; `degrees`
    /// unchanged without a device.
    double SetRotationNextGlobalPositionInDegrees(double degrees);
    /// The current position becomes global position 0; the planned move stays.
    void SetRotationGlobalOriginHere();
    /// Starts the planned move on a rotation thread and returns at once.
    /// \return false if nothing started: no device, no move planned, a move
    /// running, or called from a rotation thread. A refused move is dropped:
    /// plan it again.
    bool startRotation();
    /// Ends the running move and waits for its thread. A turntable notice of
    /// that move not yet given to the host (it waits for the pre-capture delay)
    /// is dropped; one the host is in already is not waited for. Inside a
    /// turntable notice, it does not wait for the thread it runs on.
    /// \return false without a device, else true, also when nothing ran.
    bool stopRotation();
    /// The table's position in degrees from the start (the global position:
    /// modulo 360, negative clockwise of it), which a host may read on any
    /// thread, also during a move: it follows the table at least once per
    /// step, per block of a chip-clocked train (about 16 ms of steps, counted
    /// when the chip takes them) and, on the DC table, per run of its counter
    /// (up to 16 counts); at the end of a move it is where the move left the
    /// table. 0.0 without a device.
    double positionInDegrees() const;
    /// Whether a move runs. Poll it with pauses of some milliseconds: the
    /// rotation thread takes the same lock once per step (once per block of
    /// a chip-clocked train).
    /// \return false without a device.
    bool IsTurntableRotating();

    /// Stops a running rotation at once, as stopRotation() does; a turntable
    /// notice still waiting for its pre-capture delay is dropped, and on the
    /// controller's thread a step still waiting for its post-capture delay.
    void stopsSpinning() override;

    /// Plans a 360-degree sequence from `plan`, with no settings view: a shoot
    /// planned wholly from code, "Custom" included. The plan applies as the
    /// view's does (complete360ProductPhotographyWillStart()): its delays,
    /// speed, motor and shutter settings, for the open model "Custom" its
    /// counts per revolution and line levels where it gives them; the current
    /// position becomes the start. The host then runs the sequence with
    /// rotateDeviceToAngle() as after the view's plan. A plan made while an
    /// earlier shoot has captures left starts over; the image index carries
    /// on.
    /// \param plan the shoot (LxShootPlan).
    /// \param imagesCount set to the number of captures, 1 to 65535; may be
    /// null.
    /// \param angles set to the capture angles closed by a whole turn (360)
    /// for a plan at capture angles, emptied for one of frames; may be null.
    /// \return true when the plan is made. False, with the reason in
    /// lastError() and nothing changed: without an open device ("Open the
    /// turntable before planning a shoot.", DeviceNotOpen), while a move runs
    /// ("The turntable is turning. Stop it first.", TurntableTurning), for
    /// capture angles that do not rise strictly from 0 to below 360 ("The
    /// capture angles must rise from 0 to below 360 degrees.",
    /// CaptureAnglesOutOfOrder), for frames outside 1 to 65535 ("The number
    /// of frames must be a whole number from 1 to 65535.", InvalidFrameCount),
    /// for no capture angles ("Invalid custom angles array. Make sure the list
    /// is not empty.", InvalidCustomAngles), for capture angles on the
    /// "Standard" model ("Standard turntable does not support custom
    /// angles.", CustomAnglesUnsupported) and for more than 65534 of them
    /// ("Too many custom angles. A shoot takes at most 65535 captures.",
    /// TooManyCustomAngles). False too when the open device has no counts per
    /// revolution and the plan gives none ("Counts per revolution have not
    /// been set.", CountsPerRevolutionNotSet), the view's plan's refusal, which
    /// leaves the delays, the speed and the "Custom" counts applied.
    bool planShoot(const LxShootPlan& plan, unsigned short* imagesCount = nullptr,
                   std::vector<float>* angles = nullptr);

    /// Plans a 360-degree sequence from the settings the view holds, read as
    /// LxShootPlan::fromSettingsMap() reads a map but with the view's custom
    /// angles list, and applied as planShoot() applies a plan: the
    /// number of captures in `*imagesCount` and, in custom-angle mode, the
    /// capture angles in degrees closed by a whole turn (360) in `*angles`
    /// (owned by this object; the caller passes a null float*, which frames
    /// mode leaves null). A null `angles` asks for the settings only. Applies
    /// the delays, speed, motor and shutter settings and makes the current
    /// position the start. A plan made while an earlier shoot has captures
    /// left starts over; the image index carries on.
    /// \return true when the plan is made, with 1 to 65535 captures. False,
    /// with the reason in lastError() and the sequence left as it was: without
    /// a settings view ("The turntable settings view must be open to plan a
    /// shoot.", ViewNotOpen), without an open device ("Open the turntable
    /// before planning a shoot.", DeviceNotOpen), while a move runs ("The
    /// turntable is turning. Stop it first.", TurntableTurning), for a frame
    /// count that is no number or outside 1 to 65535 once truncated ("The
    /// number of frames must be a whole number from 1 to 65535.",
    /// InvalidFrameCount), with an empty custom angles list ("Invalid custom
    /// angles array. Make sure the list is not empty.", InvalidCustomAngles),
    /// for custom angles on the "Standard" model ("Standard turntable does not
    /// support custom angles.", CustomAnglesUnsupported), for more than 65534
    /// custom angles ("Too many custom angles. A shoot takes at most 65535
    /// captures.", TooManyCustomAngles), or when the open device has no counts
    /// per revolution, as "Custom" has until its settings are applied with its
    /// index selected or SetCountsPerRevolution() gives them ("Counts per
    /// revolution have not been set.", CountsPerRevolutionNotSet; the delays,
    /// the speed and the "Custom" settings are applied even so). For "Custom"
    /// the view's counts per revolution replace the open device's only when
    /// they are a positive number: a view left empty keeps the counts the host
    /// set with SetCountsPerRevolution().
    bool complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                float** angles) override;
    /// The last step of a plan: the current position becomes the start, and the
    /// motor holds the table between the moves of the sequence.
    void complete360ProductPhotographyWillStart();
    /// Takes the settings the view holds over into the controller without
    /// touching the sequence, the origin or the sequence's motor hold. Does
    /// nothing while a shoot runs or a move runs (the reason in lastError():
    /// "A 360 product photography shoot is running. Let it end or stop it
    /// first.", ShootRunning, or "The turntable is turning. Stop it first.",
    /// TurntableTurning), nor without a settings view or an open device.
    void saveUISettingsInternalUse();
    /// Takes the settings of `plan` over into the controller without planning
    /// a shoot, as saveUISettingsInternalUse() takes the view's: the delays,
    /// the speed, the motor and shutter settings and, for the open model
    /// "Custom", the counts per revolution and line levels where the plan
    /// gives them; so that a preview turns as the plan would. The captures are
    /// not read; the sequence, the origin and the sequence's motor hold stay.
    /// \return true when taken. False, with the reason in lastError() and
    /// nothing changed: without an open device ("Open the turntable before
    /// planning a shoot.", DeviceNotOpen), while a shoot runs ("A 360 product
    /// photography shoot is running. Let it end or stop it first.",
    /// ShootRunning) or while a move runs ("The turntable is turning. Stop it
    /// first.", TurntableTurning).
    bool applyShootSettings(const LxShootPlan& plan);
    /// Whether a 360-degree shoot runs: it has been planned with captures and
    /// the call after its last capture has not come (nor the base
    /// LxTurntableHardware::stopsSpinning()). The settings view's preview and
    /// import wait until it has ended.
    bool isShootRunning() const;

    /// The settings view: a Qt Quick item made from
    /// "qrc:/qml/LxTurntableUIFrameView.qml" with the settings file
    /// "KalveraTurntable.json" loaded into it. The QML file is the SDK's own
    /// view when the host links the target KalveraTurntableSDK::SettingsView
    /// (KalveraTurntableSDKQt6::SettingsView on Qt 6), or one the host
    /// supplies in its resources. The host owns the item and calls
    /// pluginUIFrameViewWillClose() before it goes; a view it left open is
    /// released here, without saving its settings.
    ///
    /// A view made while a model is open hears that model from the event loop
    /// afterwards, as updateDeviceSettingsUI() sends it after an open.
    ///
    /// A settings file that cannot be opened, does not parse or holds no JSON
    /// object is moved aside to "KalveraTurntable.json.unreadable" (or
    /// ".unreadable.2" and on: an earlier kept file is never replaced), and the
    /// view starts from its own defaults. lastError() and a warning in the log
    /// (category "kalvera.turntable.settings") name the kept file; when the
    /// file cannot be moved, they say so, and the file is left as it is and
    /// not written over at the close (SettingsFileUnreadable either way). A
    /// file that reads well sets no last error.
    /// \return the item; null when the host's resources have no view (it linked
    /// the library alone: "The settings view
    /// qrc:/qml/LxTurntableUIFrameView.qml is not in the application: link the
    /// target KalveraTurntableSDK::SettingsView ..." (on Qt 6
    /// KalveraTurntableSDKQt6::SettingsView), SettingsViewMissing, also
    /// in the log category "kalvera.turntable.settings"), null when the view it
    /// has cannot be created, and on another thread than the controller's or
    /// inside a turntable notice ("Make the settings view on the thread that
    /// opened the turntable.", WrongThread).
    QQuickItem* createPluginUIFrameView() override;
    /// Saves the view's settings to the settings file and releases the view's
    /// objects (not the item). `view` is the item createPluginUIFrameView()
    /// returned; the host may have disposed of it already, which leaves the
    /// settings file as it was. The item's QML context goes with the view's
    /// objects: the host disposes of the item next and uses it no more.
    ///
    /// The file is replaced atomically; where the data directory takes no new
    /// file, it is written in place. A view that gives no settings map leaves
    /// the file as it was. Settings that could not be saved, and a file left
    /// in place because it could not be read, are reported through lastError()
    /// (SettingsNotSaved) and a warning in the log, naming the file; a save
    /// that worked sets no last error.
    /// \return true, also when nothing could be saved.
    bool pluginUIFrameViewWillClose(QQuickItem* view) override;

    /// Sets the number of 360-degree turns of a shoot; stored as given. The
    /// SDK only stores it for the host, which reads it back: no plan or move
    /// reads it.
    void setComplete360TurnsCount(unsigned short count);
    /// The number of 360-degree turns of a shoot, as last set (0 until then).
    unsigned short complete360TurnsCount() const;
    /// Sets the capture delays in seconds: `preDelay` from the end of a move
    /// to the turntable notice, `postDelay` from a capture step to its move.
    /// Stored as given; a negative delay counts as none. A plan replaces both.
    void setDelaySeconds(float preDelay, float postDelay);
    /// Writes the delays in seconds through both pointers, which must be valid.
    void delaySeconds(float* preDelay, float* postDelay) const;
    /// The pre-capture delay in seconds (-1 until set).
    float preDelaySeconds() const;
    /// The post-capture delay in seconds (-1 until set).
    float postDelaySeconds() const;
    /// Sets whether a shoot uses the custom angles list; a custom-angle plan
    /// sets it, only this clears it. The SDK only keeps it for the host, which
    /// reads it back: the plan takes its mode from the view's settings.
    void setUsingCustomAngles(bool enable);
    /// Whether a shoot uses the custom angles list.
    bool isUsingCustomAngles() const;
    /// Sets the index-reshoot mode of a shoot; stored as given. The SDK only
    /// stores it for the host, which reads it back: no plan or move reads it.
    void setUsingIndexReshoot(bool enable);
    /// Whether the index-reshoot mode is on, as last set (false until then).
    bool isUsingIndexReshoot() const;

    /// The next capture of a sequence: counts it, fires the camera through the
    /// turntable when the shoot asks for it, and after the post-capture delay
    /// turns the table to `angle` degrees from the start (positive clockwise),
    /// the position of the NEXT capture: call k of N passes capture k + 1's
    /// position, call N passes 360, call N + 1 returns false (the sequence in
    /// LxTurntableHardware). When the move has ended and the pre-capture delay
    /// has passed, the host gets turntableRotationStopped (on the rotation
    /// thread). A step that turns nothing is reported the same way, on a
    /// rotation thread too. Needs a running Qt event loop in the controller's
    /// thread; inside a notice the step is handed to it.
    ///
    /// A first call of a shoot that passes 0, where the table stands already,
    /// is a host's mistake: it is carried out (a step that turns nothing) and
    /// warned of in the log category "kalvera.turntable.shoot".
    ///
    /// Firing the camera blocks the caller: with the shoot's "fire the camera
    /// through the turntable" setting on, each call that counts a capture
    /// returns only after the shutter pulse, about 1 s (500 ms of focus, then
    /// 500 ms of release). A host whose GUI runs on the thread it calls from
    /// sees the GUI stand still that long at each capture; with the setting
    /// off, or a host that fires its own camera, the call returns at once. The
    /// DC table ("Standard") has no shutter output and does not block.
    /// \return true while the sequence runs. The call after the last capture
    /// returns false, with lastError() "360 product photography completed."
    /// (SequenceCompleted),
    /// ends the sequence and turns the table back to the start (from the
    /// controller's thread) unless the last target was a whole turn or the
    /// table stands at the start already (within half a count).
    bool rotateDeviceToAngle(float angle) override;
    /// Starts the post-capture timer of `seconds` after which
    /// rotateDeviceDelayed() runs; a negative delay counts as none.
    void delayRotatingDevice(float seconds);
    /// Starts the move to the pending target; nothing while a move runs or
    /// without a device.
    void rotateDeviceDelayed();
    /// Fires the camera shutter now: focus, then release, about 1 s in all.
    /// \return false without a device, on the DC table (no shutter output) or
    /// while a move runs.
    bool shutterReleaseCameraHardware();

    /// The end of every move, called on the motor driver's rotation thread
    /// through the handler the controller gives the driver at the open:
    /// refreshes the view and, during a sequence, sleeps the pre-capture delay
    /// and fires turntableRotationStopped. A move that ended because the chip
    /// stopped answering (unplugged) fires no turntableRotationStopped: it sets
    /// the last error ("The turntable does not answer. Check its USB
    /// connection and open it again.", ChipLost), and on this controller's
    /// thread the shoot ends, the device is closed and the host gets
    /// hardwareDisconnected(model).
    void turntableRotationStoppedHelper();
    /// Sends the settings view, queued, the model index and its device settings:
    /// the saved "Custom" settings for 0, the driver's counts per revolution and
    /// polarities for another model, and none for -1 (a move has ended). Does
    /// nothing without a view. From another thread (the rotation thread) the
    /// whole refresh is handed over to this controller's thread.
    void updateDeviceSettingsUI(int modelIndex);

private:
    // What other threads hand to the controller's thread.
    void receiveCall(int call);
    // What refuses a plan before it is read: no device, or a busy table.
    bool refusePlanNow();
    // The plan of a shoot for model `model`, from the view (with its
    // "Custom" settings, which it keeps) or from code. A null `angles` plans
    // no capture angles.
    bool applyShootPlan(const LxShootPlan& plan, unsigned long model,
                        const QVariantMap* viewAdvancedSettings, unsigned short* imagesCount,
                        float** angles);
    // closeDevice() on the calling thread.
    void closeNow();
    // Tells the log what the open found of the chip's bit-bang clock.
    void logByteClock() const;
    // The move back to the start after the last capture.
    void returnToStart();
    // The post-capture timer of a step of the open device.
    void startStepTimer(int ms);
    // After a move ended on a chip that no longer answers: ends the shoot,
    // closes the device and tells the host hardwareDisconnected(model).
    void releaseLostDevice();

    std::unique_ptr<LxFTDIController> motorDriver;
    mutable int deviceIndex = -1;
    std::unique_ptr<TurntableControlPrivate> d;
};

#endif
