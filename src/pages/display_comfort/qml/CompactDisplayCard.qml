import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.DisplayComfort

// One display's card: the drawn display, its name, kind and connection, the protection
// switches and the protection score.
Item {
    id: cardView

    required property QtObject card
    required property DisplayProtectionModel titles

    implicitHeight: row.implicitHeight + 24

    GlassPanel {
        anchors.fill: parent
        radius: 12
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 12
        spacing: 16

        DisplayIcon {
            symbolName: cardView.card.iconName
            stand: cardView.card.stand
        }

        ColumnLayout {
            Layout.preferredWidth: 260
            Layout.maximumWidth: 260
            spacing: 4

            Text {
                objectName: "displayName"
                Layout.fillWidth: true
                text: cardView.card.name
                textFormat: Text.PlainText
                font: Theme.cardTitle
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: Theme.textPrimary
                elide: Text.ElideRight
                maximumLineCount: 1
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 4
                Symbol {
                    name: cardView.card.iconName
                    size: Theme.detailRegular.pixelSize
                    color: Theme.textSecondary
                }
                Text {
                    Layout.fillWidth: !cardView.card.isVirtual
                    text: cardView.card.typeLabel
                    textFormat: Text.PlainText
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
                Text {
                    visible: cardView.card.isVirtual
                    leftPadding: 6
                    rightPadding: 6
                    topPadding: 2
                    bottomPadding: 2
                    text: cardView.titles.virtualBadge
                    textFormat: Text.PlainText
                    font: Theme.captionRegular
                    color: Theme.accent
                    Rectangle {
                        z: -1
                        anchors.fill: parent
                        radius: height / 2
                        color: Theme.withOpacity(Theme.accentSoft, 0.7)
                    }
                }
            }
            Text {
                objectName: "connectionSummary"
                Layout.fillWidth: true
                text: cardView.card.connectionSummary
                textFormat: Text.PlainText
                font: Theme.detailRegular
                color: Theme.textTertiary
                elide: Text.ElideRight
                maximumLineCount: 1
            }
            Text {
                visible: text.length > 0
                Layout.fillWidth: true
                text: cardView.card.detailLine
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
                elide: Text.ElideRight
                maximumLineCount: 1
            }
        }

        Item {
            Layout.fillWidth: true
        }

        RowLayout {
            spacing: 24

            ProtectionColumn {
                objectName: "ditheringColumn"
                title: cardView.titles.ditheringTitle
                isOn: cardView.card.ditheringOn
                available: cardView.card.framebufferSwitchesAvailable
                stateText: cardView.card.ditheringText
                onToggled: on => cardView.card.setDithering(on)
            }
            ProtectionColumn {
                objectName: "pwmColumn"
                title: cardView.titles.pwmTitle
                isOn: cardView.card.pwmOn
                stateText: cardView.card.pwmText
                onToggled: on => cardView.card.setPwm(on)
            }
            ProtectionColumn {
                objectName: "uniformityColumn"
                visible: cardView.card.showsUniformity
                title: cardView.titles.uniformityTitle
                isOn: cardView.card.uniformityOn
                available: cardView.card.framebufferSwitchesAvailable
                stateText: cardView.card.uniformityText
                onToggled: on => cardView.card.setUniformity(on)
            }
        }

        ColumnLayout {
            Layout.preferredWidth: 80
            spacing: 2
            Text {
                objectName: "scoreText"
                Layout.alignment: Qt.AlignHCenter
                text: cardView.card.scoreText
                textFormat: Text.PlainText
                font: Theme.systemFont(22, Font.DemiBold)
                color: cardView.card.scoreColor
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: cardView.titles.scoreCaption
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
        }
    }
}
