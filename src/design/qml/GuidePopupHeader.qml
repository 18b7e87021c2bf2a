import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design

// The header row of a tour pop-up: the step's badge, the title block, a spacer and the
// close button, which finishes the tour.
RowLayout {
    id: header

    required property GuidedTour tour
    // The badge (put into badgeSlot) and the title block (the default content).
    property alias badge: badgeSlot.data
    default property alias titleBlock: titleColumn.data

    spacing: 8

    Item {
        id: badgeSlot
        Layout.alignment: Qt.AlignTop
        implicitWidth: childrenRect.width
        implicitHeight: childrenRect.height
    }
    ColumnLayout {
        id: titleColumn
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        spacing: 2
    }
    T.AbstractButton {
        id: pressable
        objectName: "guideCloseButton"
        Accessible.onPressAction: pressable.clicked()
        Layout.alignment: Qt.AlignTop
        implicitWidth: 22
        implicitHeight: 22
        contentItem: GuidePopupCloseLabel {}
        FocusRing {
            shapeRadius: 11
        }
        Accessible.name: header.tour.closeLabel
        onClicked: header.tour.finish()
    }
}
