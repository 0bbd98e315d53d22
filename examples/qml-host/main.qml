// A turntable host in QML. With --shoot it opens "Custom", shoots and quits: 0 when it completed.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Kalvera.Turntable 1.0

ApplicationWindow {
    readonly property bool shootAndQuit: Qt.application.arguments.indexOf("--shoot") >= 0
    property string problem // the last error, until the table opens or moves again
    width: 600; height: 700; visible: true; title: "Turntable"
    KalveraTurntable {
        id: table
        autoAdvance: true // no camera of its own: each capture is taken at once
        onModelsChanged: if (shootAndQuit) open(0)
        onOpenedChanged: if (opened) { problem = ""; if (shootAndQuit) startShoot(view.settings) }
        onMoveEnded: problem = ""
        onShootFinished: function (completed) { if (shootAndQuit) Qt.exit(completed ? 0 : 1) }
        onErrorOccurred: function (code, text) { problem = text; if (shootAndQuit) Qt.exit(2) }
        Component.onCompleted: findTurntables()
    }
    ColumnLayout {
        anchors.fill: parent
        RowLayout {
            ComboBox { id: models; model: table.models; Layout.fillWidth: true }
            Button {
                text: table.opened ? "Close" : "Open"; enabled: table.opened || table.models.length > 0
                onClicked: table.opened ? table.close() : table.open(models.currentIndex)
            }
        }
        ScrollView {
            id: scroll; Layout.fillWidth: true; Layout.fillHeight: true; clip: true
            TurntableSettingsView { // the host's defaults: four quick captures, a 200-step "Custom"
                id: view; turntable: table; width: scroll.availableWidth
                settings: ({ framesCountText: "4", captureDelaySeconds: [0, 0], rotationSpeed: 10,
                    triggerShutterRelease: false, customTurntableAdvancedSettings: { stepsPerRevolutionText:
                        "200", isClockwiseActiveHigh: true, isMotorEnableActiveHigh: true } })
            }
        }
        RowLayout {
            Button {
                readonly property bool idle: table.shoot === KalveraTurntable.Idle
                text: idle ? "Start 360" : "Stop"; enabled: table.opened
                onClicked: idle ? table.startShoot(view.settings) : table.stopShoot()
            }
            Label { Layout.fillWidth: true; text: problem || "Capture %1 of %2, table at %3°"
                    .arg(table.captureIndex).arg(table.captureCount).arg(table.position.toFixed(1)) }
        }
    }
}
