import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.App

// One switch row of the Settings page: symbol, title over detail, and the switch, on a
// rounded background tinted while the switch is on. A hidden row takes no room.
Item {
    id: rowView

    required property SettingsToggleRow row

    visible: row.shown
    implicitHeight: content.implicitHeight + 16
    Layout.fillWidth: true

    Rectangle {
        anchors.fill: parent
        radius: 6
        color: rowView.row.fillColor
        border.width: 0.5
        border.color: rowView.row.strokeColor
    }

    RowLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 8
        spacing: 8

        Symbol {
            Layout.preferredWidth: 20
            name: rowView.row.symbol
            size: 13
            font.weight: Font.Medium
            color: rowView.row.symbolColor
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            Text {
                Layout.fillWidth: true
                text: rowView.row.title
                textFormat: Text.PlainText
                font: Theme.detailMedium
                color: Theme.textPrimary
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: rowView.row.detail
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
                elide: Text.ElideRight
            }
        }
        SageToggle {
            enabled: rowView.row.switchable
            opacity: enabled ? 1 : 0.45
            isOn: rowView.row.isOn
            tint: rowView.row.tint
            Accessible.name: rowView.row.title
            onToggled: on => rowView.row.setOn(on)
        }
    }
}
