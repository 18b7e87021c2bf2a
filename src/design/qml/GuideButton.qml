import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Quellvista.Design

// A page header's guide button: the round label, the tooltip "Guide" and the accessible
// name the page gives. The page opens its tour on click.
T.AbstractButton {
    id: button

    property string accessibleName

    implicitWidth: 34
    implicitHeight: 34
    padding: 0
    hoverEnabled: true
    opacity: down ? 0.7 : 1

    contentItem: GuideButtonLabel {}

    ToolTip.visible: hovered
    ToolTip.delay: 600
    ToolTip.text: "Guide"
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
}
