import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// The always-visible vertical scroll indicator of a scrolling page: a thin rounded
// thumb in the tertiary text colour; shown only when the content is taller than the view.
T.ScrollBar {
    id: bar

    implicitWidth: 10
    padding: 2
    policy: T.ScrollBar.AsNeeded
    visible: size < 1
    Accessible.ignored: !visible
    minimumSize: 0.08

    contentItem: Rectangle {
        implicitWidth: 6
        radius: width / 2
        color: Theme.withOpacity(Theme.textTertiary, bar.pressed ? 0.8 : 0.5)
    }
}
