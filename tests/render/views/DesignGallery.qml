import QtQuick
import QtQuick.Layouts
import Quellvista.Design

// Every shared control and brand mark on the backdrop, for looking at them in both
// appearances: qv_render --size 900x620 tests/render/views/DesignGallery.qml
Item {
    width: 900
    height: 620

    QuellvistaAppBackdrop {
        anchors.fill: parent
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 40
        spacing: 28

        Text {
            text: "Design system"
            font: Theme.pageTitle
            color: Theme.textPrimary
        }

        RowLayout {
            spacing: 24

            Card {
                padding: 20
                Layout.preferredWidth: 380

                ColumnLayout {
                    width: 340
                    spacing: 12

                    Text {
                        text: "Card title"
                        font: Theme.cardTitle
                        color: Theme.textPrimary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "Body text explains what a setting does, calmly and briefly."
                        wrapMode: Text.WordWrap
                        font: Theme.bodyRegular
                        color: Theme.textSecondary
                    }
                    RowLayout {
                        spacing: 10
                        SageToggle { isOn: true; tint: Theme.sage }
                        Text { text: "On"; font: Theme.detailMedium; color: Theme.textPrimary }
                        SageToggle { isOn: false; tint: Theme.sage }
                        Text { text: "Off"; font: Theme.detailMedium; color: Theme.textPrimary }
                    }
                    RowLayout {
                        spacing: 10
                        PrimaryButton { text: "Start break"; Layout.fillWidth: true }
                        SecondaryButton { text: "Skip"; Layout.fillWidth: true }
                    }
                    Text {
                        text: "Caption text in the tertiary colour"
                        font: Theme.captionRegular
                        color: Theme.textTertiary
                    }
                }
            }

            ColumnLayout {
                spacing: 16

                Card {
                    padding: 16
                    Layout.preferredWidth: 360
                    ColumnLayout {
                        width: 328
                        spacing: 8
                        Text { text: "This week"; font: Theme.detailMedium; color: Theme.textSecondary }
                        Sparkline {
                            Layout.fillWidth: true
                            Layout.preferredHeight: 44
                            values: [0.2, 0.45, 0.3, 0.7, 0.55, 0.9, 0.65]
                        }
                        Text { text: "42"; font: Theme.metricValue; color: Theme.textPrimary }
                    }
                }

                RowLayout {
                    spacing: 28
                    QuellvistaLogoMark { size: 32; animated: false }
                    QuellvistaLogoMark { size: 56; animated: true }
                    QuellvistaBrandLayer {
                        Layout.preferredWidth: 56
                        Layout.preferredHeight: 56
                        first: Theme.markLavender
                        second: Theme.markTeal
                        bloom: Theme.markTeal
                    }
                    AmorphousLogoShape {
                        Layout.preferredWidth: 56
                        Layout.preferredHeight: 56
                        progress: 1
                        fillColor: Theme.accentSoft
                        strokeColor: Theme.accent
                        strokeWidth: 1
                    }
                    Item {
                        Layout.preferredWidth: 90
                        Layout.preferredHeight: 90
                        QuellvistaBreathingMark { anchors.centerIn: parent; size: 48 }
                    }
                }

                RowLayout {
                    spacing: 14
                    Repeater {
                        model: ["sparkles", "eye", "clock", "lifepreserver", "gearshape", "checkmark.circle.fill", "xmark"]
                        Symbol {
                            required property string modelData
                            name: modelData
                            size: 18
                            color: Theme.accent
                        }
                    }
                }
            }
        }
    }
}
