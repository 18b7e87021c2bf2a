import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Support

// The modal sheet in which the user writes one feedback note; it covers the page and
// takes every click until it closes. The comment takes the keyboard focus when it opens
// (the contact is optional), Tab stays inside it, Esc cancels it, and the focus then goes back to the button
// that opened it.
Item {
    id: sheet

    property alias page: composer.page
    readonly property int margin: 16
    readonly property int narrowest: 360

    FeedbackComposerModel {
        id: composer
    }

    SheetFocus {
        scope: sheet
        initialItem: commentEditor
        active: true
        onEscapePressed: composer.cancel()
    }

    Rectangle {
        anchors.fill: parent
        color: composer.backdropColor

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
        }
    }

    // A window smaller than the sheet scrolls it, either way, and keeps the focused field in
    // view.
    Flickable {
        id: scroller
        objectName: "sheetScroller"
        anchors.fill: parent
        contentWidth: across.content
        contentHeight: down.content
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        T.ScrollBar.horizontal: PageScrollBar {}
        T.ScrollBar.vertical: PageScrollBar {}

        ScrollExtent {
            id: across
            view: scroller.width
            needed: card.width + 2 * sheet.margin
        }
        ScrollExtent {
            id: down
            view: scroller.height
            needed: card.height + 2 * sheet.margin
        }
        KeepFocusInView {
            flickable: scroller
        }

        Rectangle {
            id: card
            anchors.centerIn: parent
            // A dialog for assistive technology, named by its title.
            Accessible.role: Accessible.Dialog
            Accessible.name: composer.title
            Accessible.description: composer.subtitle
            // Narrower in a narrow window, down to what its rows need.
            width: Math.max(sheet.narrowest, Math.min(560, sheet.width - 2 * sheet.margin))
            height: form.implicitHeight + 48
            radius: 12
            color: Theme.appBackground
            border.color: Theme.panelStroke
            border.width: 1

            ColumnLayout {
                id: form
                x: 24
                y: 24
                width: parent.width - 48
                spacing: 12

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    Rectangle {
                        Layout.alignment: Qt.AlignTop
                        width: 34
                        height: 34
                        radius: 17
                        color: Theme.withOpacity(Theme.brandLavender, 0.14)

                        Symbol {
                            anchors.centerIn: parent
                            name: "text.bubble"
                            size: 15
                            font.weight: Font.Medium
                            color: Theme.brandLavender
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 3

                        Text {
                            text: composer.title
                            font: Theme.sheetTitle
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: composer.subtitle
                            font: Theme.detailRegular
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    Text {
                        text: composer.categoryTitle
                        textFormat: Text.PlainText
                        font: Theme.detailRegular
                        color: Theme.textPrimary
                    }
                    SegmentedPicker {
                        objectName: "categoryPicker"
                        Layout.fillWidth: true
                        implicitHeight: 26
                        options: composer.categories
                        currentIndex: composer.categoryIndex
                        onChosen: index => composer.categoryIndex = index
                    }
                }

                TextField {
                    id: contactField
                    objectName: "contactField"
                    Layout.fillWidth: true
                    maximumLength: composer.contactMaximumLength
                    placeholderText: composer.contactPlaceholder
                    placeholderTextColor: Theme.textTertiary
                    Accessible.name: composer.contactPlaceholder
                    text: composer.contact
                    onTextEdited: composer.contact = text
                    font: Theme.detailRegular
                    color: Theme.textPrimary
                    selectByMouse: true
                    background: Rectangle {
                        radius: 5
                        color: Theme.surface
                        border.color: Theme.divider
                        border.width: 1
                    }
                    FocusRing {
                        shapeRadius: 5
                        shown: contactField.activeFocus && (contactField.focusReason === Qt.TabFocusReason || contactField.focusReason === Qt.BacktabFocusReason)
                    }

                    TextLimit {
                        id: contactLimit
                        target: contactField
                        maximumLength: composer.contactMaximumLength
                    }
                }
                SymbolLabel {
                    objectName: "contactCutNote"
                    visible: contactLimit.wasCut
                    symbol: "exclamationmark.triangle"
                    text: composer.contactCutNote
                    font: Theme.captionRegular
                    color: Theme.copper
                }

                Item {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 150

                    Rectangle {
                        anchors.fill: parent
                        radius: 6
                        color: Theme.withOpacity(Theme.surface, 0.78)
                        border.color: Theme.withOpacity(Theme.divider, 0.65)
                        border.width: 0.7
                    }
                    FocusRing {
                        shapeRadius: 6
                        shown: commentEditor.activeFocus && (commentEditor.focusReason === Qt.TabFocusReason || commentEditor.focusReason === Qt.BacktabFocusReason)
                    }
                    ScrollView {
                        anchors.fill: parent

                        TextArea {
                            id: commentEditor
                            objectName: "commentEditor"
                            Accessible.name: composer.commentName
                            Accessible.description: composer.commentPlaceholder
                            padding: 8
                            topPadding: 8
                            text: composer.comment
                            onTextChanged: composer.comment = text
                            textFormat: TextEdit.PlainText
                            wrapMode: TextEdit.Wrap
                            font: Theme.detailRegular
                            color: Theme.textPrimary
                            selectByMouse: true
                            background: null

                            TextLimit {
                                id: commentLimit
                                target: commentEditor
                                maximumLength: composer.commentMaximumLength
                                multiLine: true
                            }
                        }
                    }
                    Text {
                        x: 13
                        y: 16
                        width: parent.width - 26
                        visible: composer.placeholderVisible
                        text: composer.commentPlaceholder
                        font: Theme.detailRegular
                        color: Theme.textTertiary
                        wrapMode: Text.Wrap
                    }
                }

                SymbolLabel {
                    objectName: "commentCutNote"
                    visible: commentLimit.wasCut
                    symbol: "exclamationmark.triangle"
                    text: composer.commentCutNote
                    font: Theme.captionRegular
                    color: Theme.copper
                }

                SymbolLabel {
                    objectName: "errorLine"
                    visible: composer.errorText !== ""
                    symbol: "exclamationmark.triangle"
                    text: composer.errorText
                    font: Theme.captionRegular
                    color: Theme.copper
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    Item {
                        Layout.fillWidth: true
                    }
                    SecondaryButton {
                        objectName: "cancelButton"
                        Layout.fillWidth: false
                        text: composer.cancelLabel
                        onClicked: composer.cancel()
                    }
                    PrimaryButton {
                        id: saveButton
                        objectName: "saveButton"
                        Layout.fillWidth: false
                        text: composer.saveLabel
                        enabled: composer.canSave
                        opacity: enabled ? 1 : 0.5
                        contentItem: SymbolLabel {
                            symbol: "checkmark"
                            text: saveButton.text
                            font: saveButton.font
                            color: "white"
                        }
                        background: Surface {
                            kind: Surface.PrimaryButton
                            radius: 10
                            pressed: saveButton.down
                        }
                        onClicked: composer.save()
                    }
                }
            }
        }
    }
}
