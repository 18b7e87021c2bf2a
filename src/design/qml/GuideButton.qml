import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Quellvista.Design

// A page header's guide button: the round label, with the tooltip and accessible name the
// page gives. The page opens its tour on click.
T.AbstractButton {
    id: button

    property string accessibleName
    property string toolTipText

    implicitWidth: 34
    implicitHeight: 34
    padding: 0
    hoverEnabled: true
    opacity: down ? 0.7 : 1

    contentItem: GuideButtonLabel {}

    ToolTip.visible: hovered && toolTipText.length > 0
    ToolTip.delay: 600
    ToolTip.text: toolTipText
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
}
