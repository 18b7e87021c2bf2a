import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// One protection of a display card: its title, the switch and "On"/"Off" (or, where the
// protection cannot act on this machine, a dimmed switch that does not move).
ColumnLayout {
    id: column

    property string title
    property bool isOn
    property string stateText
    property bool available: true

    signal toggled(bool on)

    spacing: 6
    Layout.preferredWidth: 70

    Text {
        Layout.alignment: Qt.AlignHCenter
        text: column.title
        textFormat: Text.PlainText
        font: Theme.detailMedium
        color: Theme.textPrimary
    }
    SageToggle {
        Layout.alignment: Qt.AlignHCenter
        isOn: column.isOn && column.available
        enabled: column.available
        opacity: column.available ? 1 : 0.4
        tint: Theme.sage
        accessibleValue: column.stateText
        Accessible.name: column.title
        onToggled: on => column.toggled(on)
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        text: column.stateText
        textFormat: Text.PlainText
        font: Theme.captionRegular
        color: Theme.textTertiary
    }
}
