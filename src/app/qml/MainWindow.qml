import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.App
import Quellvista.Pages.DisplayComfort
import Quellvista.Pages.Wellness

// The main window's content: the backdrop, the sidebar and the page of the selected
// section.
Item {
    id: root

    readonly property int minimumWidth: state.minimumWidth
    readonly property int minimumHeight: state.minimumHeight
    readonly property string title: state.productName
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
            productName: state.productName
            tagline: state.tagline
            settingsName: state.settingsTitle
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
                objectName: "displayComfortLoader"
                active: state.selectedSection === MainWindowModel.DisplayAndComfort
                sourceComponent: DisplayComfortPage {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Blink
                sourceComponent: BlinkDetectionPage {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Breaks
                sourceComponent: BreakRemindersPage {}
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.About
                source: active ? "qrc:/Quellvista/Support/qml/SupportPage.qml" : ""
            }
            Loader {
                anchors.fill: parent
                active: state.selectedSection === MainWindowModel.Settings
                sourceComponent: SettingsSection {}
            }
        }
    }
}
