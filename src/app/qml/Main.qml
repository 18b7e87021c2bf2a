import QtQuick
import QtQuick.Window
import Quellvista.Design
import Quellvista.App

// The window "main": its content is the main window view. The content exists only while
// the window is shown; opening the window again builds it afresh.
Window {
    id: window
    width: 1100
    height: 760
    // The designed minimum, or what fits the screen's work area on a smaller screen.
    minimumWidth: fit.minimumWidth
    minimumHeight: fit.minimumHeight
    visible: true
    title: content.item ? content.item.title : ""
    color: content.item ? content.item.backgroundColor : Theme.appBackground

    // Command-W closes the window, as a window of a Mac application does; the
    // application goes on in the menu bar. Every binding the platform has for closing
    // counts (some platforms have two).
    Shortcut {
        sequences: [StandardKey.Close]
        onActivated: window.close()
    }

    WindowFit {
        id: fit
        window: window
    }

    Loader {
        id: content
        objectName: "content"
        anchors.fill: parent
        active: window.visible
        sourceComponent: MainWindow {}
    }
}
