import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
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

    // A window narrower than the sidebar and the narrowest page (a tiling window manager
    // may give it far less than it asks for) scrolls across as a whole; the sidebar scrolls
    // down in a window shorter than it, and each page scrolls either way on its own. The
    // window's scroll bar across then has a strip of its own below the page's.
    Flickable {
        id: shell
        objectName: "shellScroller"
        anchors.fill: parent
        contentWidth: shellAcross.content
        contentHeight: height - (shellAcross.scrolls ? shellBar.height : 0)
        interactive: shellAcross.scrolls
        boundsBehavior: Flickable.StopAtBounds

        T.ScrollBar.horizontal: PageScrollBar {
            id: shellBar
            objectName: "shellBar"
        }

        ScrollExtent {
            id: shellAcross
            view: shell.width
            needed: sidebar.implicitWidth + shellAcross.narrowestPage
        }

        KeepFocusInView {
            flickable: shell
        }

        RowLayout {
            width: shell.contentWidth
            height: shell.contentHeight
            spacing: 0

            Flickable {
                id: sidebarScroller
                objectName: "sidebarScroller"
                Layout.fillHeight: true
                Layout.preferredWidth: sidebar.implicitWidth
                contentWidth: width
                contentHeight: sidebarDown.content
                interactive: sidebarDown.scrolls
                clip: sidebarDown.scrolls
                boundsBehavior: Flickable.StopAtBounds

                T.ScrollBar.vertical: PageScrollBar {}

                ScrollExtent {
                    id: sidebarDown
                    view: sidebarScroller.height
                    needed: sidebar.implicitHeight
                }

                Sidebar {
                    id: sidebar
                    width: sidebarScroller.width
                    height: sidebarScroller.contentHeight
                    productName: state.productName
                    tagline: state.tagline
                    settingsName: state.settingsTitle
                    selected: state.selectedSection
                    activeSince: state.appStart
                    sections: state.sidebarSections
                    onSectionChosen: section => state.select(section)
                    onSettings: state.openSettings()
                }
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
}
