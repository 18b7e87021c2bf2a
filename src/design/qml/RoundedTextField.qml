import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// A one-line text field in a rounded border, with a placeholder while empty. Plain text.
T.TextField {
    id: field

    implicitWidth: 200
    implicitHeight: 28
    leftPadding: 8
    rightPadding: 8
    verticalAlignment: TextInput.AlignVCenter
    font: Theme.bodyRegular
    color: Theme.textPrimary
    selectionColor: Theme.accent
    selectedTextColor: "white"
    selectByMouse: true
    // Named by its placeholder unless the caller names it.
    Accessible.name: placeholderText
    Accessible.ignored: !visible

    Text {
        x: field.leftPadding
        width: field.width - field.leftPadding - field.rightPadding
        height: field.height
        verticalAlignment: Text.AlignVCenter
        visible: field.text.length === 0
        text: field.placeholderText
        textFormat: Text.PlainText
        elide: Text.ElideRight
        font: field.font
        color: Theme.textTertiary
    }

    FocusRing {
        shapeRadius: 5
        shown: field.activeFocus && (field.focusReason === Qt.TabFocusReason || field.focusReason === Qt.BacktabFocusReason)
    }

    background: Rectangle {
        radius: 5
        color: Theme.surface
        border.color: field.activeFocus ? Theme.accent : Theme.divider
        border.width: field.activeFocus ? 1.5 : 1
    }
}
