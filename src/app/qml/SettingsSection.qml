import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Quellvista.Design
import Quellvista.App

// The Settings section: the comfort switches that act on the whole computer, and the
// read-only deep display diagnostics. Showing the page reads font smoothing again and
// captures the diagnostics.
Flickable {
    id: page

    readonly property alias model: settings

    KeepFocusInView {
        flickable: page
    }

    contentWidth: across.content
    contentHeight: column.implicitHeight + 48
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    Basic.ScrollBar.vertical: Basic.ScrollBar {
        policy: Basic.ScrollBar.AlwaysOn
    }
    Basic.ScrollBar.horizontal: PageScrollBar {}

    // Laid out no narrower than the page needs: narrower windows scroll across.
    ScrollExtent {
        id: across
        view: page.width
    }

    SettingsSectionModel {
        id: settings
    }

    Component.onCompleted: settings.pageShown()

    // A card's heading: the symbol on a tinted badge beside the title and subtitle.
    component SectionHeading: RowLayout {
        property string symbol
        property color tint
        property string title
        property string subtitle

        Layout.fillWidth: true
        spacing: 8

        Rectangle {
            implicitWidth: 30
            implicitHeight: 30
            radius: 15
            color: Theme.withOpacity(parent.tint, 0.14)

            Symbol {
                anchors.centerIn: parent
                name: parent.parent.symbol
                size: 13
                font.weight: Font.Medium
                color: parent.parent.tint
            }
        }
        CardTitleBlock {
            Layout.fillWidth: true
            title: parent.title
            subtitle: parent.subtitle
        }
    }

    ColumnLayout {
        id: column
        x: 24
        y: 24
        width: page.contentWidth - 48
        spacing: 12

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4

            Text {
                text: settings.pageTitle
                textFormat: Text.PlainText
                font: Theme.pageTitle
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: Theme.textPrimary
            }
            Text {
                Layout.fillWidth: true
                text: settings.pageSubtitle
                textFormat: Text.PlainText
                font: Theme.bodyRegular
                color: Theme.textSecondary
                wrapMode: Text.Wrap
            }
        }

        Card {
            Layout.fillWidth: true
            padding: 16

            ColumnLayout {
                width: parent.width
                spacing: 12

                SectionHeading {
                    symbol: "display"
                    tint: Theme.accentMuted
                    title: settings.experienceTitle
                    subtitle: settings.experienceSubtitle
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 12

                    Text {
                        Layout.fillWidth: true
                        text: settings.experienceIntro
                        textFormat: Text.PlainText
                        font: Theme.detailRegular
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }

                    // Appearance: follow the system, or always light or dark.
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: appearance.implicitHeight + 16

                        Rectangle {
                            anchors.fill: parent
                            radius: 6
                            color: Theme.withOpacity(Theme.accent, 0.08)
                            border.width: 0.5
                            border.color: Theme.withOpacity(Theme.divider, 0.52)
                        }
                        RowLayout {
                            id: appearance
                            anchors.fill: parent
                            anchors.margins: 8
                            spacing: 8

                            Symbol {
                                Layout.preferredWidth: 20
                                name: settings.appearanceSymbol
                                size: 13
                                font.weight: Font.Medium
                                color: Theme.accent
                            }
                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 2

                                Text {
                                    text: settings.appearanceTitle
                                    textFormat: Text.PlainText
                                    font: Theme.detailMedium
                                    color: Theme.textPrimary
                                }
                                Text {
                                    text: settings.appearanceSubtitle
                                    textFormat: Text.PlainText
                                    font: Theme.captionRegular
                                    color: Theme.textTertiary
                                }
                            }
                            Item {
                                Layout.minimumWidth: 12
                                Layout.fillWidth: true
                            }
                            SegmentedPicker {
                                Layout.preferredWidth: 212
                                options: settings.appearanceOptions
                                currentIndex: settings.appearanceIndex
                                onChosen: index => settings.chooseAppearance(index)
                            }
                        }
                    }

                    SettingsSwitchRow {
                        row: settings.ambientRow
                    }
                    SettingsSwitchRow {
                        row: settings.textureRow
                    }
                    SettingsSwitchRow {
                        row: settings.crisperTextRow
                    }
                    SettingsSwitchRow {
                        row: settings.batteryRow
                    }
                    SettingsSwitchRow {
                        row: settings.sidecarRow
                    }

                    // How the global hot keys reach the application on this desktop: a
                    // line to read, with nothing to switch.
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: hotKeys.implicitHeight + 16

                        Rectangle {
                            anchors.fill: parent
                            radius: 6
                            color: Theme.withOpacity(Theme.accent, 0.08)
                            border.width: 0.5
                            border.color: Theme.withOpacity(Theme.divider, 0.52)
                        }
                        RowLayout {
                            id: hotKeys
                            anchors.fill: parent
                            anchors.margins: 8
                            spacing: 8

                            Symbol {
                                Layout.preferredWidth: 20
                                Layout.alignment: Qt.AlignTop
                                name: "keyboard"
                                size: 13
                                font.weight: Font.Medium
                                color: Theme.accent
                            }
                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 2

                                Text {
                                    Layout.fillWidth: true
                                    text: settings.hotKeysTitle
                                    textFormat: Text.PlainText
                                    font: Theme.detailMedium
                                    color: Theme.textPrimary
                                }
                                Text {
                                    Layout.fillWidth: true
                                    text: settings.hotKeysDetail
                                    textFormat: Text.PlainText
                                    font: Theme.captionRegular
                                    color: Theme.textTertiary
                                    wrapMode: Text.Wrap
                                }
                            }
                        }
                    }
                }
            }
        }

        Card {
            Layout.fillWidth: true
            padding: 16

            ColumnLayout {
                width: parent.width
                spacing: 12

                SectionHeading {
                    symbol: "waveform.path.ecg.rectangle"
                    tint: Theme.copper
                    title: settings.diagnosticsTitle
                    subtitle: settings.diagnosticsSubtitle
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 12

                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 12

                        Text {
                            Layout.fillWidth: true
                            Layout.alignment: Qt.AlignTop
                            text: settings.diagnosticsNote
                            textFormat: Text.PlainText
                            font: Theme.detailRegular
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                        }
                        SecondaryButton {
                            Layout.fillWidth: false
                            Layout.preferredWidth: 112
                            Layout.alignment: Qt.AlignTop
                            text: settings.refreshTitle
                            Accessible.description: settings.refreshHint
                            onClicked: settings.refreshDiagnostics()

                            contentItem: Item {
                                implicitWidth: refreshLabel.implicitWidth
                                implicitHeight: refreshLabel.implicitHeight

                                Row {
                                    id: refreshLabel
                                    anchors.centerIn: parent
                                    spacing: 6

                                    Symbol {
                                        anchors.verticalCenter: parent.verticalCenter
                                        name: "arrow.clockwise"
                                        size: 13
                                        color: Theme.textPrimary
                                    }
                                    Text {
                                        anchors.verticalCenter: parent.verticalCenter
                                        text: settings.refreshTitle
                                        textFormat: Text.PlainText
                                        font: Theme.bodyMedium
                                        color: Theme.textPrimary
                                    }
                                }
                            }
                        }
                    }

                    // Three tiles of equal width.
                    Row {
                        id: tiles
                        Layout.fillWidth: true
                        spacing: 12

                        Repeater {
                            model: settings.summaryTiles

                            Column {
                                id: tile

                                required property var modelData

                                width: (tiles.width - 2 * tiles.spacing) / 3
                                spacing: 2

                                Text {
                                    width: parent.width
                                    text: tile.modelData.label
                                    textFormat: Text.PlainText
                                    font: Theme.captionRegular
                                    color: Theme.textTertiary
                                    elide: Text.ElideRight
                                }
                                Text {
                                    width: parent.width
                                    text: tile.modelData.value
                                    textFormat: Text.PlainText
                                    font: Theme.detailMedium
                                    color: Theme.textPrimary
                                    maximumLineCount: 1
                                    fontSizeMode: Text.HorizontalFit
                                    minimumPixelSize: Math.round(Theme.detailMedium.pixelSize * 0.75)
                                    elide: Text.ElideRight
                                }
                            }
                        }
                    }

                    Repeater {
                        model: settings.diagnosticDisplays

                        DiagnosticsDisplayCard {
                            required property var modelData

                            Layout.fillWidth: true
                            display: modelData
                        }
                    }
                }
            }
        }
    }
}
