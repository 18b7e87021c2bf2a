import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.App

// A button of the pop-over's break section: symbol and title on a rounded glass plate
// that dims while pressed. Tab reaches it; Space or Return presses it.
T.AbstractButton {
    id: button

    property string title
    property string symbol
    required property MenuBarPopoverModel styles

    implicitHeight: 34
    implicitWidth: label.implicitWidth + 24
    opacity: down ? 0.78 : 1.0
    Accessible.name: title
    Accessible.onPressAction: button.clicked()
    Accessible.ignored: !visible

    FocusRing {
        shapeRadius: 8
    }

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Theme.thinMaterial
    }
    Rectangle {
        anchors.fill: parent
        radius: 8
        color: button.styles.actionButtonFill(button.down)
        border.width: 0.7
        border.color: button.styles.actionButtonStroke(button.down)
    }
    RowLayout {
        id: label
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        spacing: 6
        Symbol {
            name: button.symbol
            size: 12
            color: Theme.textPrimary
        }
        Text {
            text: button.title
            textFormat: Text.PlainText
            font: Theme.systemFont(12, Font.DemiBold)
            color: Theme.textPrimary
        }
        Item { Layout.fillWidth: true }
    }
}
