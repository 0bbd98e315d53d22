// The shoot on a circle seen from above, 0 at the top and angles clockwise as
// the shoot turns: a tick per planned capture, a dot per capture taken, and a
// hand where the table stands now.
import QtQuick 2.12

Item {
    id: dial
    // Degrees clockwise from the start of the shoot.
    property var plannedAngles: []
    // The captures taken, each with its angle.
    property alias captures: takenMarks.model
    // The table's position, clockwise from the start of the shoot.
    property real position: 0

    readonly property real radius: Math.min(width, height) / 2 - 6

    Rectangle {
        anchors.centerIn: parent
        width: 2 * dial.radius
        height: width
        radius: width / 2
        color: "#202428"
        border.color: "#50565c"
        border.width: 2
    }

    // Each mark is a bar from the centre, turned to its angle.
    component Mark: Item {
        property real angle
        property real length: dial.radius
        property alias color: bar.color
        property alias barWidth: bar.width
        property alias barHeight: bar.height
        x: dial.width / 2
        y: dial.height / 2
        rotation: angle
        Rectangle {
            id: bar
            x: -width / 2
            y: -parent.length
            radius: width / 2
        }
    }

    Repeater {
        objectName: "plannedMarks"
        model: dial.plannedAngles
        Mark {
            angle: modelData
            color: "#a0a8b0"
            barWidth: 2
            barHeight: 14
        }
    }
    Repeater {
        id: takenMarks
        objectName: "takenMarks"
        Mark {
            angle: model.angle
            length: dial.radius - 20
            color: "#f0b429"
            barWidth: 10
            barHeight: 10
        }
    }
    Mark {
        objectName: "positionHand"
        angle: dial.position
        length: dial.radius - 4
        color: "#4aa3df"
        barWidth: 4
        barHeight: dial.radius - 4
    }
    Text {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: dial.radius / 2
        color: "white"
        text: dial.position.toFixed(1) + "\u00B0"
    }
}
