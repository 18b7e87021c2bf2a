// qv_pngzoom IN OUT x y w h zoom [stretch]: crops a region of a render, enlarges it with
// square pixels and, with "stretch", spreads its levels to the full range, so faint
// gradients and edges can be looked at.
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 8) {
        std::fprintf(stderr, "usage: qv_pngzoom IN OUT x y w h zoom [stretch]\n");
        return 2;
    }
    QImage image = QImage(a[1]).convertToFormat(QImage::Format_RGB32);
    image = image.copy(a[3].toInt(), a[4].toInt(), a[5].toInt(), a[6].toInt());
    if (a.size() > 8 && a[8] == QLatin1String("stretch")) {
        int lo = 255, hi = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                lo = std::min({lo, qRed(p), qGreen(p), qBlue(p)});
                hi = std::max({hi, qRed(p), qGreen(p), qBlue(p)});
            }
        const double k = hi > lo ? 255.0 / (hi - lo) : 1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                image.setPixel(x, y, qRgb(int((qRed(p) - lo) * k), int((qGreen(p) - lo) * k), int((qBlue(p) - lo) * k)));
            }
        std::printf("levels %d..%d\n", lo, hi);
    }
    const int zoom = a[7].toInt();
    image = image.scaled(image.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image.save(a[2]) ? 0 : 1;
}
