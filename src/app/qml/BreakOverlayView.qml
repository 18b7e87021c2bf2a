import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quellvista.Design
import Quellvista.App

// The full-screen break panel: the calm background, the breathing mark fading in, the
// headline, the line of encouragement that changes every 5 s, the countdown and
// "Skip Break". Its fades step with the breathing mark (SteppedFade), so that the panel
// draws at most about 21 frames a second.
Item {
    id: view

    required property BreakOverlayModel model
    // Holds the keyboard while the panel has it: Tab goes on to "Skip Break", other keys
    // act on nothing. Told to assistive technology as an alert named by the headline, which
    // reads the line of encouragement and the countdown within it.
    focus: true
    Accessible.role: Accessible.AlertMessage
    Accessible.name: view.model.headline
    // The mark fades in as the panel appears (false: it is there at once).
    property bool markFadesIn: true

    BreakOverlayBackground {
        anchors.fill: parent
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 24

        Item {
            Layout.fillHeight: true
        }

        QuellvistaBreathingMark {
            objectName: "breathingMark"
            Layout.alignment: Qt.AlignHCenter
            size: 170
            opacity: markFade.value

            SteppedFade {
                id: markFade
                from: 0
                to: 1
                duration: 1200
                curve: SteppedFade.InQuad
                Component.onCompleted: if (view.markFadesIn) start()
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.fillWidth: true
            spacing: 12

            Text {
                Layout.alignment: Qt.AlignHCenter
                text: view.model.headline
                // Read as the alert's name.
                Accessible.ignored: true
                textFormat: Text.PlainText
                font: Theme.systemFont(42, Font.Light)
                color: Theme.withOpacity("white", 0.96)
            }

            // The old line fades out while the new one fades in: two lines take turns.
            Item {
                id: message
                objectName: "message"
                property string text: view.model.message
                property bool firstShown: true
                // Read as the line it is changing to, not as the two lines that take turns.
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.focusable: false
                Layout.fillWidth: true
                Layout.leftMargin: 40
                Layout.rightMargin: 40
                implicitHeight: Math.max(firstLine.implicitHeight, secondLine.implicitHeight)
                onTextChanged: {
                    if (firstShown)
                        secondLine.text = text
                    else
                        firstLine.text = text
                    messageFade.start()
                    firstShown = !firstShown
                }

                // The line coming in; the other one goes out.
                SteppedFade {
                    id: messageFade
                    from: 0
                    to: 1
                    duration: 800
                    curve: SteppedFade.InOutQuad
                }
                MessageLine {
                    id: firstLine
                    opacity: message.firstShown ? messageFade.value : 1 - messageFade.value
                    Component.onCompleted: text = message.text
                }
                MessageLine {
                    id: secondLine
                    opacity: message.firstShown ? 1 - messageFade.value : messageFade.value
                }

                component MessageLine: Text {
                    Accessible.ignored: true
                    width: message.width
                    textFormat: Text.PlainText
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignHCenter
                    font: Theme.systemFont(16)
                    color: Theme.withOpacity("white", 0.75)
                }
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 8

            // Digits in cells of one width: the seconds count down in place.
            TabularText {
                id: countdown
                objectName: "countdown"
                Layout.alignment: Qt.AlignHCenter
                text: view.model.countdownText
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.focusable: false
                font: Theme.systemFont(72, Font.Thin)
                color: Theme.withOpacity("white", 0.94)
                opacity: countdownFade.value
                onTextChanged: countdownFade.start()

                // Each new number eases in over 0.3 s.
                SteppedFade {
                    id: countdownFade
                    from: 0.35
                    to: 1
                    duration: 300
                    curve: SteppedFade.OutCubic
                }
            }

            Text {
                Layout.alignment: Qt.AlignHCenter
                text: view.model.caption
                textFormat: Text.PlainText
                font: Theme.systemFont(13)
                color: Theme.withOpacity("white", 0.6)
            }
        }

        Item {
            Layout.fillHeight: true
        }

        T.Button {
            id: skip
            Accessible.onPressAction: skip.clicked()
            objectName: "skipButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 60
            implicitWidth: implicitContentWidth + leftPadding + rightPadding
            implicitHeight: implicitContentHeight + topPadding + bottomPadding
            leftPadding: 24
            rightPadding: 24
            topPadding: 10
            bottomPadding: 10
            text: view.model.skipTitle
            Accessible.name: text
            font: Theme.systemFont(13, Font.Medium)
            opacity: down ? 0.7 : 1
            onClicked: view.model.skip()

            // The panel is dark in either appearance: a white ring stands out from it.
            FocusRing {
                shapeRadius: 6
                background: Theme.brandInk
                border.color: Theme.withOpacity("white", 0.9)
            }

            contentItem: Text {
                text: skip.text
                textFormat: Text.PlainText
                font: skip.font
                color: Theme.withOpacity("white", 0.85)
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }

            background: Surface {
                kind: Surface.BreakButton
                radius: 6
            }
        }
    }
}
