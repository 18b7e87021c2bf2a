import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Pages.DisplayComfort

// The page's master switch: "On"/"Off" beside the switch, on a faint capsule. The capsule
// is the control the keyboard reaches (Space or Return switches) and assistive technology
// reads: one element with the switch's name, value and hint.
T.AbstractButton {
    id: capsule
    objectName: "comfortSwitchCapsule"

    required property DisplayComfortPageModel model

    implicitWidth: row.implicitWidth + 24
    implicitHeight: row.implicitHeight + 14
    padding: 0
    onClicked: capsule.model.comfortTuningEnabled = !capsule.model.comfortTuningEnabled

    // One element for assistive technology: the switch with its "On"/"Off" as the value.
    readonly property string accessibleValue: model.stateText
    readonly property bool accessibleChecked: model.comfortTuningEnabled
    Accessible.role: Accessible.CheckBox
    Accessible.name: model.switchAccessibleLabel
    Accessible.description: model.switchAccessibleHint

    FocusRing {
        shapeRadius: capsule.height / 2
    }

    ShapeSurface {
        anchors.fill: parent
        radius: height / 2
        fill: Theme.withOpacity(Theme.surface, 0.58)
        stroke: Theme.withOpacity(Theme.divider, 0.7)
        strokeWidth: 0.6
    }

    // The pointer switches with the switch itself, as before; the rest of the capsule is inert.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
    }

    RowLayout {
        id: row
        anchors.centerIn: parent
        spacing: 8

        Text {
            objectName: "comfortStateText"
            Layout.preferredWidth: 24
            horizontalAlignment: Text.AlignRight
            text: capsule.model.stateText
            textFormat: Text.PlainText
            font: Theme.detailMedium
            color: capsule.model.stateColor
        }
        SageToggle {
            objectName: "comfortSwitch"
            isOn: capsule.model.comfortTuningEnabled
            tint: Theme.accent
            Accessible.ignored: true
            focusPolicy: Qt.NoFocus
            onToggled: on => capsule.model.comfortTuningEnabled = on
        }
    }
}
