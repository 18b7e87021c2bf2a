import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The recent cadence: ten 30-second buckets as bars against the 12–24 target band.
Card {
    id: card

    required property BlinkCadenceModel model

    padding: 16

    ColumnLayout {
        width: parent.width
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: card.model.title
                    font: Theme.bodyMedium
                    color: Theme.textPrimary
                }
                Text {
                    objectName: "cadenceSubtitle"
                    Layout.fillWidth: true
                    text: card.model.subtitle
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                }
            }
            Item {
                implicitWidth: target.implicitWidth + 16
                implicitHeight: target.implicitHeight + 8
                Rectangle {
                    anchors.fill: parent
                    radius: height / 2
                    color: Theme.withOpacity(Theme.accentSoft, 0.7)
                }
                Text {
                    id: target
                    anchors.centerIn: parent
                    text: card.model.targetText
                    font: Theme.captionRegular
                    color: Theme.textTertiary
                }
            }
        }

        BlinkCadenceBars {
            Layout.fillWidth: true
            Layout.preferredHeight: 92
            model: card.model
        }
    }
}
