#ifndef LXQMLTURNTABLECONTROL_H
#define LXQMLTURNTABLECONTROL_H

#include <QObject>

#include <functional>

class LxKalveraTurntableControl;

// What the settings view commands on the turntable, published to QML as
// "KalveraTurntableQmlControl". Its parent is the view's root item, which also
// receives the settings that an import sends. It does not own the controller,
// and may outlive it: a controller destroyed on another thread hands the view
// to its own thread to go later, and until then every command does nothing
// and returns false. Use it on the view's thread.
class LxQmlTurntableControl : public QObject {
    Q_OBJECT

public:
    // Drives `control` through `gateKeeper`, which runs a call only while the
    // controller lives; `parent` is the view's root item (may be null when the
    // view has none).
    LxQmlTurntableControl(LxKalveraTurntableControl* control,
                          std::function<bool(const std::function<void()>&)> gateKeeper,
                          QObject* parent);

    // Takes the view's settings over into the controller, then starts a move
    // of `degrees` (negative: the other way; 0: continuous until
    // stopRotationPreview()) clockwise or, with `isCounterclockwise`,
    // counterclockwise, and returns without waiting for it. False, with
    // nothing done, when no device is open, or while a shoot runs or a move
    // runs (the reason in the controller's last error); false when the move
    // does not start.
    Q_INVOKABLE bool startRotationPreview(int degrees, bool isCounterclockwise);
    // Stops the running move and waits for its end. False, with nothing done,
    // while a shoot runs (the reason in the controller's last error).
    Q_INVOKABLE bool stopRotationPreview();
    // Sends the view, as settings of the "Custom" model (index 0), the counts
    // per revolution and clockwise polarity of model `predefinedIndex` (a model
    // index, not a row of the standard devices list) with the motor enable
    // active high. The device is briefly opened as that model and left open
    // as "Custom". Open failures give 0 counts and a false polarity; nothing
    // is reported. While a shoot runs or a move runs, nothing is done and
    // nothing sent; the reason goes to the controller's last error.
    Q_INVOKABLE void customTurntableImportStandardSettings(int predefinedIndex);
    // Fires the camera shutter release; false without a device, on a table
    // without a shutter line, and while a shoot runs (the reason in the
    // controller's last error).
    Q_INVOKABLE bool triggerShutterRelease();
    // Whether a 360-degree shoot runs, during which the preview, its stop, the
    // shutter test and the import are refused. The host starts and ends shoots without telling the
    // view: a view that disables those controls asks again from time to time.
    Q_INVOKABLE bool isShootRunning() const;

private:
    // `call` with the controller, while it lives; false, with nothing done,
    // once it is gone or when `call` gives false.
    bool whileControllerLives(const std::function<bool(LxKalveraTurntableControl&)>& call) const;

    LxKalveraTurntableControl* control;
    std::function<bool(const std::function<void()>&)> gateKeeper;
};

#endif
