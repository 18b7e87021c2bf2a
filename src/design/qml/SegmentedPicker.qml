import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// A row of mutually exclusive segments of equal width on a rounded track; the chosen one
// is raised. Like the toggle it keeps no state: `currentIndex` is bound by the caller and
// a click asks for a segment through chosen(index). Each segment is a button of its own,
// named by its text, that Tab reaches and Space or Return chooses.
Item {
    id: picker

    property var options: []
    property int currentIndex: 0

    signal chosen(int index)

    implicitWidth: 212
    implicitHeight: 24

    Rectangle {
        anchors.fill: parent
        radius: 7
        color: Theme.withOpacity(Theme.track, 0.55)
        border.width: 0.5
        border.color: Theme.withOpacity(Theme.divider, 0.6)
    }

    Row {
        anchors.fill: parent
        anchors.margins: 2

        Repeater {
            model: picker.options

            T.AbstractButton {
                id: segment

                required property int index
                required property string modelData
                readonly property bool current: index === picker.currentIndex

                width: (picker.width - 4) / Math.max(1, picker.options.length)
                height: parent.height
                text: modelData
                hoverEnabled: true
                onClicked: picker.chosen(index)

                Accessible.role: Accessible.RadioButton
                // Kept over the push button Qt Quick makes of every button.
                readonly property int accessibleRole: Accessible.RadioButton
                readonly property bool accessibleChecked: current
                Accessible.name: modelData
                Accessible.selected: current
                Accessible.onPressAction: segment.clicked()
                Accessible.ignored: !visible
                // Qt Quick writes the button's own state into what assistive technology
                // reads: the segment is checked while it is the current one.
                checked: current

                // Above the next segment, which would cover the ring's right side.
                z: visualFocus ? 1 : 0

                FocusRing {
                    shapeRadius: 5
                    fill: segment.current ? Theme.surfaceRaised : "transparent"
                }

                background: Rectangle {
                    radius: 5
                    color: segment.current ? Theme.surfaceRaised : "transparent"
                    border.width: segment.current ? 0.5 : 0
                    border.color: Theme.withOpacity(Theme.divider, 0.8)
                }
                contentItem: Text {
                    text: segment.modelData
                    textFormat: Text.PlainText
                    font: Theme.detailMedium
                    color: segment.current ? Theme.textPrimary : Theme.textSecondary
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                }
            }
        }
    }
}
