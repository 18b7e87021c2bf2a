import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Pages.Wellness

// The Break Reminders section: the header with the reminders switch and the guide
// button, the timer card beside the controls card, and the day's progress tiles. It
// follows the application's break reminder and the session history. It fills the window,
// and scrolls only where the window is lower than its content (a small screen).
Item {
    id: page

    property real mainPanelHeight: 318
    property real progressCardHeight: 126
    readonly property alias model: breaks
    readonly property alias progress: today

    BreakRemindersModel {
        id: breaks
    }
    TourFocus {
        tour: breaks.tour
        frames: [timerPart, controlsPart, progressPart]
    }

    BreakProgressModel {
        id: today
        reminder: breaks.reminder
    }

    KeepFocusInView {
        flickable: scroller
    }

    Flickable {
        id: scroller
        objectName: "pageScroller"
        anchors.fill: parent
        contentWidth: across.content
        contentHeight: Math.max(height, column.implicitHeight + 48)
        boundsBehavior: Flickable.StopAtBounds
        interactive: contentHeight > height || across.scrolls
        clip: true

        T.ScrollBar.vertical: PageScrollBar {}
        T.ScrollBar.horizontal: PageScrollBar {}

        // Laid out no narrower than the page needs: narrower windows scroll across.
        ScrollExtent {
            id: across
            view: scroller.width
        }

        ColumnLayout {
            id: column
            x: 24
            y: 24
            width: scroller.contentWidth - 48
            height: scroller.contentHeight - 48
            spacing: 12

            RowLayout {
                Layout.fillWidth: true

                ColumnLayout {
                    spacing: 4
                    Text {
                        text: breaks.title
                        font: Theme.pageTitle
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                        color: Theme.textPrimary
                    }
                    Text {
                        text: breaks.subtitle
                        font: Theme.bodyRegular
                        color: Theme.textSecondary
                    }
                }
                Item {
                    Layout.fillWidth: true
                }
                RowLayout {
                    spacing: 8

                    T.AbstractButton {
                        id: remindersSwitch
                        objectName: "remindersSwitch"
                        leftPadding: 12
                        rightPadding: 12
                        topPadding: 8
                        bottomPadding: 8
                        implicitWidth: implicitContentWidth + leftPadding + rightPadding
                        implicitHeight: implicitContentHeight + topPadding + bottomPadding
                        Accessible.name: breaks.switchAccessibleName
                        Accessible.onPressAction: remindersSwitch.clicked()
                        onClicked: breaks.toggleReminders()

                        FocusRing {
                            shapeRadius: remindersSwitch.height / 2
                        }

                        contentItem: Row {
                            spacing: 8
                            Symbol {
                                anchors.verticalCenter: parent.verticalCenter
                                name: breaks.switchSymbol
                                size: 11
                                font.weight: Font.DemiBold
                                color: breaks.switchTextColor
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: breaks.switchTitle
                                font: Theme.detailMedium
                                color: breaks.switchTextColor
                            }
                        }
                        background: Rectangle {
                            radius: height / 2
                            color: breaks.switchFill
                            border.width: 0.5
                            border.color: breaks.switchOutline
                        }
                    }

                    GuideButton {
                        objectName: "guideButton"
                        accessibleName: breaks.guideAccessibleName
                        toolTipText: breaks.guideToolTip
                        onClicked: breaks.tour.open()
                    }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: false
                Layout.preferredHeight: page.mainPanelHeight
                spacing: 12
                z: timerPart.z + controlsPart.z

                GuidedHighlight {
                    id: timerPart
                    objectName: breaks.tour.anchorId("timer")
                    tour: breaks.tour
                    step: "timer"
                    room: column
                    Layout.fillWidth: true
                    Layout.fillHeight: true

                    BreakTimerCard {
                        width: parent.width
                        height: timerPart.height - 2 * timerPart.inset
                        model: breaks
                    }
                }
                GuidedHighlight {
                    id: controlsPart
                    objectName: breaks.tour.anchorId("controls")
                    tour: breaks.tour
                    step: "controls"
                    room: column
                    Layout.preferredWidth: 318
                    Layout.fillHeight: true

                    BreakControlsCard {
                        width: parent.width
                        height: controlsPart.height - 2 * controlsPart.inset
                        model: breaks
                    }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 2

                Text {
                    Layout.alignment: Qt.AlignBaseline
                    text: today.title
                    font: Theme.cardTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                }
                Text {
                    Layout.alignment: Qt.AlignBaseline
                    text: today.subtitle
                    font: Theme.captionRegular
                    color: Theme.textTertiary
                }
                Item {
                    Layout.fillWidth: true
                }
            }

            GuidedHighlight {
                id: progressPart
                objectName: breaks.tour.anchorId("progress")
                tour: breaks.tour
                step: "progress"
                room: column
                Layout.fillWidth: true
                Layout.preferredHeight: page.progressCardHeight + 2 * inset

                RowLayout {
                    width: parent.width
                    height: page.progressCardHeight
                    spacing: 8

                    BreakProgressTile {
                        tile: today.tiles[0]
                        ProgressRing {
                            objectName: "breaksRing"
                            width: 46
                            height: 46
                            progress: today.ringProgress
                            lineWidth: 4
                            trackColor: Theme.withOpacity(Theme.accentSoft, 0.65)
                            color: Theme.accent

                            TabularText {
                                anchors.centerIn: parent
                                text: today.ringText
                                font: Theme.captionRegular
                                color: Theme.textTertiary
                            }
                        }
                    }
                    BreakProgressTile {
                        tile: today.tiles[1]
                        Sparkline {
                            width: 58
                            height: 30
                            values: today.levels
                        }
                    }
                    BreakProgressTile {
                        tile: today.tiles[2]
                        Row {
                            objectName: "weekMarks"
                            spacing: 4
                            Repeater {
                                model: today.weekMarks
                                Column {
                                    required property var modelData
                                    anchors.verticalCenter: parent.verticalCenter
                                    spacing: 3
                                    Rectangle {
                                        anchors.horizontalCenter: parent.horizontalCenter
                                        width: 7
                                        height: modelData.height
                                        radius: 3.5
                                        color: modelData.color
                                    }
                                    // At its own width and the one caption size.
                                    Text {
                                        objectName: "weekMarkLabel"
                                        anchors.horizontalCenter: parent.horizontalCenter
                                        text: modelData.label
                                        textFormat: Text.PlainText
                                        font: Theme.captionRegular
                                        color: Theme.textTertiary
                                    }
                                }
                            }
                        }
                    }
                    BreakProgressTile {
                        tile: today.tiles[3]
                        Item {
                            objectName: "weekChart"
                            width: today.weekChartWidth
                            height: today.weekChartHeight
                            Row {
                                anchors.right: parent.right
                                anchors.bottom: parent.bottom
                                spacing: 4
                                Repeater {
                                    model: today.weekBars
                                    Rectangle {
                                        required property var modelData
                                        anchors.bottom: parent.bottom
                                        width: 6
                                        height: modelData.height
                                        radius: 2
                                        color: modelData.color
                                    }
                                }
                            }
                        }
                    }
                }
            }

            Item {
                Layout.fillHeight: true
            }
        }
    }
}
