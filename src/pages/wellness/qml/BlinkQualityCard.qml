import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The session's blink quality: full blinks, average closure, partial candidates and
// paused time, with a short note.
Card {
    id: card

    required property BlinkQualityModel model

    padding: 16

    ColumnLayout {
        width: parent.width
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Symbol {
                name: "sparkles"
                size: 13
                color: Theme.textPrimary
            }
            Text {
                Layout.fillWidth: true
                text: card.model.title
                font: Theme.bodyMedium
                color: Theme.textPrimary
            }
        }

        Repeater {
            model: card.model.rows
            RowLayout {
                required property var modelData
                Layout.fillWidth: true
                spacing: 8
                Text {
                    Layout.fillWidth: true
                    text: modelData.label
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    elide: Text.ElideRight
                }
                Text {
                    text: card.model[modelData.value]
                    textFormat: Text.PlainText
                    font: BlinkStyle.figureFont
                    color: Theme.textPrimary
                }
            }
        }

        Text {
            Layout.fillWidth: true
            text: card.model.note
            font: Theme.captionRegular
            color: Theme.textTertiary
            wrapMode: Text.Wrap
        }
    }
}
