import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// One metric tile: the badge in the tile's tint, the title, the value (one line, shrinking
// to 0.7 of its size before it is cut) and the note; greyed while inactive.
Item {
    id: tileView

    required property BlinkMetricTileModel tile

    implicitHeight: Math.max(126, column.implicitHeight + 24)

    // One text for assistive technology: the title with the value, the note as its description.
    readonly property string accessibleValue: tileView.tile.value
    Accessible.role: Accessible.StaticText
    Accessible.name: AccessibleTexts.figure(tileView.tile.title, tileView.tile.value)
    Accessible.description: tileView.tile.note

    Rectangle {
        anchors.fill: parent
        radius: 12
        color: Theme.withOpacity(Theme.surface, 0.72)
        border.color: Theme.divider
        border.width: 0.6
    }

    ColumnLayout {
        id: column
        x: 12
        y: 12
        width: parent.width - 24
        spacing: 12

        Item {
            implicitWidth: 30
            implicitHeight: 30
            Rectangle {
                anchors.fill: parent
                radius: 15
                color: tileView.tile.badgeFill
            }
            Symbol {
                anchors.centerIn: parent
                name: tileView.tile.icon
                size: 13
                color: tileView.tile.symbolColor
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3
            Text {
                Layout.fillWidth: true
                text: tileView.tile.title
                font: Theme.detailMedium
                color: Theme.textSecondary
                elide: Text.ElideRight
            }
            Text {
                objectName: "tileValue"
                Layout.fillWidth: true
                Layout.preferredHeight: implicitHeight
                text: tileView.tile.value
                textFormat: Text.PlainText
                font: BlinkStyle.tileValueFont
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: BlinkStyle.tileValueMinimumSize
                color: tileView.tile.valueColor
                elide: Text.ElideRight
                maximumLineCount: 1
            }
            Text {
                Layout.fillWidth: true
                text: tileView.tile.note
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
                wrapMode: Text.Wrap
            }
        }
    }
}
