import QtQuick
import Quellvista.Design

// A padded glass container (radius 12) around its content.
Item {
    id: card

    property real padding: 16
    default property alias content: inner.data

    implicitWidth: inner.childrenRect.width + 2 * padding
    implicitHeight: inner.childrenRect.height + 2 * padding

    Surface {
        anchors.fill: parent
        kind: Surface.GlassPanel
        radius: 12
    }

    Item {
        id: inner
        anchors.fill: parent
        anchors.margins: card.padding
    }
}
