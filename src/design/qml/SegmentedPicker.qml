import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// A titled row of segments, one selected: the title stands before the segments, which
// share the remaining width.
RowLayout {
    id: picker

    property string title
    property var options: []
    property int currentIndex: -1
    signal activated(int index)

    spacing: 8

    Text {
        text: picker.title
        textFormat: Text.PlainText
        font: Theme.detailRegular
        color: Theme.textPrimary
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 26
        radius: 6
        color: Theme.withOpacity(Theme.track, 0.5)

        Row {
            id: segments
            anchors.fill: parent
            anchors.margins: 2

            Repeater {
                model: picker.options

                Rectangle {
                    required property int index
                    required property string modelData
                    readonly property bool selected: index === picker.currentIndex

                    width: segments.width / Math.max(1, picker.options.length)
                    height: segments.height
                    radius: 5
                    color: selected ? Theme.surface : "transparent"
                    border.color: selected ? Theme.panelStroke : "transparent"
                    border.width: 0.5

                    Text {
                        anchors.centerIn: parent
                        width: parent.width - 8
                        horizontalAlignment: Text.AlignHCenter
                        text: parent.modelData
                        textFormat: Text.PlainText
                        font: parent.selected ? Theme.detailMedium : Theme.detailRegular
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    TapHandler {
                        onTapped: picker.activated(parent.index)
                    }
                }
            }
        }
    }
}
