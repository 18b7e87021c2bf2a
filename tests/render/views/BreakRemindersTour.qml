import QtQuick
import Quellvista.Design
import Quellvista.Pages.Wellness

// The Break Reminders page with the tour open at the step named by the window's title
// ("timer" when none), at the size the main window gives the page.
Rectangle {
    color: Theme.appBackground

    BreakRemindersPage {
        id: page
        anchors.fill: parent
        Component.onCompleted: {
            page.model.tour.open()
            page.model.tour.select(Qt.application.arguments.indexOf("progress") >= 0 ? "progress" : "timer")
        }
    }
}
