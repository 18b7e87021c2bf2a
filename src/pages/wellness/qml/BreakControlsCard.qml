import QtQuick
import QtQuick.Layouts
import Quellvista.Design
import Quellvista.Pages.Wellness

// "Reminder controls": the switch, the quick actions (snooze, an hour, reset), and the
// work interval, break length and reminder style choices.
Item {
    id: card

    required property BreakRemindersModel model

    Surface {
        anchors.fill: parent
        kind: Surface.PageCard
        radius: 12
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Column {
                Layout.fillWidth: true
                spacing: 1
                Text {
                    text: card.model.controlsTitle
                    font: Theme.bodyMedium
                    color: Theme.textPrimary
                }
                Text {
                    text: card.model.controlsSubtitle
                    font: Theme.captionRegular
                    color: Theme.textTertiary
                }
            }
            SageToggle {
                objectName: "controlsSwitch"
                isOn: card.model.isEnabled
                tint: Theme.accentTint
                Accessible.name: card.model.switchAccessibleName
                onToggled: on => card.model.setRemindersOn(on)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 4

            Repeater {
                model: card.model.quickActions
                BreakControlTile {
                    required property var modelData
                    required property int index
                    objectName: "quickAction" + index
                    Layout.preferredHeight: 43
                    option: modelData
                    onClicked: {
                        if (index === 0)
                            card.model.snoozeFiveMinutes()
                        else if (index === 1)
                            card.model.pushBackOneHour()
                        else
                            card.model.restartCountdown()
                    }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 0.5
            color: Theme.withOpacity(Theme.divider, 0.7)
        }

        Repeater {
            model: card.model.sections

            ColumnLayout {
                id: section
                required property var modelData
                required property int index
                readonly property var options: index === 0 ? card.model.workIntervals
                                             : index === 1 ? card.model.breakDurations
                                             : card.model.reminderStyles
                Layout.fillWidth: true
                spacing: 4

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Symbol {
                        Layout.preferredWidth: 14
                        name: section.modelData.symbol
                        size: 11
                        color: Theme.accentTint
                    }
                    Text {
                        Layout.fillWidth: true
                        text: section.modelData.title
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                        font: Theme.detailMedium
                        color: Theme.textPrimary
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 4

                    Repeater {
                        model: section.options
                        BreakControlTile {
                            required property var modelData
                            required property int index
                            objectName: "option" + section.index + "_" + index
                            Layout.preferredHeight: section.index === 2 ? 44 : 27
                            option: modelData
                            captionFont: section.index === 2 ? Theme.captionRegular : Theme.detailMedium
                            symbolSpacing: 3
                            onClicked: {
                                if (section.index === 0)
                                    card.model.selectWorkInterval(modelData.value)
                                else if (section.index === 1)
                                    card.model.selectBreakDuration(modelData.value)
                                else
                                    card.model.selectReminderStyle(index)
                            }
                        }
                    }
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
