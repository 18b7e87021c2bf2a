import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// The filled button: white label on an accent-to-teal gradient that dims while pressed;
// the whole button, label included, casts the shadow. It stretches across the width its
// layout gives it.
T.Button {
    id: button
    Accessible.onPressAction: button.clicked()
    Accessible.ignored: !visible

    Layout.fillWidth: true
    implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    leftPadding: 16
    rightPadding: 16
    topPadding: 11
    bottomPadding: 11
    hoverEnabled: true
    // Named by its label, also where a caller adds a hint.
    Accessible.name: text
    // Described by the design's own interface: disabled in the tree while it is disabled
    // (a caller dims it then), and "Press" does nothing.
    readonly property int accessibleRole: Accessible.Button
    font: Theme.bodyMedium

    contentItem: Text {
        text: button.text
        textFormat: Text.PlainText
        font: button.font
        color: "white"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    FocusRing {
        shapeRadius: 10
        fill: Theme.accentTint
    }

    background: Surface {
        kind: Surface.PrimaryButton
        radius: 10
        pressed: button.down
        label: button.text
        labelFont: button.font
        labelInset: button.leftPadding
    }
}
