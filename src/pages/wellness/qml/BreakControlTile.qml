import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// One clickable tile of the break controls (a quick action, a rhythm pill or a style
// tile): an optional symbol over a one-line caption on a rounded fill with an outline,
// coloured as the option says.
T.AbstractButton {
    id: tile

    // {title, symbol, fill, outline, textColor, symbolColor}
    property var option: ({})
    property font captionFont: Theme.captionRegular
    property int symbolSpacing: 4

    Layout.fillWidth: true
    Layout.preferredWidth: 1
    hoverEnabled: true
    // Named by its caption for assistive technology.
    text: option.title ?? ""
    Accessible.name: text
    Accessible.selected: option.selected ?? false
    Accessible.onPressAction: tile.clicked()

    FocusRing {
        shapeRadius: 6
    }

    contentItem: Column {
        spacing: tile.symbolSpacing
        topPadding: Math.max(0, (tile.height - implicitHeight) / 2)

        Symbol {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: name !== ""
            name: tile.option.symbol ?? ""
            text: name !== "" ? SystemSymbol.glyph(name) : ""
            size: 12
            font.weight: Font.Medium
            color: tile.option.symbolColor ?? Theme.accent
        }
        Text {
            width: tile.width - 8
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: tile.option.title ?? ""
            textFormat: Text.PlainText
            font: tile.captionFont
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: Math.floor(tile.captionFont.pixelSize * 0.8)
            elide: Text.ElideRight
            color: tile.option.textColor ?? Theme.textPrimary
        }
    }

    background: Rectangle {
        radius: 6
        color: tile.option.fill ?? "transparent"
        border.width: 0.5
        border.color: tile.option.outline ?? "transparent"
    }
}
