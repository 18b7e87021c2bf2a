import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// A continuous slider at the small control size: a thin track filled with the tint up to
// a white knob. Callers bind `value` to their model and write each move (moved()) back
// to it; `pressed` tells whether the user is dragging. `accessibleValue` is the text
// assistive technology reads as the slider's value (its number stays settable). The arrow
// keys move it by `keyStep` (one step of the value its row shows: 1 % unless the row
// says otherwise), Page Up and Page Down by ten steps, Home and End to the ends.
T.Slider {
    id: slider

    property color tint: Theme.accent
    property string accessibleValue
    property real keyStep: 0.01

    implicitWidth: 160
    implicitHeight: 18
    padding: 0
    live: true
    hoverEnabled: true

    Accessible.role: Accessible.Slider
    Accessible.ignored: !visible

    Keys.onPressed: event => event.accepted = KeyboardControl.moveSlider(slider, event.key, slider.keyStep)

    FocusRing {
        shapeRadius: slider.height / 2
    }

    background: Item {
        x: slider.leftPadding
        y: slider.topPadding + (slider.availableHeight - height) / 2
        width: slider.availableWidth
        height: 4

        Rectangle {
            anchors.fill: parent
            radius: 2
            color: Theme.track
        }
        Rectangle {
            width: handleBox.x + handleBox.width / 2 - parent.x
            height: parent.height
            radius: 2
            color: slider.tint
        }
    }

    handle: Item {
        id: handleBox
        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
        y: slider.topPadding + (slider.availableHeight - height) / 2
        width: 14
        height: 14

        Surface {
            anchors.fill: parent
            kind: Surface.Knob
        }
    }
}
