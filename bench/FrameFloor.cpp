// What Qt's software scene graph spends on frames alone: a window of the main window's size
// in which one 32-pixel square changes colour every INTERVAL ms over BOXES still labelled
// boxes, nothing else. Measured with bench/idle-cpu.sh (PEER="<build>/bench/qv_frame_floor
// BOXES INTERVAL") beside the application, it gives the floor an idle page's frames stand on.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

int main(int argc, char **argv)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int boxes = args.size() > 1 ? args.at(1).toInt() : 0;
    const int interval = args.size() > 2 ? args.at(2).toInt() : 120;
    QQmlApplicationEngine engine;
    engine.setInitialProperties({{"boxes", boxes}, {"tickMs", interval}});
    engine.loadData(R"(
import QtQuick
Window {
    required property int boxes
    required property int tickMs
    width: 1100; height: 760; visible: true; color: "#f4f1ec"
    Grid {
        x: 300; y: 20; columns: 20; spacing: 4
        Repeater {
            model: boxes
            Rectangle {
                required property int index
                width: 36; height: 20; radius: 4; color: "#20000000"
                Text { anchors.centerIn: parent; text: index; font.pixelSize: 10 }
            }
        }
    }
    Rectangle {
        id: square
        property real hue: 0
        x: 20; y: 20; width: 32; height: 32; radius: 10
        color: Qt.hsla(hue, 0.6, 0.5, 1)
    }
    Timer { interval: tickMs; repeat: true; running: true; onTriggered: square.hue = (square.hue + 0.01) % 1 }
}
)");
    return engine.rootObjects().isEmpty() ? 1 : app.exec();
}
