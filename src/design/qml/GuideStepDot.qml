import QtQuick
import Quellvista.Design

// One step dot: the current step's is larger and in the accent colour.
Item {
    property bool current: false

    implicitWidth: 18
    implicitHeight: 18

    Rectangle {
        anchors.centerIn: parent
        width: parent.current ? 8 : 6
        height: width
        radius: width / 2
        color: parent.current ? Theme.accent : Theme.track
    }
}
