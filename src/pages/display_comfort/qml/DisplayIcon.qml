import QtQuick
import Quellvista.Design

// A drawn display: a gradient screen with the display's symbol, on a foot and base
// (monitor, television, projector), on a long bar (other displays that are not
// external), or on nothing.
Item {
    id: icon

    property string symbolName
    // 0: foot and base, 1: bar, 2: none.
    property int stand: 2

    implicitWidth: 100
    implicitHeight: 62

    ShapeSurface {
        width: 80
        height: 50
        anchors.centerIn: parent
        radius: 6
        fill: Theme.accentMuted
        fillEnd: Theme.withOpacity(Theme.sage, 0.68)
    }
    Symbol {
        anchors.centerIn: parent
        name: icon.symbolName
        size: 18
        color: Qt.rgba(1, 1, 1, 0.92)
    }
    Rectangle {
        visible: icon.stand === 0
        width: 10
        height: 8
        x: (icon.width - width) / 2
        y: (icon.height - height) / 2 + 30
        color: Theme.track
    }
    Rectangle {
        visible: icon.stand === 0
        width: 30
        height: 3
        radius: 2
        x: (icon.width - width) / 2
        y: (icon.height - height) / 2 + 38
        color: Theme.track
    }
    Rectangle {
        visible: icon.stand === 1
        width: 96
        height: 3
        radius: 2
        x: (icon.width - width) / 2
        y: (icon.height - height) / 2 + 27
        color: Theme.track
    }
}
