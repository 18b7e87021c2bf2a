#include "display/ComfortVeilDrawing.h"

#include "display/VeilSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>
#include <array>
#include <thread>

namespace qv::veil {

double effectiveAmount(double amount, double cap)
{
    if (std::isnan(amount))
        return 0;
    if (amount >= cap)
        return cap;
    if (amount < 0 || amount <= 0.01)
        return 0;
    return amount;
}

namespace {

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

} // namespace

QList<Wash> highlightWashes(double a)
{
    return {{grey(0.0), 0.1 * a}, {grey(0.9), 0.035 * a}};
}

ColorCalmCurve colorCalmCurve(double c)
{
    ColorCalmCurve curve;
    curve.t = std::clamp(c * 0.5, 0.0, 1.0);
    curve.p = std::pow(curve.t, 0.72);
    curve.e = std::max(curve.t - 0.62, 0.0);
    return curve;
}

QList<Wash> colorCalmWashes(double c)
{
    const ColorCalmCurve k = colorCalmCurve(c);
    return {{grey(0.58), 0.16 * k.p + 0.1 * k.e},
            {QColor::fromRgbF(0.78f, 0.76f, 0.70f), 0.075 * k.p + 0.08 * k.e}};
}

QColor composeWashes(const QList<Wash> &washes)
{
    // Premultiplied source-over, one wash after the other.
    double r = 0, g = 0, b = 0, a = 0;
    for (const Wash &w : washes) {
        const double sa = std::clamp(w.alpha, 0.0, 1.0);
        if (!(sa > 0))
            continue;
        r = w.color.redF() * sa + r * (1 - sa);
        g = w.color.greenF() * sa + g * (1 - sa);
        b = w.color.blueF() * sa + b * (1 - sa);
        a = sa + a * (1 - sa);
    }
    if (a <= 0)
        return QColor(Qt::transparent);
    return QColor::fromRgbF(float(r / a), float(g / a), float(b / a), float(a));
}

Vignette vignetteGeometry(const QRectF &bounds)
{
    const double radius = 0.72 * std::max(bounds.width(), bounds.height());
    return {bounds.center(), 0.16 * radius, radius};
}

QList<VignetteStop> vignetteStops(double a)
{
    return {{0.34, 0.0}, {0.72, 0.28 * a}, {1.0, 0.54 * a}};
}

double vignetteAlphaAt(double s, double a)
{
    if (s < 0)
        return 0;
    const QList<VignetteStop> stops = vignetteStops(a);
    if (s <= stops.first().location)
        return stops.first().alpha;
    for (qsizetype i = 1; i < stops.size(); ++i) {
        if (s <= stops[i].location) {
            const VignetteStop &lo = stops[i - 1];
            const VignetteStop &hi = stops[i];
            return lo.alpha + (hi.alpha - lo.alpha) * (s - lo.location) / (hi.location - lo.location);
        }
    }
    return stops.last().alpha;
}

double strideValue(double from, double by, std::int64_t k)
{
    return std::fma(double(k), by, from);
}

std::int64_t strideCount(double from, double through, double by)
{
    if (!(by > 0) || !std::isfinite(from) || !std::isfinite(through) || from > through)
        return 0;
    // Start near the end by division, then settle on the exact rule.
    std::int64_t k = std::max<std::int64_t>(0, std::int64_t(std::floor((through - from) / by)) - 1);
    while (strideValue(from, by, k) <= through)
        ++k;
    while (k > 0 && strideValue(from, by, k - 1) > through)
        --k;
    return k;
}

int grainResidue(double x, double y)
{
    const double sum = 701.0 * y + 1113.0 * x;
    const auto n = static_cast<std::int64_t>(sum); // truncated toward zero
    return int(n % 43);
}

MicrotextureAlphas microtextureAlphas(double m)
{
    return {0.034 * m, 0.026 * m, 0.005 * m, 0.007 * m};
}

namespace {

// The texture image holds every alpha divided by the strongest sum a pixel can reach (a
// dark dot under a dark line), so that its 8 bits are spent on the texture and not on
// empty headroom.
constexpr double kImageScale = 0.034 + 0.007;

// The pixels covered by intervals of one axis (in pixels), with the covered part of each.
struct Spans {
    std::vector<int> first;
    std::vector<int> offset; // into cover; the entries up to the next offset
    std::vector<float> cover;

    void add(double from, double to, int limit)
    {
        first.push_back(std::max(0, int(std::floor(from))));
        offset.push_back(int(cover.size()));
        const int end = std::min(limit, int(std::ceil(to)));
        for (int i = first.back(); i < end; ++i)
            cover.push_back(float(std::min(to, i + 1.0) - std::max(from, double(i))));
    }
    int count(size_t k) const
    {
        const size_t next = k + 1 < offset.size() ? size_t(offset[k + 1]) : cover.size();
        return int(next) - offset[k];
    }
};

// Adds a small alpha (in 1/255) of black or white to a pixel (alpha in the high byte,
// premultiplied white in the low one); the sum of small alphas is their source-over
// result to within the image's precision.
inline void addToPixel(std::uint16_t &pixel, float amount, bool white)
{
    const int add = int(amount + 0.5f);
    if (add <= 0)
        return;
    const int a = std::min(255, int(pixel >> 8) + add);
    int w = int(pixel & 0xff);
    if (white)
        w = std::min(a, w + add);
    pixel = std::uint16_t((a << 8) | w);
}

// 0 none, 1 dark, 2 light, by residue.
constexpr std::array<quint8, 43> kDotKinds = [] {
    std::array<quint8, 43> kinds{};
    for (int r : {3, 7, 17, 23, 35})
        kinds[size_t(r)] = 1;
    for (int r : {0, 11, 29, 41})
        kinds[size_t(r)] = 2;
    return kinds;
}();

constexpr qint64 kMaxTexturePixels = qint64(1) << 27; // 128 M pixels (256 MB)

} // namespace

GrainDot grainDotAt(double x, double y)
{
    const quint8 kind = kDotKinds[size_t(grainResidue(x, y))];
    return kind == 1 ? GrainDot::dark : kind == 2 ? GrainDot::light : GrainDot::none;
}

double microtextureImageOpacity(double m)
{
    return kImageScale * m;
}

GrainMap renderGrainMap(const QSizeF &size, double devicePixelRatio)
{
    const double width = size.width();
    const double height = size.height();
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height)
        || !(devicePixelRatio > 0) || !std::isfinite(devicePixelRatio))
        return {};
    const double pixelsWide = std::ceil(width * devicePixelRatio);
    const double pixelsHigh = std::ceil(height * devicePixelRatio);
    if (pixelsWide * pixelsHigh > double(kMaxTexturePixels) || pixelsWide > 1e6 || pixelsHigh > 1e6)
        return {};

    // The cell numbers must fit in 32 bits (they always do for a real screen).
    if (701.0 * height + 1113.0 * width >= 2.0e9)
        return {};

    // Zeroed memory straight from the allocator is already transparent, and its pages
    // are touched for the first time by the threads below rather than by a fill.
    GrainMap map;
    map.width = int(pixelsWide);
    map.height = int(pixelsHigh);
    map.pixels = {static_cast<std::uint16_t *>(std::calloc(size_t(map.width) * size_t(map.height), 2)), &std::free};
    if (!map.pixels)
        return {};
    const double dpr = devicePixelRatio;
    const int w = map.width;
    const int h = map.height;
    std::uint16_t *const bits = map.pixels.get();
    const auto scanLine = [&](int y) { return bits + qsizetype(y) * w; };

    // Alphas in 1/255 of the image scale.
    const MicrotextureAlphas unit = microtextureAlphas(255.0 / kImageScale);

    // The scan lines first: on the empty image most of their rows are set in one go.
    std::vector<bool> rowTouched(size_t(h), false);
    const auto scanLines = [&](double start, double alpha, bool white) {
        const std::int64_t count = strideCount(start, height, kScanLineSpacing);
        for (std::int64_t k = 0; k < count; ++k) {
            const double centre = flippedY(strideValue(start, kScanLineSpacing, k), height);
            Spans band;
            band.add((centre - kScanLineWidth / 2) * dpr, (centre + kScanLineWidth / 2) * dpr, h);
            for (int j = 0; j < band.count(0); ++j) {
                const int y = band.first[0] + j;
                auto *line = scanLine(y);
                const float amount = band.cover[size_t(j)] * float(alpha);
                if (!rowTouched[size_t(y)]) {
                    // A row of its own: every pixel gets the same value.
                    std::uint16_t pixel = 0;
                    addToPixel(pixel, amount, white);
                    std::fill(line, line + w, pixel);
                    rowTouched[size_t(y)] = true;
                    continue;
                }
                for (int i = 0; i < w; ++i)
                    addToPixel(line[i], amount, white);
            }
        }
    };
    scanLines(kLightLineStart, unit.lightLine, true);
    scanLines(kDarkLineStart, unit.darkLine, false);

    // The cells' columns and rows, and the pixels each covers (the same for every row and
    // column respectively).
    const std::int64_t columns = strideCount(0, width, kGrainPitch);
    const std::int64_t rows = strideCount(0, height, kGrainPitch);
    std::vector<double> xTerms(static_cast<size_t>(columns));
    Spans columnSpans;
    for (std::int64_t k = 0; k < columns; ++k) {
        const double x = strideValue(0, kGrainPitch, k);
        xTerms[size_t(k)] = 1113.0 * x;
        columnSpans.add(x * dpr, (x + kGrainDotSize) * dpr, w);
    }
    const auto dotRows = [&](std::int64_t fromRow, std::int64_t toRow) {
        std::vector<quint8> kinds(static_cast<size_t>(columns));
        for (std::int64_t row = fromRow; row < toRow; ++row) {
            const double y = strideValue(0, kGrainPitch, row);
            const double yTerm = 701.0 * y;
            for (size_t col = 0; col < kinds.size(); ++col)
                kinds[col] = kDotKinds[size_t(int(yTerm + xTerms[col]) % 43)];
            // The cell spans y...y+0.5 upwards, that is from height − y − 0.5 down in Qt's terms.
            Spans rowSpan;
            rowSpan.add(flippedY(y + kGrainDotSize, height) * dpr, flippedY(y, height) * dpr, h);
            const int rowCount = rowSpan.count(0);
            for (size_t col = 0; col < kinds.size(); ++col) {
                if (kinds[col] == 0)
                    continue;
                const bool light = kinds[col] == 2;
                const float alpha = float(light ? unit.lightDot : unit.darkDot);
                const int firstColumn = columnSpans.first[col];
                const float *columnCover = columnSpans.cover.data() + columnSpans.offset[col];
                const int columnCount = columnSpans.count(col);
                for (int j = 0; j < rowCount; ++j) {
                    auto *line = scanLine(rowSpan.first[0] + j) + firstColumn;
                    const float rowAlpha = rowSpan.cover[size_t(j)] * alpha;
                    for (int i = 0; i < columnCount; ++i)
                        addToPixel(line[i], rowAlpha * columnCover[i], light);
                }
            }
        }
    };

    // The grain is the bulk of the work: bands of cell rows go to worker threads, the
    // even bands first and then the odd ones, so that no two threads ever share a pixel
    // row (neighbouring bands may meet in one).
    const int workers = std::clamp(int(std::thread::hardware_concurrency()), 1, 4);
    const std::int64_t bandCount = rows < 64 || workers == 1 ? 1 : 2 * workers;
    if (bandCount == 1) {
        dotRows(0, rows);
    } else {
        const auto bandStart = [&](std::int64_t band) { return rows * band / bandCount; };
        for (std::int64_t parity = 0; parity < 2; ++parity) {
            std::vector<std::thread> threads;
            for (std::int64_t band = parity; band < bandCount; band += 2)
                threads.emplace_back(dotRows, bandStart(band), bandStart(band + 1));
            for (std::thread &thread : threads)
                thread.join();
        }
    }
    return map;
}

QImage renderMicrotexture(const QSizeF &size, double devicePixelRatio)
{
    const GrainMap map = renderGrainMap(size, devicePixelRatio);
    if (map.isNull())
        return {};
    QImage image(map.width, map.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(devicePixelRatio);
    for (int y = 0; y < map.height; ++y) {
        const std::uint16_t *in = map.pixels.get() + qsizetype(y) * map.width;
        auto *out = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < map.width; ++x) {
            const quint32 a = in[x] >> 8;
            const quint32 w = in[x] & 0xffu;
            out[x] = (a << 24) | (w << 16) | (w << 8) | w;
        }
    }
    return image;
}

} // namespace qv::veil
