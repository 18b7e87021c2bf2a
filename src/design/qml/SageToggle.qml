import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// The shared switch: a 36 by 20 track with a 16-point white knob, tinted when on. It has
// no text; callers put their label beside it. It keeps no state of its own: `isOn` is
// bound by the caller, and a click asks for the opposite through toggled(isOn), which
// the caller writes into what `isOn` is bound to; the knob then slides with a spring.
// Assigning `isOn` here would cut the caller's binding, and the switch would stop
// following its setting.
T.AbstractButton {
    id: toggle

    property bool isOn: false
    property color tint: Theme.sage
    // What assistive technology reads as the value and the checked state; callers give the name.
    property string accessibleValue: AccessibleTexts.onOff(isOn)
    readonly property bool accessibleChecked: isOn

    signal toggled(bool isOn)

    implicitWidth: 36
    implicitHeight: 20
    padding: 0
    hoverEnabled: true

    Accessible.role: Accessible.CheckBox
    Accessible.ignored: !visible

    onClicked: toggled(!isOn)

    background: Rectangle {
        radius: height / 2
        color: toggle.isOn ? toggle.tint : Theme.track

        Behavior on color {
            ColorAnimation { duration: Theme.toggleSpringDuration; easing: Theme.toggleSpring }
        }
    }

    FocusRing {
        shapeRadius: toggle.height / 2
        fill: toggle.isOn ? toggle.tint : Theme.track
    }

    contentItem: Item {
        Surface {
            kind: Surface.Knob
            width: 16
            height: 16
            y: 2
            x: toggle.isOn ? toggle.width - width - 2 : 2

            Behavior on x {
                NumberAnimation { duration: Theme.toggleSpringDuration; easing: Theme.toggleSpring }
            }
        }
    }
}
