import QtQuick
import Quellvista.Design
import Quellvista.Pages.DisplayComfort

// The Display & Comfort page with the hardware block expanded and the tour open at its
// first step, at the width the main window gives the page.
Rectangle {
    color: Theme.appBackground

    DisplayComfortPage {
        id: page
        anchors.fill: parent
        Component.onCompleted: {
            page.hardware.expanded = true
            page.model.tour.open()
        }
    }
}
