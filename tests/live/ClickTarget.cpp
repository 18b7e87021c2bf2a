// A plain window that reports every mouse press, for checks that clicks reach the windows
// below an overlay. Prints "press X Y" (window coordinates) on standard output. Given a
// hole (window coordinates), the window is frameless and shaped without it, so that what
// lies beneath shows through.
// Usage: qv_clicktarget X Y WIDTH HEIGHT [HOLE_X HOLE_Y HOLE_WIDTH HOLE_HEIGHT]
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>

namespace {

class ClickTarget final : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), QColor(255, 200, 0));
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        const QPoint at = event->position().toPoint();
        std::printf("press %d %d\n", at.x(), at.y());
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = args.size() == 5 || args.size() == 9;
    int values[8] = {};
    for (int i = 0; ok && i < args.size() - 1; ++i)
        values[i] = args.at(i + 1).toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "usage: qv_clicktarget X Y WIDTH HEIGHT [HOLE_X HOLE_Y HOLE_WIDTH HOLE_HEIGHT]\n");
        return 2;
    }
    ClickTarget window;
    window.setTitle(QStringLiteral("Click target"));
    window.setGeometry(values[0], values[1], values[2], values[3]);
    if (args.size() == 9) {
        window.setFlags(Qt::FramelessWindowHint);
        window.setMask(QRegion(0, 0, values[2], values[3]) - QRegion(values[4], values[5], values[6], values[7]));
    }
    window.show();
    return app.exec();
}
