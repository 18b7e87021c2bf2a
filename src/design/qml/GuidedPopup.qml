import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// The pop-up of a tour step (the current one unless given): header (badge, title with the
// completion checkmark, position), the explanation, and the footer with the step dots,
// "Back" and "Next" / "Finish". Every text comes from the tour.
Item {
    id: popup

    required property GuidedTour tour
    property string step: tour.currentStep
    // The title's checkmark, once the tour was finished.
    readonly property bool showsCompletedMark: tour.completed
    // Where the keyboard focus goes when the pop-up opens.
    readonly property Item nextButton: nextButton

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
    // Which side of its block the pop-up is on ("below", "above", "right", "left"): the
    // pointer is on the edge that faces the block, or left out beside it.
    property string side: "below"

    GuidePopupArrow {
        visible: popup.side === "below"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: -9
        anchors.rightMargin: 28
    }
    GuidePopupArrow {
        visible: popup.side === "above"
        rotation: 0
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        anchors.bottomMargin: -9
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
                    name: popup.tour.symbolOf(popup.step)
                    size: 13
                    color: Theme.accent
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 6
                // The checkmark follows the title; a title too long for the row wraps.
                TextMetrics {
                    id: titleMetrics
                    font: Theme.cardTitle
                    text: popup.tour.titleOf(popup.step)
                }
                Text {
                    objectName: "guideTitle"
                    Layout.fillWidth: true
                    Layout.preferredWidth: Math.ceil(titleMetrics.advanceWidth)
                    Layout.maximumWidth: Math.ceil(titleMetrics.advanceWidth)
                    text: popup.tour.titleOf(popup.step)
                    textFormat: Text.PlainText
                    font: Theme.cardTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                    wrapMode: Text.Wrap
                }
                Symbol {
                    id: completedMark
                    objectName: "guideCompletedMark"
                    visible: popup.showsCompletedMark
                    name: "checkmark.circle.fill"
                    size: 11
                    color: Theme.accent
                }
                Item {
                    Layout.fillWidth: true
                }
            }
            Text {
                objectName: "guidePosition"
                text: popup.tour.positionOf(popup.step)
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textTertiary
            }
        }

        Text {
            objectName: "guideMessage"
            Layout.fillWidth: true
            text: popup.tour.messageOf(popup.step)
            textFormat: Text.PlainText
            font: Theme.detailRegular
            color: Theme.textSecondary
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 4

            GuideStepDots {
                tour: popup.tour
                current: popup.step
            }
            Item { Layout.fillWidth: true }
            SecondaryButton {
                objectName: "guideBack"
                Layout.fillWidth: false
                Layout.preferredWidth: 68
                text: popup.tour.backLabel
                enabled: popup.tour.canGoBackFrom(popup.step)
                opacity: enabled ? 1 : 0.45
                onClicked: popup.tour.previous()
            }
            PrimaryButton {
                id: nextButton
                objectName: "guideNext"
                Layout.fillWidth: false
                Layout.preferredWidth: 82
                text: popup.tour.nextLabelOf(popup.step)
                onClicked: popup.tour.next()
            }
        }
    }
}
