import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The live eye signal: the eye ratio and state badge, the openness meter with the blink
// trigger mark, and the legend with the baseline and tracking status.
Card {
    id: card

    required property BlinkSignalModel model

    padding: 16

    ColumnLayout {
        width: parent.width
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Symbol {
                name: "waveform.path.ecg"
                size: 13
                color: Theme.textPrimary
            }
            Text {
                Layout.fillWidth: true
                text: card.model.title
                font: Theme.bodyMedium
                color: Theme.textPrimary
                elide: Text.ElideRight
            }
            Text {
                objectName: "ratioText"
                text: card.model.ratioText
                textFormat: Text.PlainText
                font: BlinkStyle.figureFont
                color: card.model.tint
            }
            Item {
                implicitWidth: badge.implicitWidth + 16
                implicitHeight: badge.implicitHeight + 6
                Rectangle {
                    anchors.fill: parent
                    radius: height / 2
                    color: card.model.badgeFill
                }
                Text {
                    id: badge
                    objectName: "stateBadge"
                    anchors.centerIn: parent
                    text: card.model.badgeText
                    textFormat: Text.PlainText
                    font: Theme.captionRegular
                    color: card.model.badgeTextColor
                }
            }
        }

        Item {
            id: meter
            objectName: "opennessMeter"
            Layout.fillWidth: true
            implicitHeight: 16
            Binding { target: card.model; property: "meterWidth"; value: meter.width }

            Rectangle {
                anchors.fill: parent
                radius: 5
                color: Theme.withOpacity(Theme.accentSoft, 0.55)
            }
            Rectangle {
                objectName: "triggerMark"
                visible: card.model.markVisible
                x: card.model.markX
                width: 2
                height: parent.height
                color: Theme.withOpacity(Theme.copper, 0.72)
            }
            Rectangle {
                objectName: "levelBar"
                width: card.model.levelWidth
                height: parent.height
                radius: 5
                color: card.model.tint
                Behavior on width {
                    NumberAnimation { duration: 100; easing.type: Easing.Linear }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            Text {
                text: card.model.closedLabel
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
            Text {
                text: card.model.triggerLabel
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
            Item { Layout.fillWidth: true }
            Text {
                visible: text.length > 0
                text: card.model.baselineText
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
            Text {
                objectName: "signalStatus"
                text: card.model.statusText
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
        }
    }
}
