import QtQuick
import Quellvista.Design

// The close mark of a tour pop-up.
Item {
    implicitWidth: 22
    implicitHeight: 22

    Symbol {
        anchors.centerIn: parent
        name: "xmark"
        size: 10
        font.weight: Font.DemiBold
        color: Theme.textTertiary
    }
}
