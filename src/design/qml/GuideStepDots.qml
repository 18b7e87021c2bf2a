import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// The step dots of a tour pop-up, one button per step in tour order; a dot selects its
// step (and scrolls its block to the top again when it already is current).
Row {
    id: dots

    required property GuidedTour tour
    // The step whose dot is marked: the tour's current one unless given.
    property string current: tour.currentStep

    spacing: 4

    Repeater {
        model: dots.tour.steps

        T.AbstractButton {
            required property string modelData
            id: pressable
            objectName: "guideDot-" + modelData
            Accessible.onPressAction: pressable.clicked()
            implicitWidth: 18
            implicitHeight: 18
            contentItem: GuideStepDot { current: dots.current === modelData }
            FocusRing {
                shapeRadius: 9
            }
            Accessible.name: modelData
            onClicked: dots.tour.select(modelData)
        }
    }
}
