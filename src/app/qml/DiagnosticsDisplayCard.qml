import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// One framebuffer of the deep display diagnostics: its name and subtitle over a grid of
// two columns of property cells. Every text is plain; a long value loses its middle, and
// the cell's tooltip names the registry key.
Item {
    id: card

    required property var display

    implicitHeight: column.implicitHeight + 16

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: Theme.withOpacity("white", 0.04)
        border.width: 0.6
        border.color: Theme.withOpacity(Theme.divider, 0.52)
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 8
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Symbol {
                Layout.preferredWidth: 18
                name: card.display.symbol
                size: 12
                font.weight: Font.Medium
                color: Theme.accent
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 1

                Text {
                    Layout.fillWidth: true
                    text: card.display.name
                    textFormat: Text.PlainText
                    font: Theme.detailMedium
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
                Text {
                    Layout.fillWidth: true
                    text: card.display.subtitle
                    textFormat: Text.PlainText
                    font: Theme.captionRegular
                    color: Theme.textTertiary
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
            }
        }

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            rowSpacing: 4
            columnSpacing: 8

            Repeater {
                model: card.display.properties

                Item {
                    id: cell

                    required property var modelData

                    objectName: "diagnosticCell"
                    Layout.fillWidth: true
                    Layout.minimumWidth: 10
                    Layout.preferredWidth: 10
                    implicitHeight: cellRow.implicitHeight + 14

                    Rectangle {
                        anchors.fill: parent
                        radius: 6
                        color: Theme.withOpacity("white", 0.035)
                        border.width: 0.5
                        border.color: Theme.withOpacity(Theme.divider, 0.35)
                    }

                    HoverHandler {
                        id: hover
                    }
                    HelpTip {
                        visible: hover.hovered
                        delay: 500
                        text: cell.modelData.key
                    }

                    RowLayout {
                        id: cellRow
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        anchors.topMargin: 7
                        anchors.bottomMargin: 7
                        spacing: 8

                        Text {
                            Layout.alignment: Qt.AlignBaseline
                            Layout.maximumWidth: cellRow.width * 0.55
                            text: cell.modelData.label
                            textFormat: Text.PlainText
                            font: Theme.captionRegular
                            color: Theme.textTertiary
                            maximumLineCount: 1
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: Math.round(Theme.captionRegular.pixelSize * 0.78)
                            elide: Text.ElideRight
                        }
                        Text {
                            Layout.alignment: Qt.AlignBaseline
                            Layout.fillWidth: true
                            text: cell.modelData.value
                            textFormat: Text.PlainText
                            font: Theme.captionRegular
                            color: cell.modelData.valueColor
                            horizontalAlignment: Text.AlignRight
                            maximumLineCount: 1
                            elide: Text.ElideMiddle
                        }
                    }
                }
            }
        }
    }
}
