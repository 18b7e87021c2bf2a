import QtQuick
import Quellvista.Design

// The keyboard focus ring of a control: the accent, 2 pixels wide, just outside the
// control's shape (a rounded rectangle of `shapeRadius` over the control). It shows only
// while the control has the focus from the keyboard (Tab, Shift+Tab), not after a click.
// Place it inside the control: FocusRing { shapeRadius: 6 }.
Rectangle {
    property Item control: parent
    property real shapeRadius: 0
    property bool shown: control !== null && control.visualFocus === true
    readonly property real gap: 1

    x: -(border.width + gap)
    y: -(border.width + gap)
    width: control ? control.width + 2 * (border.width + gap) : 0
    height: control ? control.height + 2 * (border.width + gap) : 0
    radius: shapeRadius > 0 ? shapeRadius + border.width + gap : 0
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    visible: shown
    z: 1000
    Accessible.ignored: true
}
