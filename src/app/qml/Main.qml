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
    minimumWidth: content.item ? content.item.minimumWidth : 1100
    minimumHeight: content.item ? content.item.minimumHeight : 760
    visible: true
    title: content.item ? content.item.title : ""
    color: content.item ? content.item.backgroundColor : Theme.appBackground

    // Command-W closes the window, as a window of a Mac application does; the
    // application goes on in the menu bar.
    Shortcut {
        sequence: StandardKey.Close
        onActivated: window.close()
    }

    Loader {
        id: content
        objectName: "content"
        anchors.fill: parent
        active: window.visible
        sourceComponent: MainWindow {}
    }
}
