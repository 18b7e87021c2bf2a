import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Support

// The Support section: updates, feedback and about cards, then the display notes.
Item {
    id: page

    SupportPageModel {
        id: support
    }

    KeepFocusInView {
        flickable: scroller
    }

    Flickable {
        id: scroller
        anchors.fill: parent
        contentWidth: across.content
        contentHeight: column.implicitHeight + 48
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }
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
            spacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                spacing: 4

                Text {
                    text: support.pageTitle
                    font: Theme.pageTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                }
                Text {
                    Layout.fillWidth: true
                    text: support.pageSubtitle
                    font: Theme.bodyRegular
                    color: Theme.textSecondary
                    elide: Text.ElideRight
                }
            }

            // The notice that an unreadable feedback file was kept aside.
            Text {
                Layout.fillWidth: true
                visible: support.storeNotice !== ""
                text: support.storeNotice
                textFormat: Text.PlainText
                font: Theme.detailRegular
                color: Theme.copper
                wrapMode: Text.Wrap
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 8
                rowSpacing: 12

                SupportCard {
                    tint: Theme.accent
                    symbol: "arrow.triangle.2.circlepath"
                    title: support.updatesTitle
                    subtitle: support.updatesSubtitle

                    Text {
                        width: parent.width
                        text: support.updateStatus
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }
                    SecondaryButton {
                        id: updateButton
                        text: support.updateButtonLabel
                        enabled: support.updateButtonEnabled
                        contentItem: SymbolLabel {
                            symbol: "arrow.clockwise"
                            text: updateButton.text
                            font: updateButton.font
                        }
                        HelpTip {
                            text: support.updateButtonHelp
                        }
                        onClicked: support.checkForUpdates()
                    }
                    Text {
                        width: parent.width
                        visible: support.updateMessage !== ""
                        text: support.updateMessage
                        textFormat: Text.PlainText
                        font: Theme.captionRegular
                        color: Theme.textTertiary
                        wrapMode: Text.Wrap
                    }
                }

                SupportCard {
                    tint: Theme.brandLavender
                    symbol: "bubble.left.and.bubble.right"
                    title: support.feedbackTitle
                    subtitle: support.feedbackSubtitle

                    Text {
                        width: parent.width
                        text: support.feedbackIntro
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }
                    SymbolLabel {
                        visible: support.feedbackConfirmation !== ""
                        symbol: "checkmark.circle.fill"
                        text: support.feedbackConfirmation
                        font: Theme.captionRegular
                        color: Theme.sage
                    }
                    Row {
                        spacing: 8

                        SecondaryButton {
                            id: leaveButton
                            objectName: "leaveComment"
                            text: support.leaveCommentLabel
                            contentItem: SymbolLabel {
                                symbol: "text.bubble"
                                text: leaveButton.text
                                font: leaveButton.font
                            }
                            onClicked: support.leaveComment()
                        }
                        SecondaryButton {
                            id: reviewButton
                            visible: support.hasSavedFeedback
                            text: support.reviewLabel
                            contentItem: SymbolLabel {
                                symbol: "folder"
                                text: reviewButton.text
                                font: reviewButton.font
                            }
                            HelpTip {
                                text: support.reviewHelp
                            }
                            onClicked: support.revealFeedbackFile()
                        }
                    }
                    Text {
                        visible: support.hasSavedFeedback
                        text: support.savedCountText
                        font: Theme.captionRegular
                        color: Theme.textTertiary
                    }
                    Text {
                        width: parent.width
                        visible: support.revealNotice !== ""
                        text: support.revealNotice
                        textFormat: Text.PlainText
                        font: Theme.captionRegular
                        color: Theme.textSecondary
                        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                    }
                }

                SupportCard {
                    tint: Theme.accentMuted
                    symbol: "sparkles"
                    title: support.aboutTitle
                    subtitle: support.aboutSubtitle

                    Text {
                        width: parent.width
                        text: support.aboutText
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }
                    Row {
                        width: parent.width
                        spacing: 12

                        Repeater {
                            model: [[support.versionTitle, support.versionText], [support.supportTitle, support.supportContact]]

                            Column {
                                required property var modelData
                                width: (parent.width - 12) / 2
                                spacing: 2

                                Text {
                                    text: parent.modelData[0]
                                    font: Theme.captionRegular
                                    color: Theme.textTertiary
                                }
                                Text {
                                    width: parent.width
                                    text: parent.modelData[1]
                                    textFormat: Text.PlainText
                                    font: Theme.detailMedium
                                    color: Theme.textPrimary
                                    fontSizeMode: Text.HorizontalFit
                                    minimumPixelSize: Math.floor(Theme.detailMedium.pixelSize * 0.72)
                                    elide: Text.ElideRight
                                }
                            }
                        }
                    }
                }
            }

            Card {
                Layout.fillWidth: true
                padding: 12

                Column {
                    width: parent.width
                    spacing: 8

                    // The notes header: the whole row toggles the list (Space or Return
                    // too).
                    T.AbstractButton {
                        id: notesButton
                        Accessible.onPressAction: notesButton.clicked()
                        objectName: "notesHeader"
                        width: parent.width
                        height: notesHeader.implicitHeight
                        Accessible.name: support.notesTitle
                        // Whether the notes are open, as its value and its state.
                        readonly property string accessibleValue: AccessibleTexts.expanded(support.showDisplayNotes)
                        readonly property bool accessibleExpanded: support.showDisplayNotes
                        onClicked: support.toggleDisplayNotes()

                        FocusRing {
                            shapeRadius: 8
                        }

                        RowLayout {
                            id: notesHeader
                            anchors.fill: parent
                            spacing: 8

                            Rectangle {
                                width: 28
                                height: 28
                                radius: 14
                                color: Theme.withOpacity(Theme.accentSoft, 0.55)

                                Symbol {
                                    anchors.centerIn: parent
                                    name: "book.closed"
                                    size: 13
                                    font.weight: Font.Medium
                                    color: Theme.accent
                                }
                            }
                            CardTitleBlock {
                                Layout.fillWidth: true
                                title: support.notesTitle
                                subtitle: support.notesSubtitle
                            }
                            Text {
                                text: support.notesToggleLabel
                                font: Theme.detailMedium
                                color: Theme.accent
                            }
                            Symbol {
                                name: "chevron.right"
                                size: 11
                                font.weight: Font.DemiBold
                                color: Theme.textTertiary
                                rotation: support.showDisplayNotes ? 90 : 0
                                Behavior on rotation {
                                    NumberAnimation {
                                        duration: 220
                                        easing.type: Easing.InOutQuad
                                    }
                                }
                            }
                        }
                    }

                    // The topic list fades in while it moves down from the top edge.
                    Column {
                        id: topicList
                        width: parent.width
                        spacing: 8
                        visible: opacity > 0
                        opacity: support.showDisplayNotes ? 1 : 0
                        transform: Translate {
                            y: (topicList.opacity - 1) * 12
                        }
                        Behavior on opacity {
                            NumberAnimation {
                                duration: 220
                                easing.type: Easing.InOutQuad
                            }
                        }

                        Repeater {
                            model: support.topics

                            TopicRow {
                                required property var modelData
                                required property int index
                                width: parent.width
                                topic: modelData
                                warningTint: support.warningTint
                                expanded: support.expandedTopic === index
                                onToggled: support.toggleTopic(index)
                            }
                        }
                    }
                }
            }
        }
    }

    // The composer sheet, a fresh one for every presentation; it covers the whole window.
    Loader {
        parent: page.Window.contentItem ? page.Window.contentItem : page
        anchors.fill: parent
        z: 100
        active: support.showingFeedbackComposer
        sourceComponent: FeedbackComposerSheet {
            page: support
        }
    }
}
