import QtQuick
import QtQuick.Window
import Quellvista.App

// The window "main": its content is the main window view.
Window {
    id: window
    width: 1100
    height: 760
    minimumWidth: content.minimumWidth
    minimumHeight: content.minimumHeight
    visible: true
    title: "Quellvista"
    color: content.backgroundColor

    MainWindow {
        id: content
        anchors.fill: parent
    }
}
