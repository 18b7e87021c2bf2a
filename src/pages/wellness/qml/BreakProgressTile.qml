import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// One tile of the "Today" band: a symbol and title over a large value, its detail and an
// accessory at the right-hand end of the figures. Tiles share their row equally.
Item {
    id: tile
    objectName: "progressTile"

    // {symbol, title, value, detail}
    property var tile: ({})
    default property alias accessory: accessorySlot.data

    Layout.fillWidth: true
    Layout.fillHeight: true
    Layout.preferredWidth: 1

    // One text for assistive technology: the title with the figure as its name ("Breaks
    // Today: 3"), the figure as its value, the detail as its description.
    readonly property string accessibleValue: tile.tile.value ?? ""
    Accessible.role: Accessible.StaticText
    Accessible.name: AccessibleTexts.figure(tile.tile.title ?? "", tile.tile.value ?? "")
    Accessible.description: tile.tile.detail ?? ""

    Surface {
        anchors.fill: parent
        kind: Surface.PageCard
        radius: 12
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 6
            Symbol {
                name: tile.tile.symbol ?? ""
                size: 11
                color: Theme.accent
            }
            Text {
                Layout.fillWidth: true
                text: tile.tile.title ?? ""
                font: Theme.detailMedium
                color: Theme.textSecondary
                elide: Text.ElideRight
            }
        }

        // Figures, then at least 20 pt (spacing, a 4 pt spacer, spacing), then the accessory.
        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            ColumnLayout {
                Layout.alignment: Qt.AlignBottom
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                spacing: 1
                TabularText {
                    objectName: "tileValue"
                    Layout.fillWidth: true
                    Layout.minimumWidth: 0
                    text: tile.tile.value ?? ""
                    font: Theme.systemFont(30, Font.DemiBold)
                    minimumPixelSize: 22
                    color: Theme.textPrimary
                }
                Text {
                    objectName: "tileDetail"
                    Layout.fillWidth: true
                    text: tile.tile.detail ?? ""
                    textFormat: Text.PlainText
                    font: Theme.captionRegular
                    fontSizeMode: Text.HorizontalFit
                    minimumPixelSize: 9
                    elide: Text.ElideRight
                    color: Theme.textTertiary
                }
            }
            Item {
                Layout.minimumWidth: 4
                Layout.preferredWidth: 4
            }
            Item {
                objectName: "tileAccessory"
                Layout.alignment: Qt.AlignBottom
                Layout.preferredWidth: accessorySlot.childrenRect.width
                Layout.preferredHeight: accessorySlot.childrenRect.height

                Item {
                    id: accessorySlot
                    anchors.fill: parent
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
