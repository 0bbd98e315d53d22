// The virtual camera's pictures, one frame per capture, in rows that wrap and
// scroll: the first capture of a long shoot stays as reachable as the last.
import QtQuick 2.12
import QtQuick.Controls 2.12

GridView {
    id: strip
    cellWidth: 102
    cellHeight: 70
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {
        objectName: "cameraStripScrollBar"
        policy: ScrollBar.AsNeeded
    }
    onCountChanged: positionViewAtEnd()
    delegate: Rectangle {
        width: strip.cellWidth - 6
        height: strip.cellHeight - 6
        radius: 4
        color: "#202428"
        border.color: "#f0b429"
        Column {
            anchors.centerIn: parent
            spacing: 2
            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "#" + model.number
                color: "white"
                font.bold: true
            }
            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                text: model.angle.toFixed(1) + "\u00B0"
                color: "white"
            }
        }
    }
}
