import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.DisplayComfort.Blocks

// The tuning panel and the comfort profiles grid as the page stacks them, on the window
// backdrop: qv_render --size 900x1100 tests/render/views/ComfortBlocks.qml
Item {
    width: 900
    height: 1100

    QuellvistaAppBackdrop {
        anchors.fill: parent
    }

    ColumnLayout {
        x: 28
        y: 28
        width: parent.width - 56
        spacing: 20

        DisplayTuningPanel {
            Layout.fillWidth: true
        }
        ComfortProfilesGrid {
            Layout.fillWidth: true
        }
    }
}
