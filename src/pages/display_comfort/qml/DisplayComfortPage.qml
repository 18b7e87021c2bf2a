import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Quellvista.Design
import Quellvista.Pages.DisplayComfort
import Quellvista.Pages.DisplayComfort.Blocks

// The Display & Comfort section: one scrolling page of the header (title, master switch,
// guide button), the "Display hardware" block, the comfort profiles and the tuning panel.
// Each of the last three blocks is a step of the page's tour, framed while current and
// brought to the top of the page when the tour moves to it.
Item {
    id: page

    readonly property alias model: pageModel
    readonly property alias hardware: disclosure.model

    DisplayComfortPageModel {
        id: pageModel
    }

    TourFocus {
        tour: pageModel.tour
        frames: [protectionsBlock, profilesBlock, tuningBlock]
    }

    KeepFocusInView {
        flickable: scroller
    }

    Flickable {
        id: scroller
        objectName: "pageScroller"
        anchors.fill: parent
        contentWidth: across.content
        contentHeight: column.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AlwaysOn
        }
        ScrollBar.horizontal: PageScrollBar {}

        // Laid out no narrower than the page needs: narrower windows scroll across.
        ScrollExtent {
            id: across
            view: scroller.width
        }

        NumberAnimation {
            id: scrollAnimation
            target: scroller
            property: "contentY"
            duration: pageModel.tour.changeDuration
            easing: pageModel.tour.easing
        }

        ColumnLayout {
            id: column
            x: 24
            y: 24
            width: scroller.contentWidth - 48
            spacing: 12

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                Text {
                    Layout.alignment: Qt.AlignTop
                    text: pageModel.pageTitle
                    textFormat: Text.PlainText
                    font: Theme.pageTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                }
                Item {
                    Layout.fillWidth: true
                }
                ComfortSwitchCapsule {
                    Layout.alignment: Qt.AlignTop
                    model: pageModel
                }
                GuideButton {
                    objectName: "guideButton"
                    Layout.alignment: Qt.AlignTop
                    accessibleName: pageModel.guideAccessibleName
                    toolTipText: pageModel.guideToolTip
                    onClicked: pageModel.tour.open()
                }
            }

            GuidedHighlight {
                id: protectionsBlock
                objectName: pageModel.tour.anchorId("protections")
                Layout.fillWidth: true
                tour: pageModel.tour
                step: "protections"

                DisplayHardwareDisclosure {
                    id: disclosure
                    width: parent.width
                }
            }

            GuidedHighlight {
                id: profilesBlock
                objectName: pageModel.tour.anchorId("profiles")
                Layout.fillWidth: true
                tour: pageModel.tour
                step: "profiles"

                ComfortProfilesGrid {
                    width: parent.width
                }
            }

            GuidedHighlight {
                id: tuningBlock
                objectName: pageModel.tour.anchorId("tuning")
                Layout.fillWidth: true
                tour: pageModel.tour
                step: "tuning"

                DisplayTuningPanel {
                    width: parent.width
                }
            }
        }
    }

    // Brings the block with the anchor id to the top of the page, as far as it scrolls (with
    // its tour pop-up when that is above it).
    Connections {
        target: pageModel.tour
        function onScrollRequested(anchorId) {
            const block = [protectionsBlock, profilesBlock, tuningBlock].find(b => b.objectName === anchorId)
            if (!block)
                return
            scrollAnimation.to = Math.max(0, Math.min(column.y + block.y + block.scrollOffset, scroller.contentHeight - scroller.height))
            scrollAnimation.restart()
        }
    }
}
