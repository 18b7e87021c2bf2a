import QtQuick
import Quellvista.Design

// A system symbol before a line of text, centred as one: the label of a button with an
// icon, or an icon-led status line.
Row {
    id: label

    property string symbol
    property string text
    property font font: Theme.bodyMedium
    property color color: Theme.textPrimary

    spacing: 6

    Symbol {
        anchors.verticalCenter: parent.verticalCenter
        name: label.symbol
        size: label.font.pixelSize
        color: label.color
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: label.text
        textFormat: Text.PlainText
        font: label.font
        color: label.color
    }
}
