import QtQuick
import Quellvista.Design

// Frames one block of a page while its tour step is current: 3 points of padding, a soft
// accent fill, an accent outline and glow, drawn above the other blocks, with the step's
// pop-up beside the block (under it, else above, else to a side: never over what it
// explains), inside the room the page gives (it takes no room in the layout); all of it
// comes and goes over 0.2 s. The block is the default content and sets its width to its
// parent's; its height decides the frame's.
Item {
    id: frame

    required property GuidedTour tour
    required property string step
    default property alias block: holder.data
    readonly property bool current: tour.currentStep === step
    // The step's pop-up, once made.
    readonly property Item popup: popupLoader.item
    property real inset: current ? 3 : 0

    // The part of the page the pop-up stays in: the page's content.
    property Item room: parent
    readonly property var placement: tour.popupPlacement(
        room ? frame.mapToItem(room, 0, 0, frame.width, frame.height + 0 * (frame.x + frame.y + room.width + room.height))
             : Qt.rect(0, 0, frame.width, frame.height),
        Qt.size(popupLoader.item ? popupLoader.item.implicitWidth : 330,
                popupLoader.item ? popupLoader.item.implicitHeight : 0),
        room ? Qt.rect(0, 0, room.width, room.height) : Qt.rect(0, 0, frame.width, frame.height))
    // How far above the frame the page scrolls to show it with its pop-up: the pop-up's
    // top when it is above the block, else the frame's own.
    readonly property real scrollOffset: placement.side === "above" ? placement.y : 0

    implicitWidth: holder.childrenRect.width + 2 * inset
    implicitHeight: holder.childrenRect.height + 2 * inset
    z: current ? 20 : 0

    Behavior on inset {
        NumberAnimation { duration: frame.tour.highlightAnimationDuration; easing: frame.tour.easing }
    }

    ShapeSurface {
        anchors.fill: parent
        radius: 15
        opacity: frame.current ? 1 : 0
        visible: opacity > 0
        fill: Theme.withOpacity(Theme.accentSoft, 0.18)
        stroke: Theme.withOpacity(Theme.accent, 0.95)
        strokeWidth: 1.4
        shadowColor: Theme.withOpacity(Theme.accent, 0.16)
        shadowRadius: 12

        Behavior on opacity {
            NumberAnimation { duration: frame.tour.highlightAnimationDuration; easing: frame.tour.easing }
        }
    }

    Item {
        id: holder
        x: frame.inset
        y: frame.inset
        width: frame.width - 2 * frame.inset
        height: childrenRect.height
    }

    // Made the first time the step is current, then kept: it scales from 0.96 at the
    // top-trailing corner and fades in, and fades out when the tour moves on.
    Loader {
        id: popupLoader
        objectName: "guidePopupLoader"
        active: false
        x: frame.placement.x
        y: frame.placement.y
        z: 10
        Component.onCompleted: active = frame.current
        sourceComponent: GuidedPopup {
            property bool shown: false
            readonly property bool showing: shown && frame.current

            objectName: "guidePopup-" + frame.step
            tour: frame.tour
            step: frame.step
            side: frame.placement.side
            transformOrigin: side === "above" ? Item.BottomRight : Item.TopRight
            scale: showing ? 1 : 0.96
            opacity: showing ? 1 : 0
            // Shown from the start of its fade-in, so that the keyboard focus can go into it.
            visible: showing || opacity > 0
            Component.onCompleted: shown = true

            Behavior on scale {
                NumberAnimation { duration: frame.tour.highlightAnimationDuration; easing: frame.tour.easing }
            }
            Behavior on opacity {
                NumberAnimation { duration: frame.tour.highlightAnimationDuration; easing: frame.tour.easing }
            }
        }
    }
    Connections {
        target: frame
        function onCurrentChanged() {
            if (frame.current)
                popupLoader.active = true
        }
    }
}
