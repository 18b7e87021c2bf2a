import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.DisplayComfort

// One protection card per display its own live check finds, in the check's order.
ColumnLayout {
    id: content

    readonly property alias model: protections

    spacing: 12

    DisplayProtectionModel {
        id: protections
    }

    Repeater {
        model: protections.cards

        CompactDisplayCard {
            required property QtObject modelData
            Layout.fillWidth: true
            card: modelData
            titles: protections
        }
    }
}
