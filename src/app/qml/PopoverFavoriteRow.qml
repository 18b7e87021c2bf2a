import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// One favourite preset or saved profile in the pop-over; the active one is tinted and
// carries the accent bar at its leading edge. Tab reaches it; Space or Return applies it.
T.AbstractButton {
    id: rowItem

    // One row of MenuBarPopoverModel.favorites.
    property var row: ({})

    implicitHeight: 27
    Accessible.name: row.name ?? ""
    Accessible.selected: row.active ?? false
    Accessible.onPressAction: rowItem.clicked()

    FocusRing {
        shapeRadius: 7
    }

    Rectangle {
        anchors.fill: parent
        radius: rowItem.row.fillRadius
        color: Theme.thinMaterial
    }
    Rectangle {
        anchors.fill: parent
        radius: rowItem.row.fillRadius
        color: rowItem.row.fillColor
    }
    Rectangle {
        anchors.fill: parent
        radius: 7
        color: "transparent"
        border.width: 0.7
        border.color: rowItem.row.outlineColor
    }
    Rectangle {
        visible: rowItem.row.active
        x: 0
        y: 7
        width: 3
        height: parent.height - 14
        radius: 2
        color: Theme.withOpacity(Theme.accent, 0.72)
    }
    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: rowItem.row.leadingPadding
        anchors.rightMargin: 10
        spacing: 8
        Symbol {
            name: rowItem.row.symbol
            size: 11
            color: rowItem.row.symbolColor
        }
        Text {
            Layout.fillWidth: true
            text: rowItem.row.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font: Theme.systemFont(11, Font.DemiBold)
            color: Theme.textPrimary
        }
        Text {
            visible: text.length > 0
            text: rowItem.row.hint
            textFormat: Text.PlainText
            font.family: "monospace"
            font.pixelSize: 9
            color: Theme.withOpacity(Theme.textTertiary, 0.82)
        }
    }
}
