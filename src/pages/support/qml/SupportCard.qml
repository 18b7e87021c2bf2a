import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// One card of the Support page's grid: a tinted badge with the two-line heading, then the
// card's own content.
Card {
    id: card

    property color tint
    property string symbol
    property string title
    property string subtitle
    default property alias body: bodyColumn.data

    padding: 12
    Layout.fillWidth: true
    Layout.preferredWidth: 10
    Layout.alignment: Qt.AlignTop
    Layout.minimumHeight: 132 + 2 * padding

    Column {
        width: parent.width
        spacing: 8

        Row {
            width: parent.width
            spacing: 8

            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 28
                height: 28
                radius: 14
                color: Theme.withOpacity(card.tint, 0.14)

                Symbol {
                    anchors.centerIn: parent
                    name: card.symbol
                    size: 13
                    font.weight: Font.Medium
                    color: card.tint
                }
            }
            CardTitleBlock {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 36
                title: card.title
                subtitle: card.subtitle
            }
        }

        Column {
            id: bodyColumn
            width: parent.width
            spacing: 8
        }
    }
}
