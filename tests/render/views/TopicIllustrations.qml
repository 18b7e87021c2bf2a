import QtQuick
import Quellvista.Design
import Quellvista.Support

// The six display-notes drawings at the size a topic row gives them, for looking at them
// in both appearances: qv_render --size 960x440 tests/render/views/TopicIllustrations.qml
Rectangle {
    width: 960
    height: 440
    color: Theme.appBackground

    Grid {
        x: 12
        y: 12
        columns: 3
        spacing: 12

        Repeater {
            model: 6

            TopicIllustration {
                required property int index
                width: 300
                height: 200
                kind: index
            }
        }
    }
}
