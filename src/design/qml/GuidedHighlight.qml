import QtQuick
import Quellvista.Design

// Frames one block of a page while its tour step is current: 3 points of padding, a soft
// accent fill, an accent outline and glow, drawn above the other blocks, with the step's
// pop-up over the block's top-trailing corner (it takes no room in the layout). The block
// is the default content; its height decides the frame's.
Item {
    id: frame

    required property GuidedTour tour
    required property string step
    default property alias block: holder.data
    readonly property bool current: tour.currentStep === step
    readonly property real inset: current ? 3 : 0

    implicitWidth: holder.childrenRect.width + 2 * inset
    implicitHeight: holder.childrenRect.height + 2 * inset
    z: current ? 20 : 0

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
            NumberAnimation { duration: frame.tour.changeDuration; easing: frame.tour.easing }
        }
    }

    Item {
        id: holder
        x: frame.inset
        y: frame.inset
        width: frame.width - 2 * frame.inset
        height: childrenRect.height
    }

    Loader {
        objectName: "guidePopupLoader"
        active: frame.current
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 12
        z: 10
        sourceComponent: GuidedPopup {
            tour: frame.tour
            transformOrigin: Item.TopRight
            scale: shown ? 1 : 0.96
            opacity: shown ? 1 : 0
            property bool shown: false
            Component.onCompleted: shown = true

            Behavior on scale { NumberAnimation { duration: frame.tour.changeDuration; easing: frame.tour.easing } }
            Behavior on opacity { NumberAnimation { duration: frame.tour.changeDuration; easing: frame.tour.easing } }
        }
    }
}
