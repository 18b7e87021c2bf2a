import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.App

// The menu-bar pop-over: status header with the comfort switch, "Mode", favourite rows,
// the break section and the footer with the gear menu.
Item {
    id: popover

    property alias model: popoverModel
    // Where the gear menu should open, in global coordinates (the window supplies it).
    signal gearMenuRequested(point local)

    implicitWidth: 300
    implicitHeight: stack.implicitHeight

    MenuBarPopoverModel {
        id: popoverModel
    }

    // The panel: ultra-thin material under a dark veil, a diagonal sheen and outline.
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: Theme.appBackground
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: Theme.ultraThinMaterial
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: popoverModel.panelVeil
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        border.width: 0.8
        border.color: Theme.withOpacity("white", 0.3)
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Theme.withOpacity("white", 0.2) }
            GradientStop { position: 0.4; color: Theme.withOpacity(Theme.brandTeal, 0.055) }
            GradientStop { position: 0.7; color: Theme.withOpacity(Theme.brandRose, 0.045) }
            GradientStop { position: 1; color: Theme.withOpacity("black", 0.16) }
        }
    }

    component Rule: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 0.7
        color: Theme.withOpacity(Theme.divider, 0.72)
    }

    component PopoverText: Text {
        textFormat: Text.PlainText
        elide: Text.ElideRight
    }

    component StatusRow: RowLayout {
        property string title
        property string value
        Layout.fillWidth: true
        // One text for assistive technology: "Next Break: 29 min".
        Accessible.role: Accessible.StaticText
        Accessible.name: AccessibleTexts.figure(title, value)
        Accessible.ignored: !visible
        PopoverText {
            text: parent.title
            font: Theme.systemFont(12)
            color: Theme.textSecondary
        }
        Item { Layout.fillWidth: true }
        // Counts down and up: digits in cells of one width, so the figure keeps its place.
        TabularText {
            objectName: "statusValue"
            text: parent.value
            font: Theme.systemFont(12, Font.Medium)
            color: Theme.textPrimary
        }
    }

    component ActionButton: PopoverActionButton {
        Layout.fillWidth: true
        styles: popoverModel
    }

    ColumnLayout {
        id: stack
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 0

        // Status header.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 14
            Layout.bottomMargin: 14
            spacing: 8

            QuellvistaLogoMark {
                size: 28
                animated: popover.visible
                opacity: popoverModel.logoOpacity
                implicitWidth: 28
                implicitHeight: 28
            }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: popoverModel.statusTitle
                Accessible.description: popoverModel.statusSubtitle
                PopoverText {
                    objectName: "statusTitle"
                    Layout.fillWidth: true
                    text: popoverModel.statusTitle
                    font: Theme.systemFont(13, Font.DemiBold)
                    color: Theme.textPrimary
                }
                PopoverText {
                    Layout.fillWidth: true
                    text: popoverModel.statusSubtitle
                    font: Theme.systemFont(11)
                    color: Theme.textSecondary
                }
            }
            // Comfort switch on its capsule.
            Rectangle {
                implicitWidth: switchRow.implicitWidth + 16
                implicitHeight: switchRow.implicitHeight + 12
                radius: height / 2
                color: Theme.thinMaterial
                Rectangle {
                    anchors.fill: parent
                    radius: height / 2
                    color: Theme.withOpacity("black", 0.22)
                    border.width: 0.7
                    border.color: Theme.withOpacity(Theme.divider, 0.48)
                }
                RowLayout {
                    id: switchRow
                    anchors.centerIn: parent
                    spacing: 6
                    PopoverText {
                        Layout.preferredWidth: 18
                        horizontalAlignment: Text.AlignRight
                        text: popoverModel.comfortLabel
                        font: Theme.systemFont(10, Font.Medium)
                        color: popoverModel.comfortLabelColor
                    }
                    SageToggle {
                        objectName: "comfortSwitch"
                        isOn: popoverModel.comfortTuningOn
                        tint: Theme.accent
                        scale: 0.88
                        accessibleValue: popoverModel.comfortLabel
                        Accessible.name: popoverModel.comfortSwitchName
                        Accessible.description: popoverModel.comfortSwitchDescription
                        onToggled: on => popoverModel.setComfortTuning(on)
                    }
                }
                HoverHandler { id: switchHover }
                HelpTip {
                    visible: switchHover.hovered
                    text: popoverModel.comfortToolTip
                }
            }
        }

        Rule {}

        // "Mode".
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            Layout.topMargin: 8
            PopoverText {
                text: popoverModel.modeTitle
                font: Theme.systemFont(11, Font.Medium)
                color: Theme.textSecondary
            }
            Item { Layout.fillWidth: true }
            PopoverText {
                objectName: "modeText"
                Layout.maximumWidth: 200
                text: popoverModel.modeText
                font: Theme.systemFont(11, Font.Medium)
                color: Theme.accent
            }
        }

        // Favourites.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            spacing: 6
            PopoverText {
                text: popoverModel.favoritesTitle
                font: Theme.systemFont(11, Font.Medium)
                color: Theme.textSecondary
            }
            PopoverText {
                visible: popoverModel.showsFavoritesHint
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                text: popoverModel.favoritesHint
                font: Theme.systemFont(11)
                color: Theme.textTertiary
            }
            // The rows are placed by their index (see the model): no layout holds them.
            Item {
                id: favoriteRows
                objectName: "favoriteRows"
                visible: popoverModel.favoritesHeight > 0
                Layout.fillWidth: true
                implicitHeight: popoverModel.favoritesHeight
                Repeater {
                    model: popoverModel.favorites
                    delegate: PopoverFavoriteRow {
                        required property var modelData
                        required property int index
                        y: index * popoverModel.favoriteRowPitch
                        width: favoriteRows.width
                        height: popoverModel.favoriteRowHeight
                        row: modelData
                        onClicked: popoverModel.activateFavorite(index)
                    }
                }
            }
        }

        Rule {}

        // Break section: reminders on.
        ColumnLayout {
            visible: popoverModel.breakRemindersOn
            Layout.fillWidth: true
            spacing: 0
            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                Layout.topMargin: 11
                Layout.bottomMargin: 11
                spacing: 7
                StatusRow { title: popoverModel.nextBreakTitle; value: popoverModel.nextBreakText }
                StatusRow { title: popoverModel.breaksTodayTitle; value: popoverModel.breaksTodayText }
                StatusRow { title: popoverModel.screenTimeTitle; value: popoverModel.screenTimeText }
            }
            Rule {}
            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                Layout.topMargin: 11
                Layout.bottomMargin: 11
                spacing: 7
                ActionButton {
                    title: popoverModel.resetTimerTitle
                    symbol: "arrow.counterclockwise"
                    onClicked: popoverModel.resetTimer()
                }
                ActionButton {
                    title: popoverModel.pauseForOneHourTitle
                    symbol: "pause.fill"
                    onClicked: popoverModel.pauseForOneHour()
                }
                ActionButton {
                    title: popoverModel.turnOffRemindersTitle
                    symbol: "bell.slash"
                    onClicked: popoverModel.setBreakRemindersOn(false)
                }
            }
            Rule {}
        }

        // Break section: reminders off.
        ColumnLayout {
            visible: !popoverModel.breakRemindersOn
            Layout.fillWidth: true
            spacing: 0
            ColumnLayout {
                Layout.fillWidth: true
                Layout.margins: 12
                spacing: 8
                PopoverText {
                    text: popoverModel.remindersOffText
                    font: Theme.systemFont(12, Font.Medium)
                    color: Theme.textPrimary
                }
                ActionButton {
                    title: popoverModel.turnOnRemindersTitle
                    symbol: "clock"
                    onClicked: popoverModel.setBreakRemindersOn(true)
                }
            }
            Rule {}
        }

        // Footer: "Open Quellvista" and the gear menu, both buttons that Tab reaches.
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            T.AbstractButton {
                id: openButton
                objectName: "openButton"
                implicitWidth: openLabel.implicitWidth
                implicitHeight: openLabel.implicitHeight
                Accessible.name: popoverModel.openMainWindowTitle
                Accessible.onPressAction: openButton.clicked()
                onClicked: popoverModel.openMainWindow()
                // A little room round the text.
                FocusRing {
                    x: -6
                    y: -4
                    width: openButton.width + 12
                    height: openButton.height + 8
                    shapeRadius: 6
                }
                PopoverText {
                    id: openLabel
                    text: popoverModel.openMainWindowTitle
                    font: Theme.systemFont(12)
                    color: Theme.textPrimary
                }
            }
            Item { Layout.fillWidth: true }
            T.AbstractButton {
                id: gear
                objectName: "gearButton"
                Layout.preferredWidth: 18
                implicitHeight: gearSymbol.implicitHeight
                Accessible.name: popoverModel.gearMenuName
                Accessible.role: Accessible.ButtonMenu
                Accessible.onPressAction: gear.clicked()
                onClicked: popover.gearMenuRequested(gear.mapToItem(popover, 0, gear.height + 4))
                FocusRing {
                    shapeRadius: 4
                }
                Symbol {
                    id: gearSymbol
                    anchors.centerIn: parent
                    name: "gearshape"
                    size: 12
                    color: Theme.textSecondary
                }
            }
        }
    }

    Shortcut {
        sequence: StandardKey.Open
        onActivated: popoverModel.openMainWindow()
    }
}
