import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.App

// The main window's left column: a floating rounded panel with the product header, one
// row per listed section, the status card and the settings gear.
Item {
    id: sidebar

    property int selected: MainWindowModel.DisplayAndComfort
    property date activeSince
    property var sections: []
    property string productName
    property string tagline
    // The gear's name for assistive technology.
    property string settingsName

    signal sectionChosen(int section)
    signal settings()

    implicitWidth: 12 + 232 + 16
    // The panel and its margins: a window shorter than this scrolls the sidebar.
    implicitHeight: 12 + content.implicitHeight + 12

    Surface {
        id: panel
        kind: Surface.Sidebar
        radius: 28
        x: 12
        y: 12
        width: 232
        height: sidebar.height - 24
    }

    ColumnLayout {
        id: content
        anchors.fill: panel
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 54
            Layout.bottomMargin: 12
            spacing: 8

            QuellvistaLogoMark {
                size: 32
                animated: true
                Layout.preferredWidth: 32
                Layout.preferredHeight: 32
            }

            ColumnLayout {
                spacing: 0
                Text {
                    text: sidebar.productName
                    font: Theme.systemFont(14, Font.DemiBold)
                    color: Theme.textPrimary
                }
                Text {
                    text: sidebar.tagline
                    font: Theme.systemFont(10, Font.Normal)
                    color: Theme.textSecondary
                }
            }

            Item { Layout.fillWidth: true }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            spacing: 2

            Repeater {
                model: sidebar.sections
                delegate: SidebarItem {
                    required property int modelData
                    Layout.fillWidth: true
                    section: modelData
                    isSelected: sidebar.selected === modelData
                    onClicked: sidebar.sectionChosen(modelData)
                }
            }
        }

        Item { Layout.fillHeight: true }

        SidebarSystemStatusCard {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            activeSince: sidebar.activeSince
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 0

            Item { Layout.fillWidth: true }

            T.AbstractButton {
                id: gear
                objectName: "settingsGear"
                implicitWidth: gearSymbol.implicitWidth + 32
                implicitHeight: gearSymbol.implicitHeight + 32
                Accessible.name: sidebar.settingsName
                // Selected while Settings shows, as a row is while its section does.
                Accessible.selected: sidebar.selected === MainWindowModel.Settings
                Accessible.onPressAction: gear.clicked()
                onClicked: sidebar.settings()

                HoverHandler {
                    cursorShape: Qt.PointingHandCursor
                }
                Symbol {
                    id: gearSymbol
                    anchors.centerIn: parent
                    name: "gearshape"
                    size: 14
                    color: Theme.textTertiary
                }
                FocusRing {
                    x: (gear.width - width) / 2
                    y: (gear.height - height) / 2
                    width: 32
                    height: 32
                    shapeRadius: 14
                }
            }
        }
    }
}
