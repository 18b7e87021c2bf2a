import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Pages.DisplayComfort

// The collapsible "Display hardware" block: a header row that summarises the displays
// and the active assists and expands or collapses the block; expanded, the protection
// cards of every display and a closing note.
Card {
    id: card

    readonly property alias model: hardware

    Accessible.role: Accessible.Grouping
    Accessible.name: hardware.cardLabel
    Accessible.description: hardware.cardHint

    DisplayHardwareModel {
        id: hardware
    }

    ColumnLayout {
        width: parent.width
        spacing: 12

        T.AbstractButton {
            id: headerButton
            objectName: "hardwareHeader"
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight
            // "Expanded" or "Collapsed".
            readonly property string accessibleValue: hardware.accessibleValue
            readonly property bool accessibleExpanded: hardware.expanded
            Accessible.role: Accessible.Button
            Accessible.name: hardware.title
            Accessible.description: hardware.headerHint
            onClicked: hardware.toggleExpanded()

            FocusRing {
                shapeRadius: 8
            }

            // The whole row is the button, the space between its texts included.
            contentItem: RowLayout {
                id: header
                spacing: 12

                Item {
                    implicitWidth: 34
                    implicitHeight: 34
                    Rectangle {
                        anchors.fill: parent
                        radius: width / 2
                        color: hardware.badgeFill
                    }
                    Symbol {
                        anchors.centerIn: parent
                        name: "display.and.arrow.down"
                        size: 14
                        color: hardware.badgeSymbolColor
                    }
                }
                ColumnLayout {
                    spacing: 2
                    Text {
                        text: hardware.title
                        textFormat: Text.PlainText
                        font: Theme.cardTitle
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                        color: Theme.textPrimary
                    }
                    Text {
                        objectName: "hardwareSummary"
                        text: hardware.summary
                        textFormat: Text.PlainText
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                    }
                }
                Item {
                    Layout.fillWidth: true
                }
                Text {
                    text: hardware.toggleText
                    textFormat: Text.PlainText
                    font: Theme.detailMedium
                    color: Theme.accent
                }
                Symbol {
                    name: "chevron.right"
                    size: 11
                    font.weight: Font.DemiBold
                    color: Theme.textTertiary
                    rotation: hardware.chevronRotation
                    Behavior on rotation {
                        NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
                    }
                }
            }
        }

        Loader {
            objectName: "hardwareControls"
            Layout.fillWidth: true
            active: hardware.expanded
            visible: active
            sourceComponent: ColumnLayout {
                spacing: 12

                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: 1
                    color: Theme.divider
                }
                DisplayProtectionContent {
                    Layout.fillWidth: true
                }
                Text {
                    Layout.fillWidth: true
                    text: hardware.note
                    textFormat: Text.PlainText
                    font: Theme.detailRegular
                    color: Theme.textTertiary
                    wrapMode: Text.Wrap
                }
            }
        }
    }
}
