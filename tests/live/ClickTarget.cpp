// A plain window that reports every mouse press, for checks that clicks reach the windows
// below an overlay. Prints "press X Y" (window coordinates) on standard output.
// Usage: qv_clicktarget X Y WIDTH HEIGHT
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
    bool ok = args.size() == 5;
    int values[4] = {};
    for (int i = 0; ok && i < 4; ++i)
        values[i] = args.at(i + 1).toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "usage: qv_clicktarget X Y WIDTH HEIGHT\n");
        return 2;
    }
    ClickTarget window;
    window.setTitle(QStringLiteral("Click target"));
    window.setGeometry(values[0], values[1], values[2], values[3]);
    window.show();
    return app.exec();
}
