// qv_markcompare: checks that a coloured mark sits in a screenshot where it sits in a
// reference picture.
//
//   qv_markcompare [--region X,Y,W,H] [--tolerance PIXELS] REFERENCE ACTUAL
//
// In the region (the whole picture by default) of each image, the mark is the set of
// pixels that stand out from the region's background (its median colour) by at least
// kContrast levels in some channel: choose a region of a light, near-even background
// that holds the mark's place and where it may land by mistake, and no text. The two
// marks agree when the actual one has between half and twice as many pixels as the
// reference and its centre lies within the tolerance (3 pixels by default) of the
// reference's. Colours may differ: an animated mark is caught at another moment of its
// cycle than the reference.
// Prints both footprints; exits 0 when they agree, 1 when not, 2 on bad input.

#include <QCoreApplication>
#include <QImage>
#include <QRect>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kContrast = 32;

struct Footprint {
    qint64 count = 0;
    double x = 0, y = 0; // centre, in image coordinates
    QRect bounds;
};

Footprint footprint(const QImage &image, const QRect &region)
{
    Footprint f;
    const QRect area = region.intersected(image.rect());
    if (area.isEmpty())
        return f;
    // The background: the median of each channel over the region.
    std::array<std::vector<int>, 3> channels;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            channels[0].push_back(qRed(line[x]));
            channels[1].push_back(qGreen(line[x]));
            channels[2].push_back(qBlue(line[x]));
        }
    }
    int background[3];
    for (int i = 0; i < 3; ++i) {
        auto middle = channels[i].begin() + std::ptrdiff_t(channels[i].size() / 2);
        std::nth_element(channels[i].begin(), middle, channels[i].end());
        background[i] = *middle;
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = line[x];
            const int contrast = std::max({std::abs(qRed(c) - background[0]), std::abs(qGreen(c) - background[1]),
                                           std::abs(qBlue(c) - background[2])});
            if (contrast < kContrast)
                continue;
            ++f.count;
            f.x += x;
            f.y += y;
            f.bounds = f.bounds.united(QRect(x, y, 1, 1));
        }
    }
    if (f.count > 0) {
        f.x /= double(f.count);
        f.y /= double(f.count);
    }
    return f;
}

void print(const char *name, const Footprint &f)
{
    std::printf("%-9s %6lld mark pixels, centre (%.1f, %.1f), bounds %d,%d %dx%d\n", name,
                static_cast<long long>(f.count), f.x, f.y, f.bounds.x(), f.bounds.y(), f.bounds.width(),
                f.bounds.height());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QRect region;
    double tolerance = 3;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--region") && i + 1 < args.size()) {
            const QStringList v = args[++i].split(u',');
            if (v.size() != 4) {
                std::fprintf(stderr, "qv_markcompare: --region takes X,Y,W,H\n");
                return 2;
            }
            region = QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt());
        } else if (args[i] == QLatin1String("--tolerance") && i + 1 < args.size()) {
            tolerance = args[++i].toDouble();
        } else {
            files << args[i];
        }
    }
    if (files.size() != 2) {
        std::fprintf(stderr, "usage: qv_markcompare [--region X,Y,W,H] [--tolerance PIXELS] REFERENCE ACTUAL\n");
        return 2;
    }
    QImage images[2];
    for (int i = 0; i < 2; ++i) {
        images[i] = QImage(files[i]).convertToFormat(QImage::Format_RGB32);
        if (images[i].isNull()) {
            std::fprintf(stderr, "qv_markcompare: cannot read %s\n", qUtf8Printable(files[i]));
            return 2;
        }
    }
    if (region.isNull())
        region = images[0].rect();
    const Footprint expected = footprint(images[0], region);
    const Footprint actual = footprint(images[1], region);
    print("reference", expected);
    print("actual", actual);
    if (expected.count == 0) {
        std::fprintf(stderr, "qv_markcompare: the reference has no mark in the region\n");
        return 2;
    }
    if (actual.count * 2 < expected.count || actual.count > expected.count * 2) {
        std::printf("FAIL: the mark is missing or not the same size\n");
        return 1;
    }
    const double off = std::hypot(actual.x - expected.x, actual.y - expected.y);
    if (off > tolerance) {
        std::printf("FAIL: the mark is %.1f pixels from its place\n", off);
        return 1;
    }
    std::printf("ok: the mark is %.1f pixels from its place\n", off);
    return 0;
}
