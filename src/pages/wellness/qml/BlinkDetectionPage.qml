import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Pages.Wellness

// The Blink Detection section: header, detection panel, metric tiles, signal and quality
// cards and the cadence card, scrolling; the tour brings each step's section to the top.
Item {
    id: page

    // The view-model follows the shared detector unless a test gives another one.
    property BlinkPageModel model: BlinkPageModel {}
    readonly property alias scroller: scroller

    function scrollTo(anchorId) {
        for (const section of [setupSection, metricsSection, signalSection, cadenceSection]) {
            if (section.objectName === anchorId) {
                scrollAnimation.to = page.model.scrollTarget(column.y + section.y + section.scrollOffset, scroller.contentHeight, scroller.height)
                scrollAnimation.restart()
            }
        }
    }

    TourFocus {
        tour: page.model.tour
        frames: [setupSection, metricsSection, signalSection, cadenceSection]
    }

    Connections {
        target: page.model.tour
        function onScrollRequested(anchorId) { page.scrollTo(anchorId) }
    }

    KeepFocusInView {
        flickable: scroller
    }

    Flickable {
        id: scroller
        anchors.fill: parent
        contentWidth: across.content
        contentHeight: column.height + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        T.ScrollBar.vertical: PageScrollBar {}
        T.ScrollBar.horizontal: PageScrollBar {}

        // Laid out no narrower than the page needs: narrower windows scroll across.
        ScrollExtent {
            id: across
            view: scroller.width
        }

        NumberAnimation {
            id: scrollAnimation
            objectName: "scrollAnimation"
            target: scroller
            property: "contentY"
            duration: page.model.tour.stepAnimationDuration
            easing: page.model.tour.easing
        }

        Column {
            id: column
            x: 24
            y: 24
            width: scroller.contentWidth - 48
            spacing: 12

            RowLayout {
                width: parent.width
                spacing: 8

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    spacing: 4
                    Text {
                        Layout.fillWidth: true
                        text: page.model.pageTitle
                        font: Theme.pageTitle
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: page.model.pageSubtitle
                        font: Theme.bodyRegular
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }
                }
                RowLayout {
                    Layout.alignment: Qt.AlignTop
                    spacing: 8

                    T.AbstractButton {
                        id: recalibrate
                        Accessible.onPressAction: recalibrate.clicked()
                        objectName: "recalibrateButton"
                        visible: page.model.recalibrateVisible
                        leftPadding: 10
                        rightPadding: 10
                        topPadding: 7
                        bottomPadding: 7
                        implicitWidth: implicitContentWidth + leftPadding + rightPadding
                        implicitHeight: implicitContentHeight + topPadding + bottomPadding
                        opacity: down ? 0.7 : 1
                        onClicked: page.model.recalibrate()
                        Accessible.name: page.model.recalibrateLabel
                        Accessible.ignored: !visible

                        FocusRing {
                            shapeRadius: recalibrate.height / 2
                        }

                        contentItem: Row {
                            spacing: 4
                            Symbol {
                                anchors.verticalCenter: parent.verticalCenter
                                name: "arrow.clockwise"
                                size: 12
                                color: Theme.textSecondary
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: page.model.recalibrateLabel
                                font: Theme.detailMedium
                                color: Theme.textSecondary
                            }
                        }
                        background: Rectangle {
                            radius: height / 2
                            color: "transparent"
                            border.color: Theme.divider
                            border.width: 0.6
                        }
                    }
                    GuideButton {
                        objectName: "guideButton"
                        accessibleName: page.model.guideAccessibleName
                        toolTipText: page.model.guideToolTip
                        onClicked: page.model.tour.open()
                    }
                }
            }

            GuidedHighlight {
                id: setupSection
                objectName: "blinkGuide-setup"
                width: parent.width
                tour: page.model.tour
                step: "setup"
                BlinkDetectionPanel {
                    width: parent.width
                    model: page.model
                }
            }

            GuidedHighlight {
                id: metricsSection
                objectName: "blinkGuide-metrics"
                width: parent.width
                tour: page.model.tour
                step: "metrics"
                Grid {
                    id: grid
                    width: parent.width
                    columns: page.model.gridColumns
                    columnSpacing: 12
                    rowSpacing: 12
                    // Tiles of one row start at one height, however long their notes.
                    verticalItemAlignment: Grid.AlignTop
                    Binding { target: page.model; property: "gridWidth"; value: grid.width }
                    Repeater {
                        model: page.model.tiles
                        BlinkMetricTile {
                            required property var modelData
                            objectName: "metricTile"
                            width: page.model.tileWidth
                            tile: modelData
                        }
                    }
                }
            }

            GuidedHighlight {
                id: signalSection
                objectName: "blinkGuide-signal"
                width: parent.width
                tour: page.model.tour
                step: "signal"
                RowLayout {
                    width: parent.width
                    spacing: 12
                    BlinkSignalCard {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        Layout.alignment: Qt.AlignTop
                        model: page.model.signalCard
                    }
                    BlinkQualityCard {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        Layout.alignment: Qt.AlignTop
                        model: page.model.quality
                    }
                }
            }

            GuidedHighlight {
                id: cadenceSection
                objectName: "blinkGuide-cadence"
                width: parent.width
                tour: page.model.tour
                step: "cadence"
                BlinkCadenceCard {
                    width: parent.width
                    model: page.model.cadence
                }
            }
        }
    }
}
