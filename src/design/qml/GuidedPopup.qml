import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// The pop-up of a tour's current step: header (badge, title with the completion
// checkmark, position), the explanation, and the footer with the step dots, "Back" and
// "Next" / "Finish". Every text comes from the tour.
Item {
    id: popup

    required property GuidedTour tour

    implicitWidth: 330
    implicitHeight: content.implicitHeight + 24

    ShapeSurface {
        anchors.fill: parent
        radius: 12
        fill: Theme.surface
        stroke: Theme.withOpacity(Theme.accent, 0.35)
        strokeWidth: 0.8
        shadowColor: Qt.rgba(0, 0, 0, 0.22)
        shadowRadius: 18
        shadowOffset: Qt.point(0, 10)
    }
    GuidePopupArrow {
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: -9
        anchors.rightMargin: 28
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        GuidePopupHeader {
            Layout.fillWidth: true
            tour: popup.tour
            badge: Item {
                width: 30
                height: 30
                Rectangle {
                    anchors.fill: parent
                    radius: 15
                    color: Theme.accentSoft
                }
                Symbol {
                    anchors.centerIn: parent
                    name: popup.tour.currentSymbol
                    size: 13
                    color: Theme.accent
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 6
                Text {
                    objectName: "guideTitle"
                    Layout.fillWidth: true
                    text: popup.tour.currentTitle
                    textFormat: Text.PlainText
                    font: Theme.cardTitle
                    color: Theme.textPrimary
                    wrapMode: Text.Wrap
                }
                Symbol {
                    objectName: "guideCompletedMark"
                    visible: popup.tour.completed
                    name: "checkmark.circle.fill"
                    size: 11
                    color: Theme.accent
                }
            }
            Text {
                objectName: "guidePosition"
                text: popup.tour.positionText
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
        }

        Text {
            objectName: "guideMessage"
            Layout.fillWidth: true
            text: popup.tour.currentMessage
            textFormat: Text.PlainText
            font: Theme.detailRegular
            color: Theme.textSecondary
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 4

            GuideStepDots { tour: popup.tour }
            Item { Layout.fillWidth: true }
            SecondaryButton {
                objectName: "guideBack"
                Layout.fillWidth: false
                Layout.preferredWidth: 68
                text: popup.tour.backLabel
                enabled: popup.tour.canGoBack
                opacity: enabled ? 1 : 0.45
                onClicked: popup.tour.previous()
            }
            PrimaryButton {
                objectName: "guideNext"
                Layout.fillWidth: false
                Layout.preferredWidth: 82
                text: popup.tour.nextLabel
                onClicked: popup.tour.next()
            }
        }
    }
}
