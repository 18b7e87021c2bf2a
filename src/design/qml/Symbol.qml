import QtQuick
import Quellvista.Design

// A system symbol by name, drawn from the symbol font at the size in points of the text
// beside it; the glyph is enlarged to sit level with that text.
Text {
    property string name
    property real size: 14

    text: SystemSymbol.glyph(name)
    font.family: SystemSymbol.fontFamily
    font.pixelSize: SystemSymbol.pixelSize(size)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    renderType: Text.QtRendering
    // A picture, not words: the text beside it says what it means.
    Accessible.ignored: true

    // The stroke across a crossed-out symbol, from its top left to its bottom right.
    Rectangle {
        objectName: "symbolSlash"
        visible: SystemSymbol.isSlashed(parent.name)
        anchors.centerIn: parent
        width: Math.max(1.5, parent.size * 0.12)
        height: parent.size * 1.2
        radius: width / 2
        rotation: -45
        antialiasing: true
        color: parent.color
    }
}
