// A turntable host in QML: open a model, set the shoot up, shoot. With --shoot
// it opens "Custom", shoots and quits: 0 when the shoot completed.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Kalvera.Turntable 1.0

ApplicationWindow {
    readonly property bool shootAndQuit: Qt.application.arguments.indexOf("--shoot") >= 0
    width: 600; height: 700; visible: true; title: "Turntable"

    KalveraTurntable {
        id: table
        autoAdvance: true // no camera of its own: each capture is taken at once
        onModelsChanged: if (shootAndQuit) open(0)
        onOpenedChanged: if (opened && shootAndQuit) startShoot(view.settings)
        onShootFinished: function (completed) { if (shootAndQuit) Qt.exit(completed ? 0 : 1) }
        onErrorOccurred: if (shootAndQuit) Qt.exit(2)
        Component.onCompleted: findTurntables()
    }

    ColumnLayout {
        anchors.fill: parent
        RowLayout {
            ComboBox { id: models; model: table.models; Layout.fillWidth: true }
            Button {
                text: table.opened ? "Close" : "Open"
                onClicked: table.opened ? table.close() : table.open(models.currentIndex)
            }
        }
        ScrollView {
            id: scroll
            Layout.fillWidth: true; Layout.fillHeight: true; clip: true
            TurntableSettingsView {
                id: view
                turntable: table
                width: scroll.availableWidth
                // The host's defaults: four quick captures on a 200-step "Custom" table.
                settings: ({ framesCountText: "4", captureDelaySeconds: [0, 0], rotationSpeed: 10,
                             triggerShutterRelease: false, customTurntableAdvancedSettings: {
                                 stepsPerRevolutionText: "200", isClockwiseActiveHigh: true,
                                 isMotorEnableActiveHigh: true } })
            }
        }
        RowLayout {
            Button {
                readonly property bool idle: table.shoot === KalveraTurntable.Idle
                text: idle ? "Start 360" : "Stop"
                enabled: table.opened
                onClicked: idle ? table.startShoot(view.settings) : table.stopShoot()
            }
            Label {
                Layout.fillWidth: true
                text: table.lastError || "Capture %1 of %2, table at %3°".arg(table.captureIndex)
                      .arg(table.captureCount).arg(table.position.toFixed(1))
            }
        }
    }
}
