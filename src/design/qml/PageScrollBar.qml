import QtQuick
import QtQuick.Templates as T
import Quellvista.Design

// The scroll indicator of a scrolling page, down its right edge or across its foot: a thin
// rounded thumb in the tertiary text colour; shown only when the content is larger than the
// view that way.
T.ScrollBar {
    id: bar

    implicitWidth: 10
    implicitHeight: 10
    padding: 2
    policy: T.ScrollBar.AsNeeded
    visible: size < 1
    Accessible.ignored: !visible
    minimumSize: 0.08

    contentItem: Rectangle {
        implicitWidth: 6
        implicitHeight: 6
        radius: Math.min(width, height) / 2
        color: Theme.withOpacity(Theme.textTertiary, bar.pressed ? 0.8 : 0.5)
    }
}
