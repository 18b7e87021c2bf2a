import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Pages.DisplayComfort.Blocks

// The "Comfort profiles" card: the tiles of the starter presets, the saved profiles and
// "New profile" (or the notice while every starter is hidden), the profile intensity,
// the tiles' context menus and the rename sheet. Names are plain text.
Card {
    id: card

    readonly property alias model: gridModel
    // The context menu open now, if any (for tests and screenshots).
    property var openMenu: null
    // Whether the tile that saved a new profile had its focus from the keyboard: the new
    // tile then shows its ring too.
    property bool focusFromKeyboard: false

    padding: 16

    ComfortProfilesGridModel {
        id: gridModel
    }

    ColumnLayout {
        width: parent.width
        spacing: 12

        // Header
        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Column {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                spacing: 2

                Text {
                    width: parent.width
                    text: gridModel.title
                    font: Theme.cardTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                }
                Text {
                    width: parent.width
                    text: gridModel.subtitle
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                }
            }
            Text {
                Layout.alignment: Qt.AlignTop
                Layout.maximumWidth: card.width * 0.4
                text: gridModel.activeText
                textFormat: Text.PlainText
                font: Theme.detailMedium
                color: Theme.accent
                maximumLineCount: 1
                elide: Text.ElideRight
            }
        }

        // Tiles, four to a row
        GridLayout {
            Layout.fillWidth: true
            visible: gridModel.showsGrid
            columns: 4
            columnSpacing: 8
            rowSpacing: 8

            Repeater {
                id: tiles
                model: gridModel

                // A tile is a button: Tab reaches it, Space or Return applies it, and the
                // Menu key or Shift+F10 opens its menu.
                T.AbstractButton {
                    id: tile

                    required property int index
                    required property var model

                    objectName: "profileTile-" + index
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.minimumWidth: 10
                    Layout.alignment: Qt.AlignTop
                    // The tiles of a row are as tall as its tallest.
                    Layout.fillHeight: true
                    implicitHeight: Math.max(tile.model.minimumHeight, tileRow.implicitHeight + 16)
                    Accessible.role: Accessible.Button
                    Accessible.name: tile.model.accessibleName
                    Accessible.description: tile.model.accessibleHint
                    Accessible.selected: tile.model.active
                    Accessible.onPressAction: tile.clicked()
                    onClicked: {
                        card.focusFromKeyboard = tile.visualFocus
                        gridModel.activate(tile.index)
                    }
                    Keys.onPressed: event => {
                        if (tile.model.kind !== "new" && KeyboardControl.opensMenu(event.key, event.modifiers)) {
                            tileMenu.openAt(8, tile.height - 4, true)
                            event.accepted = true
                        }
                    }

                    FocusRing {
                        shapeRadius: 10
                    }

                    Rectangle {
                        anchors.fill: parent
                        radius: 10
                        color: tile.model.fill
                        border.color: tile.model.stroke
                        border.width: tile.model.dashed ? 0 : tile.model.strokeWidth
                    }
                    DashedOutline {
                        anchors.fill: parent
                        visible: tile.model.dashed
                        radius: 10
                        color: tile.model.stroke
                        lineWidth: tile.model.strokeWidth
                    }

                    RowLayout {
                        id: tileRow
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.top: parent.top
                        anchors.margins: 8
                        anchors.verticalCenterOffset: 0
                        spacing: 8

                        Rectangle {
                            visible: tile.model.kind !== "saved"
                            Layout.alignment: Qt.AlignTop
                            implicitWidth: 32
                            implicitHeight: 32
                            radius: 6
                            color: tile.model.badgeFill

                            Symbol {
                                anchors.centerIn: parent
                                name: tile.model.symbol
                                size: 14
                                font.weight: tile.model.kind === "new" ? Font.DemiBold : Font.Medium
                                color: tile.model.symbolColor
                            }
                        }
                        Symbol {
                            visible: tile.model.kind === "saved"
                            name: tile.model.symbol
                            size: 13
                            font.weight: Font.Medium
                            color: tile.model.symbolColor
                        }
                        Column {
                            Layout.fillWidth: true
                            Layout.rightMargin: tile.model.kind === "saved" ? 40 : 24
                            spacing: tile.model.kind === "saved" ? 2 : 3

                            RowLayout {
                                width: parent.width
                                spacing: 4

                                Text {
                                    Layout.fillWidth: true
                                    text: tile.model.title
                                    textFormat: Text.PlainText
                                    font: Theme.detailMedium
                                    color: tile.model.titleColor
                                    maximumLineCount: 1
                                    elide: Text.ElideRight
                                    fontSizeMode: tile.model.kind === "preset" ? Text.HorizontalFit : Text.FixedSize
                                    minimumPixelSize: Math.floor(Theme.detailMedium.pixelSize * 0.75)
                                }
                                Text {
                                    visible: text.length > 0 && !tile.model.hintOnOwnLine
                                    text: tile.model.hint
                                    textFormat: Text.PlainText
                                    font.family: "monospace"
                                    font.pixelSize: 9
                                    color: tile.model.hintColor
                                }
                            }
                            RowLayout {
                                width: parent.width
                                spacing: 4

                                Text {
                                    Layout.fillWidth: true
                                    text: tile.model.subtitle
                                    textFormat: Text.PlainText
                                    font: Theme.captionRegular
                                    color: tile.model.subtitleColor
                                    maximumLineCount: 1
                                    elide: Text.ElideRight
                                }
                                Rectangle {
                                    visible: tile.model.customized
                                    implicitWidth: 4
                                    implicitHeight: 4
                                    radius: 2
                                    color: tile.model.dotColor
                                    Accessible.ignored: true
                                }
                            }
                            // A key that cannot be pressed says so on a second line.
                            Text {
                                visible: tile.model.hintOnOwnLine && text.length > 0
                                width: parent.width
                                text: tile.model.hint
                                textFormat: Text.PlainText
                                font.family: "monospace"
                                font.pixelSize: 9
                                color: tile.model.hintColor
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                            }
                        }
                    }

                    Symbol {
                        visible: tile.model.favorite
                        anchors.top: parent.top
                        anchors.right: parent.right
                        anchors.margins: 10
                        name: "star.fill"
                        size: 11
                        font.weight: Font.Medium
                        color: tile.model.starColor
                    }

                    MouseArea {
                        anchors.fill: parent
                        acceptedButtons: Qt.LeftButton | Qt.RightButton
                        onClicked: mouse => {
                            if (mouse.button === Qt.RightButton && tile.model.kind !== "new")
                                tileMenu.openAt(mouse.x, mouse.y)
                            else if (mouse.button === Qt.LeftButton)
                                tile.clicked()
                        }
                    }

                    PopupMenu {
                        id: tileMenu
                        entries: tile.model.menu
                        onOpened: card.openMenu = tileMenu
                        onClosed: if (card.openMenu === tileMenu) card.openMenu = null
                        onChosen: action => gridModel.trigger(tile.index, action)
                    }
                }
            }
        }

        // Shown in place of the grid while every starter profile is hidden
        Rectangle {
            Layout.fillWidth: true
            visible: !gridModel.showsGrid
            implicitHeight: noticeColumn.implicitHeight + 16
            radius: 6
            color: Theme.withOpacity(Theme.accentSoft, 0.25)

            Column {
                id: noticeColumn
                x: 8
                y: 8
                width: parent.width - 16
                spacing: 4

                Text {
                    width: parent.width
                    text: gridModel.hiddenNotice
                    font: Theme.detailMedium
                    color: Theme.textPrimary
                    wrapMode: Text.Wrap
                }
                SecondaryButton {
                    objectName: "restoreStartersButton"
                    // 170 wide, or as wide as its whole label needs.
                    width: Math.max(170, implicitWidth)
                    text: gridModel.restoreText
                    onClicked: gridModel.restoreStarters()
                }
            }
        }

        // Profile intensity
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: intensityColumn.implicitHeight + 16
            radius: 6
            color: Theme.withOpacity(Theme.surfaceRaised, 0.42)
            border.color: Theme.withOpacity(Theme.divider, 0.65)
            border.width: 0.5

            ColumnLayout {
                id: intensityColumn
                anchors.fill: parent
                anchors.margins: 8
                spacing: 4

                Text {
                    text: gridModel.intensityTitle
                    font: Theme.detailMedium
                    color: Theme.textPrimary
                }
                TintedSlider {
                    id: intensitySlider
                    Layout.fillWidth: true
                    from: 0
                    to: 1
                    value: gridModel.intensity
                    tint: drift.color
                    accessibleValue: gridModel.intensityAccessibleValue
                    Accessible.name: gridModel.intensityTitle
                    onMoved: gridModel.moveIntensity(value)
                    onPressedChanged: gridModel.setIntensityDragging(pressed)
                }
            }
            DriftingTint {
                id: drift
            }
        }
    }

    // After "New profile", the focus goes to the new profile's tile.
    Connections {
        target: gridModel
        function onTileToFocus(row) {
            const tile = tiles.itemAt(row)
            if (tile)
                KeyboardControl.focus(tile, card.focusFromKeyboard)
        }
    }

    // The rename sheet: shown while a profile is being renamed.
    T.Popup {
        id: sheet

        parent: T.Overlay.overlay
        x: parent ? (parent.width - width) / 2 : 0
        y: parent ? Math.max(16, (parent.height - height) / 3) : 0
        // Narrower in a narrow window; kept inside the window.
        width: parent ? Math.min(340, parent.width - 2 * margins) : 340
        margins: 8
        implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
        padding: 16
        modal: true
        dim: true
        focus: true
        visible: gridModel.renaming
        closePolicy: T.Popup.CloseOnEscape

        onAboutToShow: nameField.text = gridModel.renameInitialName
        // The name is selected: typing replaces it.
        onOpened: nameField.selectAll()
        onClosed: gridModel.cancelRename()

        // The name field takes the focus; Tab stays in the sheet; Esc closes it (its
        // close policy) and the focus goes back to the tile.
        SheetFocus {
            scope: sheet.contentItem
            initialItem: nameField
            active: sheet.opened
            closesOnEscape: false
        }

        T.Overlay.modal: Rectangle {
            color: Theme.withOpacity("black", 0.25)
        }

        background: Rectangle {
            radius: 12
            color: Theme.surface
            border.color: Theme.divider
            border.width: 0.6
        }

        contentItem: ColumnLayout {
            spacing: 12
            // A dialog for assistive technology, named by its title.
            Accessible.role: Accessible.Dialog
            Accessible.name: gridModel.renameTitle

            Text {
                Layout.fillWidth: true
                text: gridModel.renameTitle
                textFormat: Text.PlainText
                font: Theme.cardTitle
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: Theme.textPrimary
                elide: Text.ElideRight
            }
            RoundedTextField {
                id: nameField
                objectName: "renameField"
                Layout.fillWidth: true
                placeholderText: gridModel.renamePlaceholder
                maximumLength: gridModel.nameMaximumLength
                onAccepted: gridModel.submitRename(text)

                TextLimit {
                    id: nameLimit
                    target: nameField
                    maximumLength: gridModel.nameMaximumLength
                }
            }
            SymbolLabel {
                objectName: "renameCutNote"
                visible: nameLimit.wasCut
                symbol: "exclamationmark.triangle"
                text: gridModel.nameCutNote
                font: Theme.captionRegular
                color: Theme.copper
            }
            RowLayout {
                Layout.fillWidth: true

                Item {
                    Layout.fillWidth: true
                }
                SecondaryButton {
                    Layout.fillWidth: false
                    Layout.preferredWidth: 82
                    text: gridModel.cancelText
                    onClicked: gridModel.cancelRename()
                }
                PrimaryButton {
                    Layout.fillWidth: false
                    Layout.preferredWidth: 82
                    text: gridModel.saveText
                    enabled: gridModel.canSave(nameField.text)
                    opacity: enabled ? 1 : 0.45
                    onClicked: gridModel.saveRename(nameField.text)
                }
            }
        }
    }
}
