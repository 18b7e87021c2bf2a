import QtQuick
import Quellvista.App

// The break panel once its mark has faded in, without a running break (the countdown
// shows 20):
// qv_render --size 1512x982 tests/render/views/BreakPanel.qml
BreakOverlayView {
    model: BreakOverlayModel {}
    markFadesIn: false
}
