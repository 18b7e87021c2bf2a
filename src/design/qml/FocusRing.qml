import QtQuick
import Quellvista.Design

// The keyboard focus ring of a control: 2 pixels wide as drawn (also on a scaled control),
// just outside the control's shape (a rounded rectangle of `shapeRadius` over the control),
// in a colour that stands out from both the control's `fill` and the `background` round
// it (the theme decides: the accent unless the control is filled with it). It shows only
// while the control has the focus from the keyboard (Tab, Shift+Tab), not after a click.
// Place it inside the control: FocusRing { shapeRadius: 6 }.
Rectangle {
    property Item control: parent
    property real shapeRadius: 0
    property color fill: "transparent"
    property color background: Theme.surface
    property bool shown: control !== null && control.visualFocus === true
    readonly property real gap: 1

    x: -(border.width + gap)
    y: -(border.width + gap)
    width: control ? control.width + 2 * (border.width + gap) : 0
    height: control ? control.height + 2 * (border.width + gap) : 0
    radius: shapeRadius > 0 ? shapeRadius + border.width + gap : 0
    color: "transparent"
    border.width: 2 / Math.max(0.25, control ? control.scale : 1)
    border.color: Theme.focusRing(fill, background)
    visible: shown
    z: 1000
    Accessible.ignored: true

    // Between the ring and the control, where the ring alone would not stand out from the fill.
    Rectangle {
        anchors.fill: parent
        anchors.margins: parent.border.width
        radius: Math.max(0, parent.radius - parent.border.width)
        color: "transparent"
        border.width: parent.gap
        border.color: Theme.focusRingGap(parent.fill, parent.background)
    }
}
