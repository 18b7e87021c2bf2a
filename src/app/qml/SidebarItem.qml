import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.App

// One section row of the sidebar.
T.AbstractButton {
    id: row

    property int section: MainWindowModel.DisplayAndComfort
    property bool isSelected: false

    SidebarItemModel {
        id: look
        section: row.section
        selected: row.isSelected
    }

    text: look.title
    hoverEnabled: true
    Accessible.name: look.title
    Accessible.selected: row.isSelected
    Accessible.onPressAction: row.clicked()
    leftPadding: 12
    rightPadding: 12
    topPadding: 8
    bottomPadding: 8
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    contentItem: RowLayout {
        spacing: 12

        Symbol {
            Layout.preferredWidth: 18
            name: look.symbol
            size: 14
            color: look.iconColor
        }
        Text {
            text: look.title
            font: look.titleFont
            color: look.titleColor
        }
        Item { Layout.fillWidth: true }
    }

    FocusRing {
        shapeRadius: 10
    }

    background: Surface {
        kind: Surface.SidebarRow
        radius: 10
        selected: row.isSelected
        hovering: row.hovered
        pressed: row.down
    }
}
