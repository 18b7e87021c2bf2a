import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// A page header's guide button: the round label, with the tooltip and accessible name the
// page gives. The page opens its tour on click.
T.AbstractButton {
    id: button
    Accessible.onPressAction: button.clicked()
    Accessible.ignored: !visible

    property string accessibleName
    property string toolTipText

    implicitWidth: 34
    implicitHeight: 34
    padding: 0
    hoverEnabled: true
    opacity: down ? 0.7 : 1

    contentItem: GuideButtonLabel {}

    FocusRing {
        shapeRadius: button.width / 2
    }

    HelpTip {
        objectName: "guideHelp"
        text: button.toolTipText
        visible: button.hovered && text.length > 0
    }

    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
}
