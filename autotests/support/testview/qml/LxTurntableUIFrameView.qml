// The settings view the tests stand in for the host's: it provides the three
// functions the plug-in calls, uses the four context properties, and records
// what it was called with for the tests to read back.
import QtQuick 2.0

Item {
    id: root

    // What saveSettings() returns; a test replaces it (also with no map).
    property var settingsToSave: ({
        "useCustomAngles": false,
        "framesCountText": "36",
        "captureDelaySeconds": [0, 0],
        "rotationSpeed": 10,
        "isLockTableWhenIdle": false,
        "triggerShutterRelease": false,
        "customTurntableAdvancedSettings": {
            "stepsPerRevolutionText": "72",
            "isClockwiseActiveHigh": true,
            "isMotorEnableActiveHigh": true
        }
    })

    // The calls of loadSettings() and updateDeviceSettingsUI(), in call
    // order. Like every property here, readable only until the view closes.
    property var loadCalls: []
    property var deviceUpdates: []
    // saveSettings() is called at the close, after which nothing of the view
    // can be read: it is told by a signal.
    signal settingsSaved(var turntableIndex)

    // The context properties present when the item was completed and when
    // loadSettings() ran.
    property var propertiesAtCreation: []
    property var propertiesAtLoad: []
    // The custom angles model's row count each time it was published before
    // the control object was: adding a context property re-evaluates every
    // binding, so later evaluations tell nothing.
    property var anglesModelPublications: []
    property var anglesModel: noteAnglesModel(KalveraTurntableCustomAnglesModel)

    readonly property int framesCountRows: framesCounts.count
    readonly property int standardDeviceRows: standardDevices.count
    readonly property int customAngleRows: customAngles.count

    Repeater {
        id: framesCounts
        model: KalveraTurntableFramesCountModel
        Item {}
    }
    Repeater {
        id: standardDevices
        model: KalveraTurntableStandardDevicesModel
        Item {}
    }
    Repeater {
        id: customAngles
        model: KalveraTurntableCustomAnglesModel
        Item {}
    }

    function contextProperties() {
        var present = [];
        if (typeof KalveraTurntableFramesCountModel !== "undefined")
            present.push("KalveraTurntableFramesCountModel");
        if (typeof KalveraTurntableCustomAnglesModel !== "undefined")
            present.push("KalveraTurntableCustomAnglesModel");
        if (typeof KalveraTurntableStandardDevicesModel !== "undefined")
            present.push("KalveraTurntableStandardDevicesModel");
        if (typeof KalveraTurntableQmlControl !== "undefined")
            present.push("KalveraTurntableQmlControl");
        return present;
    }

    function noteAnglesModel(model) {
        if (model && typeof KalveraTurntableQmlControl === "undefined")
            anglesModelPublications.push(model.rowCount());
        return model;
    }

    function describe(value) {
        if (value === undefined)
            return "undefined";
        if (value === null)
            return "null";
        return Array.isArray(value) ? "array" : typeof value;
    }

    function loadSettings(settings) {
        propertiesAtLoad = contextProperties();
        loadCalls.push({"type": describe(settings), "value": settings === undefined ? null : settings});
    }

    function saveSettings(turntableIndex) {
        settingsSaved(turntableIndex);
        return settingsToSave;
    }

    function updateDeviceSettingsUI(modelIndex, deviceSettings) {
        deviceUpdates.push({
            "modelIndex": modelIndex,
            "type": describe(deviceSettings),
            "settings": deviceSettings === undefined ? null : deviceSettings
        });
    }

    // What the view's controls do.
    function appendAngle(text) { KalveraTurntableCustomAnglesModel.appendCustomAngle(text); }
    function removeAngle(row) { KalveraTurntableCustomAnglesModel.removeCustomAngle(row); }
    function clearAngles() { KalveraTurntableCustomAnglesModel.clearCustomAngles(); }
    function startPreview(degrees, counterclockwise) {
        return KalveraTurntableQmlControl.startRotationPreview(degrees, counterclockwise);
    }
    function stopPreview() { return KalveraTurntableQmlControl.stopRotationPreview(); }
    function importStandardSettings(modelIndex) {
        KalveraTurntableQmlControl.customTurntableImportStandardSettings(modelIndex);
    }

    Component.onCompleted: propertiesAtCreation = contextProperties()
}
