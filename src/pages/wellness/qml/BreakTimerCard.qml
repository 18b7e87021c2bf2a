import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The timer card: the phase with its symbol, the rhythm capsule, and the countdown dial
// filling the rest of the card.
Item {
    id: card

    required property BreakRemindersModel model

    Surface {
        anchors.fill: parent
        kind: Surface.TintedPageCard
        radius: 12
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        RowLayout {
            Layout.fillWidth: true

            Row {
                Layout.alignment: Qt.AlignTop
                spacing: 6
                Symbol {
                    anchors.verticalCenter: parent.verticalCenter
                    name: card.model.phaseSymbol
                    size: 12
                    color: Theme.textSecondary
                }
                Text {
                    objectName: "phaseTitle"
                    anchors.verticalCenter: parent.verticalCenter
                    text: card.model.phaseTitle
                    font: Theme.detailMedium
                    color: Theme.textSecondary
                }
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                objectName: "rhythm"
                Layout.alignment: Qt.AlignTop
                leftPadding: 8
                rightPadding: 8
                topPadding: 4
                bottomPadding: 4
                text: card.model.rhythmText
                font: Theme.captionRegular
                color: Theme.textTertiary

                Rectangle {
                    z: -1
                    anchors.fill: parent
                    radius: height / 2
                    color: Theme.withOpacity(Theme.accentSoftTint, 0.55)
                }
            }
        }

        // The dial is square and centred in the rest of the card; painted on every frame
        // while active, it covers no more than it draws.
        Item {
            id: dialSpace
            Layout.fillWidth: true
            Layout.fillHeight: true

            CalmCountdownDial {
                objectName: "dial"
                anchors.centerIn: parent
                width: Math.min(dialSpace.width, dialSpace.height)
                height: width
                progress: card.model.dialProgress
                timeText: card.model.countdownText
                caption: card.model.statusCaption
                active: card.model.dialActive
                // Read as text: the time left, and the caption.
                Accessible.role: Accessible.StaticText
                Accessible.name: card.model.countdownText
                Accessible.description: card.model.statusCaption
            }
        }
    }
}
