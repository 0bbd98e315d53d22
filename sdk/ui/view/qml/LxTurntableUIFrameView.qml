// The turntable plug-in's settings view, which a host takes by linking the
// SDK's SettingsView target. The plug-in creates it in a context of its own
// with four context properties, fills it through loadSettings(), reads it
// through saveSettings() and keeps the open model's motor settings in step
// through updateDeviceSettingsUI().
//
// It is drawn by the host's Qt Quick Controls style: no colour or font of its
// own. Its texts go through qsTr (context "LxTurntableUIFrameView") for the
// host's translations, and every control takes the keyboard focus in turn
// with Tab.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

Item {
    id: root
    objectName: "turntableSettingsView"

    width: parent ? parent.width : implicitWidth
    height: implicitHeight
    implicitWidth: 460
    implicitHeight: sections.implicitHeight

    // The plug-in publishes its control object only after loadSettings().
    readonly property var turntableControl: typeof KalveraTurntableQmlControl === "undefined"
                                            ? null : KalveraTurntableQmlControl
    // The open model as the plug-in last reported it; -1 before any report.
    property int deviceModel: -1
    property var deviceSettings: ({})
    property string previewResult: ""

    function loadSettings(settings) {
        if (!settings || typeof settings !== "object" || Array.isArray(settings))
            return;
        loadedSettings = settings;
        if (settings.useCustomAngles !== undefined)
            useCustomAngles.checked = settings.useCustomAngles === true;
        if (settings.framesCountText !== undefined)
            showFramesCount(String(settings.framesCountText));
        var delays = settings.captureDelaySeconds;
        if (Array.isArray(delays)) {
            if (delays.length > 0)
                preDelay.text = String(Number(delays[0]) || 0);
            if (delays.length > 1)
                postDelay.text = String(Number(delays[1]) || 0);
        }
        if (settings.rotationSpeed !== undefined)
            rotationSpeed.value = Number(settings.rotationSpeed);
        if (settings.isLockTableWhenIdle !== undefined)
            lockWhenIdle.checked = settings.isLockTableWhenIdle === true;
        if (settings.triggerShutterRelease !== undefined)
            shutterRelease.checked = settings.triggerShutterRelease === true;
        // Only a true boolean switches per-edge writes on, as the plug-in reads it.
        if (settings.isPerEdgeStepWrites !== undefined)
            perEdgeStepWrites.checked = settings.isPerEdgeStepWrites === true;
        if (settings.customTurntableAdvancedSettings)
            showCustomTurntable(settings.customTurntableAdvancedSettings);
    }

    // The settings as loaded: saving starts from a copy, so that keys this
    // view does not know, from another host or a later version, are kept.
    property var loadedSettings: ({})

    function saveSettings(turntableIndex) {
        var settings = JSON.parse(JSON.stringify(loadedSettings));
        // The plug-in adds the angles from its model; a list kept from the
        // file would bring back angles the user has removed.
        delete settings.CustomAnglesList;
        settings.useCustomAngles = useCustomAngles.checked;
        settings.framesCountText = framesCount.editText;
        settings.captureDelaySeconds = [Number(preDelay.text) || 0, Number(postDelay.text) || 0];
        settings.rotationSpeed = rotationSpeed.value;
        settings.isLockTableWhenIdle = lockWhenIdle.checked;
        settings.triggerShutterRelease = shutterRelease.checked;
        settings.isPerEdgeStepWrites = perEdgeStepWrites.checked;
        var advanced = settings.customTurntableAdvancedSettings;
        if (!advanced || typeof advanced !== "object" || Array.isArray(advanced))
            advanced = {};
        advanced.stepsPerRevolutionText = stepsPerRevolution.text;
        advanced.isClockwiseActiveHigh = clockwiseActiveHigh.checked;
        advanced.isMotorEnableActiveHigh = motorEnableActiveHigh.checked;
        settings.customTurntableAdvancedSettings = advanced;
        return settings;
    }

    // -1: a move has ended. 0: "Custom" with the user's saved settings (empty
    // until there are any) or an imported model's. Another model: its own.
    function updateDeviceSettingsUI(modelIndex, settings) {
        if (modelIndex < 0) {
            previewResult = "";
            return;
        }
        deviceModel = modelIndex;
        if (modelIndex === 0) {
            if (settings)
                showCustomTurntable(settings);
        } else {
            deviceSettings = settings || {};
        }
    }

    function showFramesCount(text) {
        var row = framesCount.find(text);
        if (row >= 0)
            framesCount.currentIndex = row;
        else
            framesCount.editText = text;
    }

    function showCustomTurntable(settings) {
        if (settings.stepsPerRevolutionText !== undefined)
            stepsPerRevolution.text = String(settings.stepsPerRevolutionText);
        if (settings.isClockwiseActiveHigh !== undefined)
            clockwiseActiveHigh.checked = settings.isClockwiseActiveHigh === true;
        if (settings.isMotorEnableActiveHigh !== undefined)
            motorEnableActiveHigh.checked = settings.isMotorEnableActiveHigh === true;
    }

    function preview(degrees) {
        var started = turntableControl.startRotationPreview(degrees, previewCounterclockwise.checked);
        previewResult = started ? qsTr("Turning.") : qsTr("No turntable open to turn.");
    }

    // The host starts and ends its shoots without telling this view; the
    // preview and the import, which the plug-in refuses meanwhile, are off.
    property bool shootRunning: false

    Timer {
        interval: 200
        repeat: true
        triggeredOnStart: true
        running: root.turntableControl !== null
        onTriggered: root.shootRunning = root.turntableControl.isShootRunning()
    }

    ColumnLayout {
        id: sections
        width: parent.width
        spacing: 8

        GroupBox {
            title: qsTr("Shoot")
            Layout.fillWidth: true
            GridLayout {
                anchors.fill: parent
                columns: 2
                Label { text: qsTr("Frames") }
                ComboBox {
                    id: framesCount
                    objectName: "framesCountBox"
                    Layout.fillWidth: true
                    editable: true
                    model: KalveraTurntableFramesCountModel
                    currentIndex: 4
                    validator: IntValidator { bottom: 1; top: 360 }
                }
                CheckBox {
                    id: useCustomAngles
                    objectName: "useCustomAnglesBox"
                    Layout.columnSpan: 2
                    text: qsTr("Shoot at custom angles instead")
                }
                Label { text: qsTr("Angles") }
                RowLayout {
                    Layout.fillWidth: true
                    TextField {
                        id: newAngle
                        objectName: "customAngleField"
                        Layout.fillWidth: true
                        placeholderText: qsTr("degrees, rising, up to 360")
                        validator: DoubleValidator { bottom: -360; top: 360 }
                        onAccepted: addAngle.clicked()
                    }
                    Button {
                        id: addAngle
                        objectName: "addAngleButton"
                        text: qsTr("Add")
                        onClicked: {
                            KalveraTurntableCustomAnglesModel.appendCustomAngle(newAngle.text);
                            newAngle.clear();
                        }
                    }
                    Button {
                        objectName: "clearAnglesButton"
                        text: qsTr("Clear")
                        onClicked: KalveraTurntableCustomAnglesModel.clearCustomAngles()
                    }
                }
                Item { width: 1; height: 1 }
                ListView {
                    id: customAngles
                    objectName: "customAnglesList"
                    Layout.fillWidth: true
                    // As tall as a button of the host's style: the angles are buttons.
                    implicitHeight: addAngle.implicitHeight
                    orientation: ListView.Horizontal
                    spacing: 4
                    clip: true
                    model: KalveraTurntableCustomAnglesModel
                    delegate: Button {
                        objectName: "removeAngleButton"
                        // The model's text: a button has a display property of its own.
                        text: model.display + "\u00B0  \u2715"
                        flat: true
                        onClicked: KalveraTurntableCustomAnglesModel.removeCustomAngle(index)
                    }
                    Label {
                        visible: customAngles.count === 0
                        anchors.verticalCenter: parent.verticalCenter
                        text: qsTr("No custom angles")
                        opacity: 0.6
                    }
                }
            }
        }

        GroupBox {
            title: qsTr("Timing and motion")
            Layout.fillWidth: true
            GridLayout {
                anchors.fill: parent
                columns: 2
                Label { text: qsTr("Before each capture (s)") }
                TextField {
                    id: preDelay
                    objectName: "preCaptureDelayField"
                    Layout.fillWidth: true
                    text: "0.5"
                    validator: DoubleValidator { bottom: 0; top: 3600 }
                }
                Label { text: qsTr("After each capture (s)") }
                TextField {
                    id: postDelay
                    objectName: "postCaptureDelayField"
                    Layout.fillWidth: true
                    text: "0.5"
                    validator: DoubleValidator { bottom: 0; top: 3600 }
                }
                Label { text: qsTr("Rotation speed") }
                Slider {
                    id: rotationSpeed
                    objectName: "rotationSpeedSlider"
                    Layout.fillWidth: true
                    from: 0
                    to: 10
                    stepSize: 1
                    snapMode: Slider.SnapAlways
                    value: 8
                }
                CheckBox {
                    id: lockWhenIdle
                    objectName: "lockWhenIdleBox"
                    Layout.columnSpan: 2
                    text: qsTr("Hold the table when idle")
                }
                CheckBox {
                    id: shutterRelease
                    objectName: "shutterReleaseBox"
                    Layout.columnSpan: 2
                    text: qsTr("Fire the camera through the turntable")
                    checked: true
                }
                // For a chip whose clock misbehaves on a logic analyser:
                // docs/chip-clocked-step-trains.md.
                CheckBox {
                    id: perEdgeStepWrites
                    objectName: "perEdgeStepWritesBox"
                    Layout.columnSpan: 2
                    text: qsTr("Per-edge step writes instead of chip-clocked step trains")
                }
            }
        }

        GroupBox {
            title: qsTr("Custom turntable")
            Layout.fillWidth: true
            GridLayout {
                anchors.fill: parent
                columns: 2
                Label { text: qsTr("Steps per revolution") }
                TextField {
                    id: stepsPerRevolution
                    objectName: "stepsPerRevolutionField"
                    Layout.fillWidth: true
                    validator: IntValidator { bottom: 1 }
                }
                CheckBox {
                    id: clockwiseActiveHigh
                    objectName: "clockwiseActiveHighBox"
                    text: qsTr("Clockwise active high")
                }
                CheckBox {
                    id: motorEnableActiveHigh
                    objectName: "motorEnableActiveHighBox"
                    text: qsTr("Motor enable active high")
                }
                ComboBox {
                    id: importModel
                    objectName: "importModelBox"
                    Layout.fillWidth: true
                    model: KalveraTurntableStandardDevicesModel
                }
                // The import reopens the turntable as "Custom": offered only
                // while "Custom" is the open model, so that the host's model
                // stays the one that is open.
                Button {
                    objectName: "importButton"
                    text: qsTr("Import settings")
                    enabled: root.turntableControl !== null && root.deviceModel === 0
                             && importModel.count > 0 && !root.shootRunning
                    onClicked: root.turntableControl.customTurntableImportStandardSettings(
                                   importModel.currentIndex + 1)
                }
                Label {
                    objectName: "openModelMotorLabel"
                    Layout.columnSpan: 2
                    visible: root.deviceModel > 0
                    opacity: 0.7
                    text: qsTr("Open model: %1 counts per revolution, clockwise active %2")
                          .arg(root.deviceSettings.stepsPerRevolutionText || "?")
                          .arg(root.deviceSettings.isClockwiseActiveHigh ? qsTr("high") : qsTr("low"))
                }
            }
        }

        GroupBox {
            title: qsTr("Preview")
            Layout.fillWidth: true
            enabled: root.turntableControl !== null && !root.shootRunning
            GridLayout {
                anchors.fill: parent
                columns: 4
                SpinBox {
                    id: previewAngle
                    objectName: "previewAngleBox"
                    from: -360
                    to: 360
                    value: 90
                    editable: true
                }
                CheckBox {
                    id: previewCounterclockwise
                    objectName: "previewCounterclockwiseBox"
                    Layout.columnSpan: 3
                    text: qsTr("Counterclockwise")
                }
                Button {
                    objectName: "previewTurnButton"
                    text: qsTr("Turn by angle")
                    onClicked: root.preview(previewAngle.value)
                }
                Button {
                    objectName: "previewContinuousButton"
                    text: qsTr("Continuous")
                    onClicked: root.preview(0)
                }
                Button {
                    objectName: "previewStopButton"
                    text: qsTr("Stop")
                    onClicked: {
                        root.turntableControl.stopRotationPreview();
                        root.previewResult = "";
                    }
                }
                Button {
                    objectName: "shutterTestButton"
                    text: qsTr("Test shutter")
                    onClicked: root.turntableControl.triggerShutterRelease()
                }
                Label {
                    Layout.columnSpan: 4
                    text: root.previewResult
                }
            }
        }
    }
}
