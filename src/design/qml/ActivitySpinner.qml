import QtQuick
import Quellvista.Design

// A small indeterminate progress indicator: eight spokes fading round a circle, turning
// while running.
Item {
    id: spinner

    property bool running: true
    property color color: Theme.textSecondary

    implicitWidth: 16
    implicitHeight: 16

    Item {
        id: wheel
        anchors.fill: parent

        Repeater {
            model: 8
            Rectangle {
                required property int index
                x: (wheel.width - width) / 2
                y: 0
                width: 2
                height: wheel.height * 0.28
                radius: 1
                color: spinner.color
                opacity: 0.25 + 0.75 * index / 7
                transform: Rotation {
                    origin.x: 1
                    origin.y: wheel.height / 2
                    angle: index * 45
                }
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: spinner.running && spinner.visible
        }
    }
}
