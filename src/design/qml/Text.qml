import QtQuick as Q
import Quellvista.Design

// The text every view draws: QtQuick's Text, heard as it is seen. In every file that
// imports Quellvista.Design after QtQuick, "Text" is this one. Assistive technology reads
// it as a label with its text while it is visible, and not at all while it is hidden or
// only repeats what it lies in (a button's title, a figure's parts). A text given a role
// or a name of its own keeps them.
Q.Text {
    id: label

    property bool accessibleReady: false

    Q.Accessible.role: Q.Accessible.StaticText
    Q.Accessible.name: AccessibleTexts.heard(text, textFormat)
    Q.Accessible.ignored: !visible || (accessibleReady && AccessibleTexts.repeatsOwner(label, text))

    Q.Component.onCompleted: accessibleReady = true
}
