import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// The glass button: label over a glass panel of radius 6 that rises under the pointer;
// pressing dims the whole button. It stretches across the width its layout gives it.
T.Button {
    id: button
    Accessible.onPressAction: button.clicked()
    Accessible.ignored: !visible

    Layout.fillWidth: true
    implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    leftPadding: 16
    rightPadding: 16
    topPadding: 9
    bottomPadding: 9
    hoverEnabled: true
    // Named by its label, also where a caller adds a hint.
    Accessible.name: text
    // Described by the design's own interface: disabled in the tree while it is disabled
    // (a caller dims it then), and "Press" does nothing.
    readonly property int accessibleRole: Accessible.Button
    opacity: down ? 0.7 : 1
    font: Theme.bodyMedium

    contentItem: Text {
        text: button.text
        textFormat: Text.PlainText
        font: button.font
        color: Theme.textPrimary
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    FocusRing {
        shapeRadius: 6
    }

    background: Surface {
        kind: Surface.GlassPanel
        radius: 6
        hovering: button.hovered
    }
}
