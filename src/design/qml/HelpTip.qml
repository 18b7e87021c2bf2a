import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// The hover help of a control: a small raised label that shows after the pointer rests
// on its parent. Place it inside the control: HelpTip { text: "..." }.
T.ToolTip {
    id: tip

    visible: parent && parent.hovered === true
    delay: 600
    implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight, implicitContentHeight + topPadding + bottomPadding)
    x: (parent ? parent.width - implicitWidth : 0) / 2
    y: -implicitHeight - 6
    // Kept 6 from the window's edges: a tip with no room above its control shows below it.
    margins: 6
    padding: 6
    leftPadding: 8
    rightPadding: 8

    contentItem: Text {
        text: tip.text
        textFormat: Text.PlainText
        font: Theme.captionRegular
        color: Theme.textPrimary
    }

    background: Rectangle {
        radius: 5
        color: Theme.surfaceRaised
        border.color: Theme.panelStroke
        border.width: 1
    }
}
