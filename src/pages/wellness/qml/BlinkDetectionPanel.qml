import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// The first card of the page: the detection switch, the calibration notice, the four live
// statistics and the privacy sentence.
Card {
    id: card

    required property BlinkPageModel model
    readonly property BlinkPanelModel panel: model.panel

    padding: 16

    ColumnLayout {
        width: parent.width
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Item {
                implicitWidth: 30
                implicitHeight: 30
                Rectangle {
                    anchors.fill: parent
                    radius: 15
                    color: Theme.accentSoft
                }
                Symbol {
                    anchors.centerIn: parent
                    name: "eye.trianglebadge.exclamationmark"
                    size: 13
                    color: Theme.accent
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 1
                Text {
                    Layout.fillWidth: true
                    text: card.panel.title
                    font: Theme.bodyMedium
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                }
                Text {
                    objectName: "panelStatus"
                    Layout.fillWidth: true
                    text: card.panel.statusText
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    elide: Text.ElideRight
                }
                SymbolLabel {
                    objectName: "failureNote"
                    Layout.fillWidth: true
                    visible: card.panel.failureNote.length > 0
                    symbol: "exclamationmark.triangle"
                    text: card.panel.failureNote
                    font: Theme.captionRegular
                    color: Theme.copper
                }
            }
            SageToggle {
                objectName: "detectionToggle"
                isOn: card.panel.isOn
                tint: Theme.accent
                Accessible.name: card.panel.title
                onToggled: isOn => card.model.setUserEnabled(isOn)
            }
        }

        Rectangle {
            objectName: "calibrationNotice"
            visible: card.panel.calibrationNoticeVisible
            Layout.fillWidth: true
            implicitHeight: notice.implicitHeight + 16
            radius: 6
            color: Theme.withOpacity(Theme.copper, 0.08)

            RowLayout {
                id: notice
                anchors.fill: parent
                anchors.margins: 8
                spacing: 8
                ActivitySpinner {
                    scale: 0.7
                    running: card.panel.calibrationNoticeVisible
                }
                Text {
                    Layout.fillWidth: true
                    text: card.panel.calibrationNotice
                    font: Theme.detailRegular
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.divider
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 24
            Repeater {
                model: card.panel.statistics
                ColumnLayout {
                    required property var modelData
                    Layout.alignment: Qt.AlignTop
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    spacing: 2
                    Text {
                        Layout.fillWidth: true
                        text: modelData.label
                        textFormat: Text.PlainText
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: card.panel[modelData.value]
                        textFormat: Text.PlainText
                        font: Theme.metricValue
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: card.panel[modelData.caption]
                        textFormat: Text.PlainText
                        font: Theme.captionRegular
                        color: Theme.textTertiary
                        wrapMode: Text.Wrap
                    }
                }
            }
        }

        Text {
            Layout.fillWidth: true
            text: card.panel.footerText
            font: Theme.detailRegular
            color: Theme.textTertiary
            wrapMode: Text.Wrap
        }
    }
}
