// The host's window: the turntable, its settings view, the shoot with its
// dial, and the virtual camera's strip.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Kalvera.Turntable 1.0

ApplicationWindow {
    id: window
    title: qsTr("Kalvera Turntable Host")
    width: 1040
    height: 900

    // Given at the start: the host that keeps the settings, the model opened
    // once the turntable is found (by name, any case), whether a shoot starts
    // once it is open, the settings saved, and why there are none when their
    // file could not be read.
    property QtObject host
    property string modelAtStart
    property bool shootOnOpen: false
    property var savedSettings: ({})
    property string settingsProblem
    property string status: settingsProblem

    function startShoot() {
        captures.clear()
        table.startShoot(settingsView.settings)
    }

    KalveraTurntable {
        id: table
        objectName: "turntable"
        Component.onCompleted: findTurntables()
        onModelsChanged: {
            // A settings file set aside stays in the status line; no turntable
            // is an error, which says so.
            if (models.length > 0 && settingsProblem === "")
                window.status = qsTr("Turntable found: choose its model and open it.")
            if (window.modelAtStart === "")
                return
            const index = models.map(name => name.toLowerCase())
                                .indexOf(window.modelAtStart.toLowerCase())
            if (index < 0)
                window.status = qsTr("There is no turntable model \"%1\".").arg(window.modelAtStart)
            else
                open(index)
            window.modelAtStart = ""
        }
        onOpenedChanged: {
            window.status = opened ? qsTr("%1 is open.").arg(models[model])
                                   : qsTr("Turntable closed.")
            if (!opened)
                return
            modelPicker.currentIndex = model
            if (window.shootOnOpen)
                window.startShoot()
            window.shootOnOpen = false
        }
        onErrorOccurred: function (code, text) {
            window.shootOnOpen = false
            window.status = text
        }
        onShootChanged: {
            if (shoot === KalveraTurntable.Running && captureCount > 0)
                window.status = qsTr("Shooting %1 captures...").arg(captureCount)
        }
        // The turntable fires the camera as the shoot goes on; the host's
        // virtual camera takes the picture now.
        onCaptureReady: function (index, angle) {
            captures.append({number: index, angle: angle})
            captureTaken()
        }
        onShootFinished: function (completed) {
            window.status = completed ? qsTr("%1 captures taken.").arg(captures.count)
                                      : qsTr("Shoot stopped after %1 of %2 captures.")
                                        .arg(captures.count).arg(table.plannedAngles.length)
        }
    }

    ListModel { id: captures }

    // The view's settings are saved as the window closes; when they cannot be,
    // the window stays once to say why in its status line.
    property bool closeRefused: false
    onClosing: function (close) {
        const failure = host.saveSettings(settingsView.settings)
        close.accepted = failure === "" || closeRefused
        closeRefused = true
        status = failure
    }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            anchors.margins: 4
            Label { text: qsTr("Turntable model") }
            ComboBox {
                id: modelPicker
                objectName: "modelPicker"
                Layout.preferredWidth: 180
                model: table.models
                enabled: table.shoot === KalveraTurntable.Idle
            }
            Button {
                objectName: "openButton"
                text: qsTr("Open")
                enabled: modelPicker.count > 0 && table.shoot === KalveraTurntable.Idle
                onClicked: table.open(modelPicker.currentIndex)
            }
            Button {
                objectName: "closeButton"
                text: qsTr("Close")
                enabled: table.opened
                onClicked: table.close()
            }
            Button {
                objectName: "findButton"
                text: qsTr("Find turntable")
                enabled: !table.opened
                onClicked: table.findTurntables()
            }
            Item { Layout.fillWidth: true }
            Label {
                objectName: "openModelLabel"
                text: table.opened ? qsTr("Open: %1").arg(table.models[table.model])
                                   : qsTr("No turntable open")
            }
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 12

        ScrollView {
            id: settingsScroll
            Layout.preferredWidth: 480
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true
            TurntableSettingsView {
                id: settingsView
                objectName: "settingsView"
                width: settingsScroll.availableWidth
                turntable: table
                settings: window.savedSettings
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 10

            RowLayout {
                Button {
                    objectName: "startButton"
                    text: qsTr("Start 360")
                    highlighted: true
                    // No shoot is planned while the table turns, as it does
                    // in a preview from the settings view.
                    enabled: table.opened && table.shoot === KalveraTurntable.Idle
                             && !table.rotating
                    onClicked: window.startShoot()
                }
                Button {
                    objectName: "stopButton"
                    text: qsTr("Stop")
                    enabled: table.shoot === KalveraTurntable.Running
                    onClicked: table.stopShoot()
                }
            }
            ProgressBar {
                objectName: "shootProgress"
                Layout.fillWidth: true
                to: Math.max(1, table.plannedAngles.length)
                value: captures.count
            }
            Label {
                objectName: "progressLabel"
                text: captures.count > 0
                      ? qsTr("Capture %1 of %2 at %3\u00B0").arg(captures.count)
                        .arg(table.plannedAngles.length)
                        .arg(captures.get(captures.count - 1).angle.toFixed(1))
                      : qsTr("No shoot yet")
            }
            ShootDial {
                objectName: "shootDial"
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 260
                Layout.preferredHeight: 260
                plannedAngles: table.plannedAngles
                captures: captures
                position: table.position
            }
            Label { text: qsTr("Virtual camera"); font.bold: true }
            CameraStrip {
                objectName: "cameraStrip"
                Layout.fillWidth: true
                Layout.fillHeight: true
                model: captures
            }
        }
    }

    footer: Label {
        objectName: "statusLabel"
        padding: 6
        text: window.status
    }
}
