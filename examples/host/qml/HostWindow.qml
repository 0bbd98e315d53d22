// The host's window around the turntable plug-in's settings view: the
// turntable, the view (placed into "settingsArea" by the host), the shoot and
// its virtual camera strip. "turntableHost" is the host object.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import QtQuick.Window 2.12

ApplicationWindow {
    id: window
    title: qsTr("Kalvera Turntable Host")
    width: 1040
    height: 900

    // The view's settings are saved as the window closes; when they cannot be,
    // the window stays once to say why in its status line.
    onClosing: function (close) {
        close.accepted = turntableHost.closeView()
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
                model: turntableHost.models
                enabled: !turntableHost.shooting
            }
            Button {
                objectName: "openButton"
                text: qsTr("Open")
                enabled: modelPicker.count > 0 && !turntableHost.shooting
                onClicked: turntableHost.openDevice(modelPicker.currentIndex)
            }
            Button {
                objectName: "closeButton"
                text: qsTr("Close")
                enabled: turntableHost.openModel >= 0
                onClicked: turntableHost.closeDevice()
            }
            Button {
                objectName: "findButton"
                text: qsTr("Find turntable")
                enabled: turntableHost.openModel < 0
                onClicked: turntableHost.refreshModels()
            }
            Item { Layout.fillWidth: true }
            Label {
                objectName: "openModelLabel"
                text: turntableHost.openModel >= 0
                      ? qsTr("Open: %1").arg(turntableHost.models[turntableHost.openModel])
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
            contentHeight: settingsArea.childrenRect.height
            clip: true
            Item {
                id: settingsArea
                objectName: "settingsArea"
                width: settingsScroll.availableWidth
                height: childrenRect.height
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
                    // The plug-in plans no shoot while the table turns, as
                    // it does in a preview from the settings view.
                    enabled: turntableHost.openModel >= 0 && !turntableHost.shooting
                             && !turntableHost.turning
                    onClicked: turntableHost.startShoot()
                }
                Button {
                    objectName: "stopButton"
                    text: qsTr("Stop")
                    enabled: turntableHost.shooting
                    onClicked: turntableHost.stopShoot()
                }
            }
            ProgressBar {
                objectName: "shootProgress"
                Layout.fillWidth: true
                from: 0
                to: Math.max(1, turntableHost.captureTotal)
                value: turntableHost.captureNumber
            }
            Label {
                objectName: "progressLabel"
                text: turntableHost.captureTotal > 0
                      ? qsTr("Capture %1 of %2 at %3\u00B0").arg(turntableHost.captureNumber)
                        .arg(turntableHost.captureTotal).arg(turntableHost.currentAngle.toFixed(1))
                      : qsTr("No shoot yet")
            }

            Label { text: qsTr("Virtual camera"); font.bold: true }
            ListView {
                id: cameraStrip
                objectName: "cameraStrip"
                Layout.fillWidth: true
                Layout.preferredHeight: 112
                orientation: ListView.Horizontal
                spacing: 6
                clip: true
                model: turntableHost.captures
                onCountChanged: positionViewAtEnd()
                delegate: Rectangle {
                    width: 96
                    height: 104
                    radius: 4
                    color: "#202428"
                    border.color: modelData.cameraFired ? "#f0b429" : "#50565c"
                    Column {
                        anchors.centerIn: parent
                        spacing: 4
                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "#" + modelData.number
                            color: "white"
                            font.bold: true
                        }
                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: modelData.angle.toFixed(1) + "\u00B0"
                            color: "white"
                        }
                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: modelData.tableAngle === undefined ? ""
                                  : qsTr("table %1\u00B0").arg(modelData.tableAngle.toFixed(1))
                            color: "#a0a8b0"
                            font.pixelSize: 11
                        }
                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: modelData.cameraFired ? qsTr("shutter") : qsTr("no shutter")
                            color: modelData.cameraFired ? "#f0b429" : "#a0a8b0"
                            font.pixelSize: 11
                        }
                    }
                }
            }
            Item { Layout.fillHeight: true }
        }
    }

    footer: Label {
        objectName: "statusLabel"
        padding: 6
        text: turntableHost.status
    }
}
