import QtQuick
import Quellvista.Design
import Quellvista.Pages.Wellness

// A part of the break page that carries a step of its tour: while that step is current
// the part is inset by 3 points on a faint accent wash, outlined in the accent colour and
// raised above its neighbours.
Item {
    id: part

    required property BreakGuide guide
    required property string step
    readonly property var look: guide.highlight(step, guide.step, Theme.dark)
    default property alias content: inner.data

    z: look.z

    Rectangle {
        anchors.fill: parent
        radius: 15
        color: part.look.fill
    }

    Item {
        id: inner
        anchors.fill: parent
        anchors.margins: part.look.padding
    }

    Rectangle {
        anchors.fill: parent
        radius: 15
        color: "transparent"
        border.width: 1.4
        border.color: part.look.stroke
    }
}
