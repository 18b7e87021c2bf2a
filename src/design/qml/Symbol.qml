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
}
