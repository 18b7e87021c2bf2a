import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.DisplayComfort.Blocks

// The display tuning card (header, target picker, eight sliders in pairs) and the
// red-mode block below it. Every value lives in the shared display tuning and comfort
// veil; the panel model reads and writes them.
ColumnLayout {
    id: panel

    readonly property alias model: tuningModel

    spacing: 12

    DisplayTuningPanelModel {
        id: tuningModel
    }

    Card {
        Layout.fillWidth: true
        padding: 16

        ColumnLayout {
            width: parent.width
            spacing: 12

            // Header
            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                Rectangle {
                    implicitWidth: 30
                    implicitHeight: 30
                    radius: 15
                    color: Theme.accentSoft

                    Symbol {
                        anchors.centerIn: parent
                        name: tuningModel.headerSymbol
                        size: 13
                        color: Theme.accent
                    }
                }
                CardTitleBlock {
                    Layout.fillWidth: true
                    title: tuningModel.title
                    subtitle: tuningModel.subtitle
                }
            }

            Text {
                Layout.fillWidth: true
                visible: tuningModel.formulaNote.length > 0
                text: tuningModel.formulaNote
                textFormat: Text.PlainText
                font: Theme.captionRegular
                color: Theme.textSecondary
                wrapMode: Text.WordWrap
            }

            // Target picker block
            Rectangle {
                Layout.fillWidth: true
                implicitHeight: pickerRow.implicitHeight + 16
                radius: 6
                color: Theme.withOpacity("white", 0.035)
                border.color: Theme.withOpacity(Theme.divider, 0.48)
                border.width: 0.6

                RowLayout {
                    id: pickerRow
                    anchors.fill: parent
                    anchors.margins: 8
                    spacing: 8

                    Symbol {
                        Layout.preferredWidth: 18
                        name: tuningModel.pickerSymbol
                        size: 12
                        font.weight: Font.Medium
                        color: Theme.textSecondary
                    }
                    Column {
                        Layout.fillWidth: true
                        spacing: 1

                        Text {
                            width: parent.width
                            text: tuningModel.appliesToText
                            font: Theme.captionRegular
                            color: Theme.textTertiary
                            elide: Text.ElideRight
                        }
                        Text {
                            width: parent.width
                            text: tuningModel.selectedTargetName
                            textFormat: Text.PlainText
                            font: Theme.detailMedium
                            color: Theme.textPrimary
                            maximumLineCount: 1
                            elide: Text.ElideRight
                        }
                        Text {
                            width: parent.width
                            text: tuningModel.scopeText
                            font: Theme.captionRegular
                            color: Theme.textTertiary
                            maximumLineCount: 1
                            elide: Text.ElideRight
                        }
                    }
                    MenuButton {
                        objectName: "targetPicker"
                        // Assistive technology reads the chosen target as the picker's value.
                        readonly property string accessibleValue: tuningModel.selectedTargetName
                        Layout.preferredWidth: 210
                        text: tuningModel.selectedTargetName
                        symbol: tuningModel.selectedTargetSymbol
                        entries: tuningModel.targets
                        checkedAction: tuningModel.selectedTargetId
                        Accessible.name: tuningModel.pickerLabel
                        Accessible.description: tuningModel.pickerHint
                        onAboutToOpen: tuningModel.refreshTargets()
                        onChosen: id => tuningModel.selectTarget(id)
                    }
                }
            }

            // The eight rows in pairs: each pair shares the card's width equally.
            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 24
                rowSpacing: 12

                Repeater {
                    model: tuningModel.rows

                    ColumnLayout {
                        id: rowView

                        required property var modelData
                        readonly property var row: modelData

                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        spacing: 4

                        RowLayout {
                            Layout.fillWidth: true

                            Symbol {
                                name: rowView.row.symbol
                                size: 12
                                color: rowView.row.symbolColor
                            }
                            Text {
                                Layout.fillWidth: true
                                text: rowView.row.title
                                textFormat: Text.PlainText
                                font: Theme.detailMedium
                                color: Theme.textPrimary
                                maximumLineCount: 1
                                elide: Text.ElideRight
                                fontSizeMode: rowView.row.veil ? Text.HorizontalFit : Text.FixedSize
                                minimumPixelSize: Math.floor(Theme.detailMedium.pixelSize * rowView.row.minimumTitleScale)
                            }
                            Text {
                                Layout.minimumWidth: valueWidth.width
                                horizontalAlignment: Text.AlignRight
                                text: rowView.row.valueText
                                textFormat: Text.PlainText
                                font: Theme.detailMedium
                                color: rowView.row.valueColor
                            }
                        }
                        TintedSlider {
                            Layout.fillWidth: true
                            from: rowView.row.from
                            to: rowView.row.to
                            value: rowView.row.value
                            tint: rowView.row.accent
                            keyStep: rowView.row.keyStep
                            accessibleValue: rowView.row.valueText
                            Accessible.name: rowView.row.title
                            onMoved: rowView.row.move(value)
                            onPressedChanged: rowView.row.setDragging(pressed)
                        }
                    }
                }
            }
        }
    }

    // Red-mode block
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: redColumn.implicitHeight + 24
        radius: 12
        color: Theme.withOpacity(Theme.terracotta, 0.1)
        border.color: Theme.withOpacity(Theme.terracotta, 0.28)
        border.width: 0.8
        Accessible.role: Accessible.Grouping
        Accessible.name: tuningModel.redTitle

        ColumnLayout {
            id: redColumn
            anchors.fill: parent
            anchors.margins: 12
            spacing: 6

            RowLayout {
                Layout.fillWidth: true

                Text {
                    Layout.fillWidth: true
                    text: tuningModel.redTitle
                    font: Theme.detailMedium
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                }
                Text {
                    Layout.minimumWidth: valueWidth.width
                    horizontalAlignment: Text.AlignRight
                    text: tuningModel.redValueText
                    textFormat: Text.PlainText
                    font: Theme.detailMedium
                    color: tuningModel.redValueColor
                }
            }
            TintedSlider {
                Layout.fillWidth: true
                from: 0
                to: 1
                value: tuningModel.redSliderValue
                tint: tuningModel.redAccent
                accessibleValue: tuningModel.redAccessibleValue
                Accessible.name: tuningModel.redTitle
                onMoved: tuningModel.moveRed(value)
                onPressedChanged: tuningModel.setRedDragging(pressed)
            }
        }
    }

    // The widest value text, so that the values do not shift the titles as they change.
    TextMetrics {
        id: valueWidth
        font: Theme.detailMedium
        text: "Neutral"
    }
}
