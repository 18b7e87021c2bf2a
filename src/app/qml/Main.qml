import QtQuick
import QtQuick.Window

Window {
    id: window
    width: 1100
    height: 760
    minimumWidth: 1100
    minimumHeight: 760
    visible: true
    title: "Quellvista"
    color: "#F5F5F7"

    Text {
        anchors.centerIn: parent
        text: "Quellvista"
        font.family: "Inter"
        font.pixelSize: 28
        font.weight: Font.DemiBold
        color: "#1D1D1F"
    }
}
