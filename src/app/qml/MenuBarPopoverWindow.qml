import QtQuick
import QtQuick.Window
import Quellvista.App

// The menu-bar extra's pop-over: a frameless window 300 wide whose height follows its
// content. It closes when it loses focus.
Window {
    id: window

    property alias popover: content

    width: 300
    height: content.implicitHeight
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    color: "transparent"
    title: content.model.windowTitle

    MenuBarPopover {
        id: content
        anchors.fill: parent
        onGearMenuRequested: local => content.model.popUpGearMenu(window.x + local.x, window.y + local.y)
    }
}
