import QtQuick
import Quellvista.Design

// The two-line heading of a card: the title over the subtitle. Both are plain text.
Column {
    property string title
    property string subtitle

    spacing: 1

    Text {
        width: parent.width
        text: parent.title
        textFormat: Text.PlainText
        Accessible.role: Accessible.Heading
        Accessible.name: text
        font: Theme.bodyMedium
        color: Theme.textPrimary
        elide: Text.ElideRight
    }
    Text {
        width: parent.width
        text: parent.subtitle
        textFormat: Text.PlainText
        font: Theme.detailRegular
        color: Theme.textSecondary
        wrapMode: Text.Wrap
    }
}
