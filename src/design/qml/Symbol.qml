import QtQuick
import Quellvista.Design

// A system symbol by name, drawn from the symbol font at a size in points.
Text {
    property string name
    property real size: 14

    text: SystemSymbol.glyph(name)
    font.family: SystemSymbol.fontFamily
    font.pixelSize: size
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    renderType: Text.QtRendering
}
