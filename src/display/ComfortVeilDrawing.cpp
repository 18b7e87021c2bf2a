#include "display/ComfortVeilDrawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

GrainDot dotForResidue(int r)
{
    switch (r) {
    case 3: case 7: case 17: case 23: case 35:
        return GrainDot::dark;
    case 0: case 11: case 29: case 41:
        return GrainDot::light;
    default:
        return GrainDot::none;
    }
}

} // namespace

GrainDot grainDotAt(double x, double y)
{
    return dotForResidue(grainResidue(x, y));
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

// Accumulates coverage into a premultiplied image whose pixels are black or white with
// small alphas: alpha and the white level add up (the sum of small alphas is their
// source-over result to within the image's precision).
class TextureRaster {
public:
    explicit TextureRaster(QImage &image)
        : m_image(image), m_width(image.width()), m_height(image.height())
    {
    }

    // Adds a rectangle in pixel units at the given weight (0...1 of the image scale).
    void addRect(double x0, double x1, double y0, double y1, double weight, bool white)
    {
        const int i0 = std::max(0, int(std::floor(x0)));
        const int i1 = std::min(m_width, int(std::ceil(x1)));
        const int j0 = std::max(0, int(std::floor(y0)));
        const int j1 = std::min(m_height, int(std::ceil(y1)));
        for (int j = j0; j < j1; ++j) {
            const double cy = std::min(y1, j + 1.0) - std::max(y0, double(j));
            auto *row = reinterpret_cast<quint32 *>(m_image.scanLine(j));
            for (int i = i0; i < i1; ++i) {
                const double cx = std::min(x1, i + 1.0) - std::max(x0, double(i));
                add(row[i], int(std::lround(cx * cy * weight * 255.0)), white);
            }
        }
    }

    // Adds a band across the whole width, rows y0...y1 in pixel units.
    void addRow(double y0, double y1, double weight, bool white)
    {
        addRect(0, m_width, y0, y1, weight, white);
    }

private:
    static void add(quint32 &pixel, int amount, bool white)
    {
        if (amount <= 0)
            return;
        const int a = std::min(255, int(pixel >> 24) + amount);
        int w = int(pixel & 0xff);
        if (white)
            w = std::min(a, w + amount);
        pixel = (quint32(a) << 24) | (quint32(w) << 16) | (quint32(w) << 8) | quint32(w);
    }

    QImage &m_image;
    int m_width;
    int m_height;
};

constexpr qint64 kMaxTexturePixels = qint64(1) << 27; // 128 M pixels (512 MB)

} // namespace

double microtextureImageOpacity(double m)
{
    return kImageScale * m;
}

QImage renderMicrotexture(const QSizeF &size, double devicePixelRatio)
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

    QImage image(int(pixelsWide), int(pixelsHigh), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    TextureRaster raster(image);
    const double dpr = devicePixelRatio;

    const MicrotextureAlphas unit = microtextureAlphas(1.0 / kImageScale);
    const std::int64_t columns = strideCount(0, width, kGrainPitch);
    const std::int64_t rows = strideCount(0, height, kGrainPitch);
    std::vector<double> xs(static_cast<size_t>(columns));
    std::vector<double> xTerms(static_cast<size_t>(columns));
    for (std::int64_t k = 0; k < columns; ++k) {
        xs[size_t(k)] = strideValue(0, kGrainPitch, k);
        xTerms[size_t(k)] = 1113.0 * xs[size_t(k)];
    }
    for (std::int64_t row = 0; row < rows; ++row) {
        const double y = strideValue(0, kGrainPitch, row);
        const double yTerm = 701.0 * y;
        // The cell spans y...y+0.5 upwards, that is top = height − y − 0.5 in Qt's terms.
        const double top = flippedY(y + kGrainDotSize, height) * dpr;
        const double bottom = flippedY(y, height) * dpr;
        for (std::int64_t col = 0; col < columns; ++col) {
            const auto n = static_cast<std::int64_t>(yTerm + xTerms[size_t(col)]);
            const GrainDot dot = dotForResidue(int(n % 43));
            if (dot == GrainDot::none)
                continue;
            const double left = xs[size_t(col)] * dpr;
            const bool light = dot == GrainDot::light;
            raster.addRect(left, left + kGrainDotSize * dpr, top, bottom, light ? unit.lightDot : unit.darkDot,
                           light);
        }
    }

    const auto lines = [&](double start, double weight, bool white) {
        const std::int64_t count = strideCount(start, height, kScanLineSpacing);
        for (std::int64_t k = 0; k < count; ++k) {
            const double centre = flippedY(strideValue(start, kScanLineSpacing, k), height);
            raster.addRow((centre - kScanLineWidth / 2) * dpr, (centre + kScanLineWidth / 2) * dpr, weight, white);
        }
    };
    lines(kLightLineStart, unit.lightLine, true);
    lines(kDarkLineStart, unit.darkLine, false);
    return image;
}

} // namespace qv::veil
