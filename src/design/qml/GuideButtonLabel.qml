import QtQuick
import Quellvista.Design

// The round label of a page's guide button: a question mark on a faint surface circle
// with a thin outline.
Item {
    implicitWidth: 34
    implicitHeight: 34

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: Theme.withOpacity(Theme.surface, 0.58)
        border.color: Theme.withOpacity(Theme.divider, 0.62)
        border.width: 0.6
    }
    Symbol {
        anchors.centerIn: parent
        name: "questionmark.circle"
        size: 14
        color: Theme.textSecondary
    }
}
