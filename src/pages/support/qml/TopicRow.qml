import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.Support

// One display note: a header that toggles it and, while open, its drawing, summary, the
// two section cards and the notice strip.
Item {
    id: row

    property var topic
    property bool expanded: false
    property color warningTint
    signal toggled()

    implicitHeight: content.implicitHeight

    component SectionCard: Rectangle {
        id: card
        property color tint
        property string symbol
        property string title
        property string body

        Layout.fillWidth: true
        implicitHeight: cardRow.implicitHeight + 24
        radius: 6
        color: Theme.withOpacity(tint, 0.08)
        border.color: Theme.withOpacity(tint, 0.2)
        border.width: 0.5

        RowLayout {
            id: cardRow
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 8

            Symbol {
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 2
                name: card.symbol
                size: 14
                color: card.tint
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3

                Text {
                    text: card.title
                    font: Theme.detailMedium
                    color: card.tint
                }
                Text {
                    Layout.fillWidth: true
                    text: card.body
                    textFormat: Text.PlainText
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: Theme.surface
    }

    Column {
        id: content
        width: parent.width

        // The header toggles the topic (Space or Return too).
        T.AbstractButton {
            id: pressable
            objectName: "topicHeader"
            Accessible.onPressAction: pressable.clicked()
            width: parent.width
            height: header.implicitHeight + 24
            Accessible.name: row.topic.title
            Accessible.ignored: !visible
            // Whether the topic is open, as its value and its state.
            readonly property string accessibleValue: AccessibleTexts.expanded(row.expanded)
            readonly property bool accessibleExpanded: row.expanded
            onClicked: row.toggled()

            FocusRing {
                shapeRadius: 10
            }

            Rectangle {
                anchors.fill: parent
                color: hover.hovered ? Theme.surfaceRaised : "transparent"
            }
            RowLayout {
                id: header
                x: 12
                y: 12
                width: parent.width - 24
                spacing: 12

                Rectangle {
                    width: 32
                    height: 32
                    radius: 16
                    color: Theme.accentSoft

                    Symbol {
                        anchors.centerIn: parent
                        name: row.topic.icon
                        size: 14
                        color: Theme.accent
                    }
                }
                Text {
                    Layout.fillWidth: true
                    text: row.topic.title
                    font: Theme.cardTitle
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                }
                Rectangle {
                    implicitWidth: capsule.implicitWidth + 16
                    implicitHeight: capsule.implicitHeight + 6
                    radius: height / 2
                    color: Theme.withOpacity(row.topic.categoryColor, 0.15)

                    Text {
                        id: capsule
                        anchors.centerIn: parent
                        text: row.topic.categoryLabel
                        font: Theme.captionRegular
                        color: row.topic.categoryColor
                    }
                }
                Symbol {
                    name: "chevron.right"
                    size: 12
                    font.weight: Font.Medium
                    color: Theme.textTertiary
                    rotation: row.expanded ? 90 : 0
                    Behavior on rotation {
                        NumberAnimation {
                            duration: 220
                            easing.type: Easing.InOutQuad
                        }
                    }
                }
            }
            HoverHandler {
                id: hover
            }
        }

        Loader {
            width: parent.width
            active: row.expanded
            visible: active

            sourceComponent: ColumnLayout {
                spacing: 12

                RowLayout {
                    Layout.leftMargin: 12
                    Layout.rightMargin: 12
                    spacing: 16

                    TopicIllustration {
                        id: drawing
                        Layout.alignment: Qt.AlignTop
                        Layout.preferredWidth: 300
                        Layout.preferredHeight: 200
                        kind: row.topic.illustration

                        SequentialAnimation on pulse {
                            running: drawing.animated && drawing.visible
                            loops: Animation.Infinite
                            NumberAnimation {
                                from: 0
                                to: 1
                                duration: 600
                                easing.type: Easing.InOutQuad
                            }
                            NumberAnimation {
                                from: 1
                                to: 0
                                duration: 600
                                easing.type: Easing.InOutQuad
                            }
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignTop
                        spacing: 12

                        Text {
                            Layout.fillWidth: true
                            text: row.topic.summary
                            textFormat: Text.PlainText
                            font: Theme.bodyRegular
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                        }
                        SectionCard {
                            tint: row.warningTint
                            symbol: "exclamationmark.circle"
                            title: row.topic.whyItMattersTitle
                            body: row.topic.whyItMatters
                        }
                        SectionCard {
                            tint: Theme.accent
                            symbol: "checkmark.circle"
                            title: row.topic.howQuellvistaHelpsTitle
                            body: row.topic.howQuellvistaHelps
                        }
                    }
                }

                Rectangle {
                    Layout.fillWidth: true
                    Layout.leftMargin: 12
                    Layout.rightMargin: 12
                    Layout.bottomMargin: 12
                    implicitHeight: notice.implicitHeight + 24
                    radius: 6
                    color: Theme.withOpacity(Theme.accentSoft, 0.3)

                    RowLayout {
                        id: notice
                        x: 12
                        y: 12
                        width: parent.width - 24
                        spacing: 8

                        Rectangle {
                            width: 28
                            height: 28
                            radius: 14
                            color: Theme.accentSoft

                            Symbol {
                                anchors.centerIn: parent
                                name: "sun.min"
                                size: 12
                                color: Theme.accent
                            }
                        }
                        Text {
                            text: row.topic.youMayNoticeTitle
                            font: Theme.detailMedium
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: row.topic.youMayNotice
                            textFormat: Text.PlainText
                            font: Theme.detailRegular
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                        }
                    }
                }
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: "transparent"
        border.color: Theme.divider
        border.width: 0.5
    }
}
