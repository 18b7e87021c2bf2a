import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.App

// The main window's content: the backdrop, the sidebar and the page of the selected
// section.
Item {
    id: root

    readonly property int minimumWidth: state.minimumWidth
    readonly property int minimumHeight: state.minimumHeight
    readonly property color backgroundColor: Theme.appBackground
    readonly property alias windowState: state

    implicitWidth: minimumWidth
    implicitHeight: minimumHeight

    MainWindowModel {
        id: state
    }

    QuellvistaAppBackdrop {
        anchors.fill: parent
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            Layout.fillHeight: true
            selected: state.selectedSection
            activeSince: state.appStart
            sections: state.sidebarSections
            onSectionChosen: section => state.select(section)
            onSettings: state.openSettings()
        }

        // The page of the selected section; one exists at a time, so a page starts
        // afresh whenever it is selected again.
        Item {
            id: pageContent
            Layout.fillWidth: true
            Layout.fillHeight: true

            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.DisplayAndComfort
                sourceComponent: Item {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Blink
                sourceComponent: Item {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Breaks
                sourceComponent: Item {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.About
                source: active ? "qrc:/Quellvista/Support/qml/SupportPage.qml" : ""
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Settings
                sourceComponent: Item {}
            }
        }
    }
}
