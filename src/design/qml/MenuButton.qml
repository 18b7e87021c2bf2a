import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// A pop-up button: the chosen entry's symbol and text with an up-down chevron on a glass
// panel; a click opens a PopupMenu of `entries` below it, with `checkedAction` checked.
// aboutToOpen() comes first, so the caller can read its entries afresh.
T.Button {
    id: button
    Accessible.onPressAction: button.clicked()
    Accessible.ignored: !visible

    property string symbol
    property alias entries: menu.entries
    property alias checkedAction: menu.checkedAction
    signal chosen(string action)
    signal aboutToOpen()

    implicitWidth: 210
    implicitHeight: 26
    leftPadding: 8
    rightPadding: 8
    hoverEnabled: true
    Accessible.role: Accessible.ComboBox
    // A picker: Qt Quick's buttons would read as push buttons. The caller gives the chosen
    // entry as its `accessibleValue`.
    readonly property int accessibleRole: Accessible.ComboBox

    onClicked: {
        aboutToOpen()
        menu.width = Math.max(button.width, menu.implicitWidth)
        menu.openAt(0, button.height + 4, button.visualFocus)
    }

    FocusRing {
        shapeRadius: 6
    }

    background: Surface {
        kind: Surface.GlassPanel
        radius: 6
        hovering: button.hovered
    }

    contentItem: RowLayout {
        spacing: 6
        Symbol {
            name: button.symbol
            size: 12
            color: Theme.textSecondary
            Layout.preferredWidth: 16
        }
        Text {
            Layout.fillWidth: true
            text: button.text
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font: Theme.detailRegular
            color: Theme.textPrimary
        }
        Symbol {
            name: "chevron.up.chevron.down"
            size: 11
            color: Theme.textSecondary
        }
    }

    PopupMenu {
        id: menu
        onChosen: action => button.chosen(action)
    }
}
