import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.App

// The sidebar's small card about this Mac.
Item {
    id: card

    property date activeSince

    implicitHeight: column.implicitHeight + 24

    SidebarStatusCardModel {
        id: status
        activeSince: card.activeSince
        hostLineWidth: hostLineBox.width
    }

    Surface {
        anchors.fill: parent
        kind: Surface.StatusCard
        radius: 10
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 5

        RowLayout {
            spacing: 6
            Rectangle {
                implicitWidth: 7
                implicitHeight: 7
                radius: 3.5
                color: status.statusColor
            }
            Text {
                text: status.statusText
                font: Theme.detailRegular
                color: Theme.textPrimary
            }
        }

        Item {
            id: hostLineBox
            Layout.fillWidth: true
            implicitHeight: hostLine.implicitHeight * status.hostLineScale

            Text {
                id: hostLine
                width: status.hostLineLayoutWidth
                scale: status.hostLineScale
                transformOrigin: Item.TopLeft
                text: status.hostLine
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textSecondary
                maximumLineCount: 1
                wrapMode: Text.NoWrap
                elide: Text.ElideRight
            }
        }

        Text {
            Layout.fillWidth: true
            text: status.activeSinceLine
            textFormat: Text.PlainText
            font: Theme.captionRegular
            color: Theme.textTertiary
            maximumLineCount: 1
            elide: Text.ElideRight
        }
    }
}
