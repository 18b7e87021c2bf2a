import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The cadence bars: one column per bucket, a bar over its position label; the bars share
// the chart's height with the labels, so a full bar ends at the chart's top.
Item {
    id: chart

    required property BlinkCadenceModel model

    clip: true
    Binding { target: chart.model; property: "chartHeight"; value: chart.height }

    RowLayout {
        anchors.fill: parent
        spacing: 7
        Repeater {
            model: chart.model.labels
            Item {
                required property int index
                required property string modelData
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                Layout.fillHeight: true

                Rectangle {
                    objectName: "cadenceBar"
                    anchors.bottom: label.top
                    anchors.bottomMargin: chart.model.labelSpacing
                    width: parent.width
                    height: chart.model.barHeights[index]
                    radius: 4
                    color: chart.model.barColors[index]
                }
                Text {
                    id: label
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: chart.model.labelHeight
                    text: modelData
                    font: chart.model.labelFont
                    color: Theme.textTertiary
                    horizontalAlignment: Text.AlignHCenter
                }
            }
        }
    }
}
