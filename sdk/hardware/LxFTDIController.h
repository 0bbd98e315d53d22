#ifndef LXFTDICONTROLLER_H
#define LXFTDICONTROLLER_H

#include "KalveraTurntableSDKGlobal.h"
#include "LxByteClockReading.h"
#include "LxChipOpenResult.h"
#include "LxTurntableChip.h"
#include "RotationThreadState.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Base of the two motor drivers. It owns the D2XX handle of the turntable's
// FT245R chip, whose eight data pins the drivers drive in asynchronous
// bit-bang mode, the byte composed for those pins, the rotation thread, and the
// rotation bookkeeping: counts per revolution, the next move in counts and
// direction, and the table's angular position in degrees.
//
// The caller's thread configures the driver and starts and stops moves; during
// a move the rotation thread is the only user of the chip. Settings and
// bookkeeping are changed only while no rotation runs.
class LX_SDK_AUTOTEST_EXPORT LxFTDIController {
public:
    enum ENUM_ERROR {
        FTDI_NO_ERROR = 0,
        FTDI_READ_ERROR = 1,
        FTDI_WRITE_ERROR = 2,
        FTDI_INITIALIZE_ERROR = 3,
        FTDI_DEVICE_NOT_OPENED = 4,
        FTDI_DIRECTION_ERROR = 7,
        FTDI_COUNTS_PER_REVOLUTION_NOT_SET = 8
    };

    enum { DIRECTION_CLOCKWISE = 1, DIRECTION_COUNTERCLOCKWISE = 2 };

    static constexpr double DEGREES_PER_REVOLUTION = 360.0;

    // The chip's baud rate for writes of one edge each, set by openDevice():
    // its bit-bang clock then puts a byte on the pins 62.5 ns after it came.
    static constexpr unsigned long EDGE_BY_EDGE_BAUD_RATE = 1000000;

    // How long every transfer with the chip may fail before a move gives the
    // chip up as lost (unplugged or dead) and ends.
    static constexpr std::chrono::milliseconds CHIP_LOST_AFTER{2000};
    // How long a move asked to stop still sends to a chip that refuses its
    // writes, so that a stop returns well within CHIP_LOST_AFTER.
    static constexpr std::chrono::milliseconds STOP_WRITES_FOR{200};

    // The slowest step time taken: a thousand times the settings view's
    // slowest, slow enough to watch single steps, and a counted move that
    // still ends (a mistyped -1 would otherwise hold each step for weeks).
    static constexpr unsigned int MAXIMUM_STEP_TIME_MS = 10000;

    LxFTDIController();
    // Stops and joins a running rotation and closes the device.
    virtual ~LxFTDIController();
    LxFTDIController(const LxFTDIController&) = delete;
    LxFTDIController& operator=(const LxFTDIController&) = delete;

    // Opens the D2XX device at list index `index` at 1000000 baud with a 2 ms
    // latency timer, puts the chip into asynchronous bit-bang mode with the
    // driver's pinDirections() (through the reset mode, 10 ms apart), purges
    // both its buffers and writes the driver's opening pins. On failure no
    // handle is kept: NoDeviceFound for index -1 (no D2XX call is made), or
    // UsbFailure with the status of the D2XX call that failed; a set-up call
    // that fails closes the handle again.
    LxChipOpenResult openDevice(int index);
    // Fires the camera shutter release, if the turntable has one.
    virtual bool triggerShutterRelease() = 0;
    // Prepares the output pins for the next move; false refuses the move.
    virtual bool Initialize() = 0;
    // Starts a rotation thread that runs the planned move (runMove()).
    bool StartRotationThread();

    // The D2XX list index of the first device not open in any process whose
    // description contains `searchText` (byte-wise, case-sensitive); -1 if none.
    // `serialNumber`, when not null, receives that device's serial number
    // (empty if none was found).
    static int availableDeviceIndex(const char* searchText, std::string* serialNumber = nullptr);
    // Whether a chip that could be the turntable's is attached but cannot be
    // had: listed as open (by another program, or another controller) with
    // `searchText` in its description, or an FT245R listed without its
    // strings, as a library lists a device it may not open.
    static bool isUnopenableChipAttached(const char* searchText);
    // Every device of the D2XX list in list order, each with whether a search
    // for `searchText` takes it for a turntable's chip and whether it can be
    // had; none when the list cannot be made.
    static std::vector<LxTurntableChip> attachedChips(const char* searchText);
    // Opens as openDevice() does the device that availableDeviceIndex() found
    // at `index` for `searchText` with `serialNumber` while it is free,
    // wherever the list has it now. When it is listed at `index` as open (taken
    // since the search, by another controller or program), opens the first
    // free device whose description contains `searchText` instead; with none,
    // the taken one is left to FT_Open, which refuses it. When the device
    // found is gone and another, or none, is listed at `index`: ChipChanged,
    // with no D2XX device opened, since the pins of another chip must not be
    // driven. The choice and the open are one step among this process's
    // controllers.
    LxChipOpenResult openFoundDevice(int index, const char* searchText,
                                     const std::string& serialNumber);

    // A D2XX call of an open and the status it returned. `call` names the
    // function and, for one called for more than one purpose, what for.
    struct SetUpCall {
        const char* call;
        unsigned long status;
    };
    // The D2XX calls of the last open, from the first FT_Open on (the list
    // searches before it are not counted), in the order made, up to the call
    // that failed; a call repeated in a row with the same status is listed
    // once. The driver's own set-up (the opening pins, the timing of the
    // byte clock) is included. Empty when the open made no call to a chip.
    const std::vector<SetUpCall>& setUpCalls() const { return setUpLog; }

    // Stops and joins a running rotation, then closes the handle.
    void closeDevice();
    bool isDeviceOpened() const { return deviceHandle != nullptr; }

    // Sends `byte` to the output pins. Records FTDI_WRITE_ERROR unless exactly
    // one byte was written, else FTDI_NO_ERROR.
    void writeChipByte(unsigned char byte);
    // The pins' levels ANDed with `mask`; 0 when the read fails, which records
    // FTDI_READ_ERROR.
    unsigned char readChipByte(unsigned char mask);

    // (current AND NOT mask) OR (value AND mask).
    static unsigned char SetMaskBits(unsigned char current, unsigned char mask,
                                     unsigned char value);
    // Applies the above to the output register; nothing is sent to the chip.
    void SetMaskBits(unsigned char mask, unsigned char value);
    unsigned char outputRegisterValue() const { return outputRegister; }

    // Waits at least `ms` milliseconds on the monotonic clock; returns at once
    // for ms <= 0. The thread sleeps until WAKE_UP_MARGIN before the end and
    // busy-waits only that last stretch, so a wait costs a small part of a
    // processor and still ends within microseconds of its time, unless the
    // system keeps the thread from running then.
    static void Wait(int ms);
    // Wait() up to `deadline`; returns at once for a deadline passed.
    static void WaitUntil(std::chrono::steady_clock::time_point deadline);

    // How long before a deadline a waiting thread stops sleeping and
    // busy-waits. A timed sleep ends late by about a tenth of a millisecond,
    // by two tenths now and then on a loaded machine; later than that the
    // thread lost its processor, which busy-waiting would not have prevented.
    static constexpr std::chrono::microseconds WAKE_UP_MARGIN{500};

    // Stores `error` and returns false, so a failing operation can return it.
    bool SetFTDIError(ENUM_ERROR error);
    ENUM_ERROR lastFTDIError() const { return ftdiError; }

    // Starts the planned move in the background; the notice of the move
    // before, if still to come, still comes. False, with nothing started
    // and the plan dropped (a later call must not run a plan once refused),
    // when no device is open (FTDI_DEVICE_NOT_OPENED), a rotation is running,
    // no move is planned, Initialize() refuses (FTDI_INITIALIZE_ERROR), or the
    // call comes from one of this driver's rotation threads.
    bool startRotation();
    // Ends a move that turns nothing the way a move ends: on a rotation thread
    // of its own, which calls the move-ended handler. The position stays.
    // False, with nothing started, when startRotation() would refuse.
    bool startEmptyMove();
    // Asks the running rotation to end and waits until its thread has finished,
    // its call of the move-ended handler included: a step in progress is cut short,
    // so this takes milliseconds whatever the step time; an end-of-move
    // notice not yet given to the host is dropped. True also when nothing was
    // started; false when no device is open (FTDI_DEVICE_NOT_OPENED). It never
    // waits for a thread that is inside the host's notice, which may itself
    // be waiting for the caller: that thread is joined once it has left the
    // notice, or let go when the driver goes. Called from the rotation thread
    // itself, it lets the thread finish on its own. On a chip whose writes
    // fail the move still sends for STOP_WRITES_FOR, and a write under way
    // may hold it for its USB timeout: with the libftdi backend the wait
    // stays well under 2.5 s.
    bool stopRotation();
    bool IsTurntableRotating();
    // Whether the caller runs on one of this driver's rotation threads: at the
    // end of a move the move-ended handler, and through it the host, run there.
    bool isOnRotationThread() const;
    // Whether the caller runs on a rotation thread of any driver.
    static bool isOnAnyRotationThread();

    // For the move-ended handler, on the rotation thread; elsewhere
    // they wait plainly and always allow the notice. Sleeps `delay` before the
    // host's notice; false, at once, when the rotation is stopped meanwhile,
    // and the notice is dropped.
    static bool sleepBeforeNotice(std::chrono::milliseconds delay);
    // Marks the host's notice as begun: until it ends, nothing waits for this
    // thread. False when the notice has been dropped; otherwise `begin` has
    // run under the same lock, so that whoever drops notices either sees what
    // it did or keeps it from running.
    static bool beginHostNotice(const std::function<void()>& begin);
    // Marks the host's notice as over; the thread touches nothing of the
    // driver or the handler's owner afterwards.
    static void endHostNotice();
    // Whether the last move ended because the chip stopped answering (it was
    // unplugged or died): its position and the device are no longer to be
    // trusted. Read it once that move has ended: after IsTurntableRotating()
    // returned false or stopRotation() returned, or on the rotation thread.
    bool hasLostChip() const { return chipLost; }
    // The step pulses of the last stepper move that reached the pins (for a
    // move that lost its chip, those sent to it); read it once that move has
    // ended, as hasLostChip().
    int StepsTakenInLastMove() const { return stepsTaken; }
    // The same for the move whose end the calling rotation thread reports: a
    // newer move of the driver may already run. False on other threads.
    static bool hasThisRotationLostChip();

    // What the rotation thread calls at the end of every move, after the
    // position is set and the running flag cleared. Set it while no rotation
    // runs. The driver may be closed or destroyed inside the call.
    void setMoveEndedHandler(std::function<void()> handler) { moveEnded = std::move(handler); }
    // What the driver tells of every change of the table's position, in
    // degrees as GlobalPositionInDegrees(): on the rotation thread during a
    // move, at least once per step (per block of a chip-clocked train, per
    // counter chunk of the DC table), and at its end; on the caller's thread
    // when the origin moves. Set it while no rotation runs.
    void setPositionHandler(std::function<void(double)> handler) {
        positionChanged = std::move(handler);
    }

    // Motor settings.
    void SetCountsPerRevolution(unsigned int counts) { countsPerRevolution = counts; }
    unsigned int CountsPerRevolution() const { return countsPerRevolution; }
    void SetClockwiseActiveHigh(bool activeHigh) { clockwiseActiveHigh = activeHigh; }
    bool isClockwiseActiveHigh() const { return clockwiseActiveHigh; }
    void SetMotorEnableActiveHigh(bool activeHigh) { motorEnableActiveHigh = activeHigh; }
    bool isMotorEnableActiveHigh() const { return motorEnableActiveHigh; }
    void SetLockMotorWhenIdle(bool lock) { lockMotorWhenIdle = lock; }
    bool isLockMotorWhenIdle() const { return lockMotorWhenIdle; }
    // The stepper's step time in milliseconds; larger is slower. A longer one
    // is taken as MAXIMUM_STEP_TIME_MS, which RotationSpeed() then reports.
    void SetRotationSpeed(unsigned int speed) {
        rotationSpeed = speed < MAXIMUM_STEP_TIME_MS ? speed : MAXIMUM_STEP_TIME_MS;
    }
    unsigned int RotationSpeed() const { return rotationSpeed; }
    // Whether a stepper move is written as a chip-clocked step train: the
    // pulses go to the chip as blocks of bytes that the chip's own bit-bang
    // clock puts on the pins, so every edge comes out on time whatever the
    // USB does, at almost no processor time. Off, each edge is a write of its
    // own, timed by this process. Off until set (the controller sets it at
    // every open, on unless the host chose per-edge writes); taken when a
    // move starts, and only on a chip whose clock the open measured
    // (byteClock()): on another, moves are per-edge writes whatever the
    // choice. The DC driver has no step train and ignores it.
    void SetChipClockedStepTrains(bool on) { chipClockedStepTrains = on; }
    bool isChipClockedStepTrains() const { return chipClockedStepTrains; }
    // Whether the next move runs as a chip-clocked step train: chosen, and
    // the chip's clock known.
    bool runsChipClockedStepTrains() const {
        return chipClockedStepTrains && byteClockReading.factor != 0;
    }
    // What the chip's bit-bang clock showed at the last open: the stepper
    // driver times it at every open (at most 100 ms); the DC driver has no
    // use for it and leaves it empty.
    const LxByteClockReading& byteClock() const { return byteClockReading; }

    // Rotation bookkeeping. A clockwise move decreases the global position;
    // positions are reduced modulo 360 and keep their sign.
    void SetRotationClockwise() { rotationDirection = DIRECTION_CLOCKWISE; }
    void SetRotationCounterClockwise() { rotationDirection = DIRECTION_COUNTERCLOCKWISE; }
    bool isRotationClockwise() const { return rotationDirection == DIRECTION_CLOCKWISE; }
    int RotationDirection() const { return rotationDirection; }
    // The current position becomes 0; the planned position is kept.
    void SetRotationGlobalOriginHere();
    double GlobalPositionInDegrees() const { return globalPositionInDegrees; }
    double NextGlobalPositionInDegrees() const { return nextGlobalPositionInDegrees; }
    int RotationIncrementInCounts() const { return rotationIncrementInCounts; }
    // Whether startRotation() has a move to run (a counted or a continuous one).
    bool isMovePlanned() const { return plannedMove != PlannedMove::None; }
    // Whether the table stands at `degrees` (modulo 360) to within half a
    // count, so that no whole count would move it nearer; exactly, while
    // counts per revolution are 0.
    bool isAtGlobalPosition(double degrees) const;

    double GetRotationIncrementInDegrees() const;
    // Plans a move of `counts` counts; a negative count flips the direction
    // first. 0 plans a continuous rotation, which needs no counts per
    // revolution: without them it ends where it started, for want of an angle
    // per step. Returns the counts planned (never negative), or 0 with
    // FTDI_COUNTS_PER_REVOLUTION_NOT_SET and no move planned for a counted
    // move while counts per revolution are 0.
    int SetRotationIncrementInCounts(int counts);
    // Plans a move of `degrees` rounded half up to whole counts; a negative
    // angle flips the direction first. Returns the angle of the counts planned.
    // An angle that rounds to no count (or counts per revolution of 0) plans no
    // move and returns 0.0.
    double SetRotationIncrementInDegrees(double degrees);
    // Plans a move in the current direction that ends on `degrees` (modulo 360):
    // the angle above 0 and up to 360 that lands there, so a target on the
    // current position is a full turn. Returns the angle planned.
    double SetRotationNextGlobalPositionInDegrees(double degrees);

protected:
    // The driver's pin directions in bit-bang mode (1 = output).
    virtual unsigned char pinDirections() const = 0;
    // Puts the pins as the driver leaves them after an open, which succeeds
    // even when these writes fail: outside a move a dead chip must not hold
    // the caller.
    virtual void writeOpeningPins() = 0;
    // Learns what the driver needs of the chip once its opening pins are
    // written; nothing by default. An open succeeds whatever it finds.
    virtual void probeChip() {}
    // Puts the pins as the driver leaves them for good, before a close of a
    // chip that still answers and after the last move has been joined: the
    // chip keeps that byte after the program has gone. Nothing by default.
    virtual void writeClosingPins() {}
    // Times the chip's bit-bang clock with silent bytes of `silentByte` (the
    // pins keep their levels) at a known baud rate, within 100 ms, then sets
    // the open's EDGE_BY_EDGE_BAUD_RATE again.
    LxByteClockReading measureByteClock(unsigned char silentByte);
    // The planned move, on its rotation thread; it ends with finishRotation().
    // As it runs on another thread, every driver's destructor calls
    // closeDevice() first, which joins that thread while the driver's own
    // members still exist.
    virtual void runMove() = 0;

    // For the drivers' rotation threads: whether their rotation should go on;
    // true on any other thread.
    bool isRotationRunning();
    // For the drivers' rotation threads: WaitUntil(deadline), unless the
    // rotation is asked to end first; then false, at the earliest 1 ms after
    // the call (a step pulse cut short must still be seen), and as soon as
    // the thread is woken after that. A wait that ends within that first
    // millisecond is not cut.
    bool WaitUnlessStoppedUntil(std::chrono::steady_clock::time_point deadline);
    // The end of every move: the position becomes the planned one, the running
    // flag is cleared, then the move-ended handler is called (on the rotation
    // thread). The thread touches nothing of the driver after this call.
    void finishRotation();
    // True once every chip transfer, or every pin read, has failed for
    // CHIP_LOST_AFTER.
    bool isChipLost() const;
    // On a rotation thread whose writes are failing: whether to stop sending,
    // because the chip is lost, or the rotation is asked to end and the
    // writes have failed for STOP_WRITES_FOR. False while writes succeed.
    bool shouldGiveUpWriting();
    // Between two tries of a write the chip refused.
    static void retryPause();
    // Sends `byte` again (1 ms apart) until the pins take it, so that a write
    // failing now and then costs no edge of a pulse; false, with the byte not
    // sent, once the chip is lost or, after a failed write, once the rotation
    // is asked to end. `edgeAt`, when not null, receives the time the next
    // phase of a pulse train is measured from: the pins have the byte by then.
    // For rotation threads only.
    bool writeUntilTaken(unsigned char byte,
                         std::chrono::steady_clock::time_point* edgeAt = nullptr);
    // Sends `count` bytes to the chip as one stream: what a write did not take
    // is sent again (1 ms later) from the first byte it did not take. The
    // bytes taken: fewer than `count` when it gave up as writeUntilTaken()
    // does. For rotation threads only.
    std::size_t writeBytesUntilTaken(const unsigned char* bytes, std::size_t count);
    // Sets the chip's baud rate, which paces its bit-bang output, unless the
    // chip has it already; false, with FTDI_WRITE_ERROR, when the chip refuses.
    bool setChipBaudRate(unsigned long baudRate);
    // The move ends `steps` counts from where it started, in its direction:
    // a stopped move whose steps are known lands where they took the table.
    // Without counts per revolution it ends where it started.
    void planPositionAfterSteps(int steps);
    // For rotation threads: the table stands `steps` counts from where the
    // move started, in its direction; the position handler hears of it.
    void publishStepsTaken(int steps);
    // Ends the current rotation; `dropNotice` also drops its notice if the
    // host has not been given it yet (a stop, a close).
    void stopAndJoinRotation(bool dropNotice);

    void* deviceHandle = nullptr;
    unsigned char outputRegister = 0;
    ENUM_ERROR ftdiError = FTDI_NO_ERROR;
    int rotationDirection = DIRECTION_CLOCKWISE;
    bool clockwiseActiveHigh = true;
    bool motorEnableActiveHigh = true;
    bool auxiliaryOutputHigh = true;
    unsigned int countsPerRevolution = 0;
    int rotationIncrementInCounts = 0;
    double globalPositionInDegrees = 0.0;
    double nextGlobalPositionInDegrees = 0.0;
    unsigned int rotationSpeed = 0;
    bool lockMotorWhenIdle = true;
    bool chipClockedStepTrains = false;
    // The baud rate the chip was last set to; 0 when not known.
    unsigned long chipBaudRate = 0;
    LxByteClockReading byteClockReading;
    // Written by the rotation thread before it clears its running flag.
    int stepsTaken = 0;
    // The rotation started last; the pointer is read and replaced under asyncMutex.
    std::shared_ptr<RotationThreadState> rotationState;

private:
    enum class PlannedMove { None, Counted, Continuous };

    // Notes `status` of `call` in setUpLog while an open runs; returns it.
    unsigned long noteSetUpCall(const char* call, unsigned long status);
    // Sets recordingSetUp for the life of the object, the log emptied first.
    class SetUpRecording;

    // The rest of an open after FT_Open returned `openStatus` with `handle`.
    LxChipOpenResult setUpOpenedChip(unsigned long openStatus, void* handle);

    // Joins the ended rotations whose threads end by themselves; one in the
    // host's notice, or with a notice still to come, is joined later. When
    // the driver goes, notices still to come are dropped and the threads in
    // one are let go: they touch nothing of the driver any more.
    void joinEndedRotations(bool driverGoes);
    // Creates the rotation record and runs `move` on a thread of its own.
    bool launchRotationThread(void (LxFTDIController::*move)());
    // The move of startEmptyMove(): nothing turns, the position stays.
    void runEmptyMove();
    // The chip into asynchronous bit-bang mode with pinDirections(), through
    // the reset mode, and both its buffers purged; FT_OK or the status of the
    // call that failed.
    unsigned long enterBitBangMode();

    // Writes the first `count` of `bytes` (which keep the pins as they are)
    // as one FT_Write; whether the chip took them all.
    bool writeSilentBytes(std::vector<unsigned char>& bytes, std::size_t count);
    // measureByteClock()'s timing, at the baud rate it set, done by `deadline`.
    LxByteClockReading timeByteClock(unsigned char silentByte,
                                     std::chrono::steady_clock::time_point deadline);
    void planPositionAfterIncrement();
    void flipDirection();
    // What one step of the planned move turns, in degrees, negative
    // clockwise; 0 without counts per revolution.
    double degreesPerStepInDirection() const;
    void publishPosition(double degrees) const;
    void noteTransfer(bool succeeded);

    // Nothing runs until a move is asked for.
    PlannedMove plannedMove = PlannedMove::None;
    // Start of the current run of failed transfers; empty while the chip answers.
    std::chrono::steady_clock::time_point firstFailedTransfer{};
    bool transfersFailing = false;
    // The same for pin reads alone: a cable whose reads fail while its writes
    // go through loses the chip as surely, and the writes between the reads
    // must not hide it.
    std::chrono::steady_clock::time_point firstFailedRead{};
    bool readsFailing = false;
    // Written by the rotation thread before it clears its running flag.
    bool chipLost = false;
    // Ended rotations not joined yet; the list is changed under asyncMutex.
    std::vector<std::shared_ptr<RotationThreadState>> endedRotations;
    std::function<void()> moveEnded;
    // Set only during an open, before any rotation thread of the chip exists.
    bool recordingSetUp = false;
    std::vector<SetUpCall> setUpLog;
    std::function<void(double)> positionChanged;
};

#endif
