import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// The sidebar's section row in each of its states, on the sidebar panel, for looking at
// them in both appearances: qv_render --size 300x330 tests/render/views/SidebarRows.qml
Item {
    width: 300
    height: 330

    QuellvistaAppBackdrop {
        anchors.fill: parent
    }

    Surface {
        id: panel
        kind: Surface.Sidebar
        radius: 28
        x: 12
        y: 12
        width: 232
        height: parent.height - 24
    }

    ColumnLayout {
        x: panel.x + 12
        y: panel.y + 24
        width: panel.width - 24
        spacing: 2

        Repeater {
            model: [
                { title: "Plain", symbol: "eye" },
                { title: "Hovered", symbol: "clock", hovering: true },
                { title: "Pressed", symbol: "lifepreserver", hovering: true, pressed: true },
                { title: "Selected", symbol: "sparkles", selected: true },
                { title: "Selected, hovered", symbol: "sparkles", selected: true, hovering: true },
                { title: "Plain", symbol: "eye" }
            ]
            delegate: Item {
                required property var modelData
                Layout.fillWidth: true
                implicitHeight: label.implicitHeight + 16

                Surface {
                    anchors.fill: parent
                    kind: Surface.SidebarRow
                    radius: 10
                    hovering: modelData.hovering === true
                    pressed: modelData.pressed === true
                    selected: modelData.selected === true
                }
                RowLayout {
                    id: label
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    spacing: 12
                    Symbol {
                        Layout.preferredWidth: 18
                        name: modelData.symbol
                        size: 14
                        color: modelData.selected === true ? Theme.accentHighlight : Theme.textSecondary
                    }
                    Text {
                        text: modelData.title
                        font: modelData.selected === true ? Theme.bodyMedium : Theme.bodyRegular
                        color: Theme.textPrimary
                    }
                    Item { Layout.fillWidth: true }
                }
            }
        }

        Item { Layout.preferredHeight: 16 }

        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            Symbol { name: "gearshape"; size: 14; color: Theme.textTertiary }
        }
    }
}
