import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// A menu of entries, each a symbol and a text: `entries` is a list of
// {action, text, symbol, destructive}; choosing one closes the menu and emits
// chosen(action). The entry whose action is `checkedAction` carries a check mark.
// Texts are plain text. Opened from the keyboard, the first entry takes the focus, the
// arrow keys walk the entries, Space or Return chooses one, Esc closes the menu, and the
// focus goes back to `opener` (the item the menu belongs to unless given).
T.Popup {
    id: menu

    property var entries: []
    property string checkedAction
    property Item opener: parent
    // Whether the menu was opened from the keyboard.
    property bool byKeyboard: false
    signal chosen(string action)

    // Opens the menu with its top-left corner at a point of its parent.
    function openAt(px, py, fromKeyboard) {
        x = px
        y = py
        byKeyboard = fromKeyboard === true
        open()
    }

    onOpened: if (byKeyboard) KeyboardControl.focusFirst(column)
    onClosed: {
        if (byKeyboard && opener)
            KeyboardControl.focus(opener, true)
        byKeyboard = false
    }

    padding: 5
    margins: 8
    focus: true
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutside
    implicitWidth: Math.max(180, column.implicitWidth + leftPadding + rightPadding)
    implicitHeight: column.implicitHeight + topPadding + bottomPadding

    background: Rectangle {
        radius: 8
        color: Theme.surface
        border.color: Theme.divider
        border.width: 0.6
    }

    contentItem: Column {
        id: column

        Keys.onUpPressed: KeyboardControl.focusNext(column, false)
        Keys.onDownPressed: KeyboardControl.focusNext(column, true)

        Repeater {
            model: menu.entries

            T.ItemDelegate {
                id: entry

                required property var modelData

                width: Math.max(implicitWidth, column.width)
                implicitWidth: row.implicitWidth + 20
                implicitHeight: 26
                highlighted: hovered || visualFocus
                // Delegates take no keyboard focus of their own; a menu's entries do.
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                text: modelData.text
                Accessible.name: modelData.text
                // A menu item that Press chooses; in a picker's menu, the ticked entry is
                // checked.
                readonly property int accessibleRole: Accessible.MenuItem
                readonly property bool accessibleCheckable: menu.checkedAction !== ""
                readonly property bool accessibleChecked: accessibleCheckable && menu.checkedAction === modelData.action
                onClicked: {
                    menu.close()
                    menu.chosen(modelData.action)
                }

                background: Rectangle {
                    radius: 5
                    color: entry.highlighted ? Theme.accent : "transparent"
                }
                FocusRing {
                    shapeRadius: 5
                    fill: entry.highlighted ? Theme.accent : "transparent"
                }

                RowLayout {
                    id: row
                    anchors.fill: parent
                    anchors.leftMargin: 10
                    anchors.rightMargin: 10
                    spacing: 8

                    Symbol {
                        name: entry.modelData.symbol
                        size: 12
                        color: entry.highlighted ? "white" : entry.modelData.destructive ? Theme.terracotta : Theme.textSecondary
                        Layout.preferredWidth: 16
                    }
                    Text {
                        Layout.fillWidth: true
                        Layout.maximumWidth: 360
                        text: entry.modelData.text
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font: Theme.detailRegular
                        color: entry.highlighted ? "white" : entry.modelData.destructive ? Theme.terracotta : Theme.textPrimary
                    }
                    Symbol {
                        name: "checkmark"
                        size: 11
                        visible: menu.checkedAction !== "" && menu.checkedAction === entry.modelData.action
                        color: entry.highlighted ? "white" : Theme.accent
                    }
                }
            }
        }
    }
}
