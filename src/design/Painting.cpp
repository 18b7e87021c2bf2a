#include "design/Painting.h"

#include "design/Theme.h"

#include <QCache>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QSysInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace qv::paint {

namespace {

QColor clearOf(const QColor &like)
{
    QColor c = like;
    c.setAlphaF(0);
    return c;
}

QColor opacity(const QColor &c, double k)
{
    return Theme::withOpacity(c, k);
}

// Box sizes whose three passes approximate a Gaussian of sigma.
std::array<int, 3> boxesForGauss(qreal sigma)
{
    const double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - 3 * lower * lower - 4 * 3 * lower - 3 * 3) / (-4 * lower - 4));
    std::array<int, 3> sizes{};
    for (int i = 0; i < 3; ++i)
        sizes[i] = i < m ? lower : upper;
    return sizes;
}

// One box pass of radius r along rows (horizontal) or columns over the given number of
// interleaved channels (four, or one of alpha alone); edges extend with transparent pixels.
void boxPass(const uchar *src, uchar *dst, int width, int height, qsizetype stride, int r, bool horizontal,
             int channels)
{
    const quint32 mul = (1u << 16) / quint32(r + r + 1);
    if (!horizontal) {
        // Down the columns a row at a time: the running sums of a whole row are kept, so
        // that each step reads and writes memory in order.
        const size_t n = size_t(width) * size_t(channels);
        std::vector<quint32> sum(n, 0);
        const auto add = [&](int row, bool subtract) {
            const uchar *in = src + row * stride;
            if (subtract)
                for (size_t i = 0; i < n; ++i)
                    sum[i] -= in[i];
            else
                for (size_t i = 0; i < n; ++i)
                    sum[i] += in[i];
        };
        for (int row = 0; row <= std::min(r, height - 1); ++row)
            add(row, false);
        for (int row = 0; row < height; ++row) {
            uchar *out = dst + row * stride;
            for (size_t i = 0; i < n; ++i)
                out[i] = uchar(std::min<quint32>(255, (sum[i] * mul + 0x8000) >> 16));
            if (row + r + 1 < height)
                add(row + r + 1, false);
            if (row - r >= 0)
                add(row - r, true);
        }
        return;
    }
    for (int line = 0; line < height; ++line) {
        const uchar *in = src + line * stride;
        uchar *out = dst + line * stride;
        quint32 sum[4] = {0, 0, 0, 0};
        for (int i = 0; i <= std::min(r, width - 1); ++i)
            for (int c = 0; c < channels; ++c)
                sum[c] += in[i * channels + c];
        for (int i = 0; i < width; ++i) {
            uchar *o = out + i * channels;
            for (int c = 0; c < channels; ++c)
                o[c] = uchar(std::min<quint32>(255, (sum[c] * mul + 0x8000) >> 16));
            const int add = i + r + 1;
            const int sub = i - r;
            if (add < width)
                for (int c = 0; c < channels; ++c)
                    sum[c] += in[add * channels + c];
            if (sub >= 0)
                for (int c = 0; c < channels; ++c)
                    sum[c] -= in[sub * channels + c];
        }
    }
}

// The three box passes of a Gaussian of sigma over pixels of the given number of channels.
void blurPixels(QImage &image, qreal sigma, int channels)
{
    const int w = image.width();
    const int h = image.height();
    const qsizetype stride = image.bytesPerLine();
    std::vector<uchar> scratch(size_t(stride) * size_t(h));
    uchar *data = image.bits();
    for (int box : boxesForGauss(sigma)) {
        const int r = (box - 1) / 2;
        if (r <= 0)
            continue;
        boxPass(data, scratch.data(), w, h, stride, r, true, channels);
        boxPass(scratch.data(), data, w, h, stride, r, false, channels);
    }
}

} // namespace

QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    const qreal limit = std::min(rect.width(), rect.height()) / 2;
    if (radius <= 0 || rect.isEmpty()) {
        path.addRect(rect);
        return path;
    }
    constexpr qreal k = 1.52866483;
    if (radius * k > limit) {
        const qreal r = std::min(radius, limit);
        path.addRoundedRect(rect, r, r);
        return path;
    }
    const qreal r = radius;
    const qreal l = rect.left(), t = rect.top(), rt = rect.right(), b = rect.bottom();
    // Each corner is three cubic pieces whose curvature grows smoothly from the edge.
    path.moveTo(l + k * r, t);
    path.lineTo(rt - k * r, t);
    path.cubicTo(rt - 1.08849323 * r, t, rt - 0.86840689 * r, t, rt - 0.63149399 * r, t + 0.07491139 * r);
    path.cubicTo(rt - 0.37282392 * r, t + 0.16905507 * r, rt - 0.16905507 * r, t + 0.37282392 * r,
                 rt - 0.07491139 * r, t + 0.63149399 * r);
    path.cubicTo(rt, t + 0.86840689 * r, rt, t + 1.08849323 * r, rt, t + k * r);
    path.lineTo(rt, b - k * r);
    path.cubicTo(rt, b - 1.08849323 * r, rt, b - 0.86840689 * r, rt - 0.07491139 * r, b - 0.63149399 * r);
    path.cubicTo(rt - 0.16905507 * r, b - 0.37282392 * r, rt - 0.37282392 * r, b - 0.16905507 * r,
                 rt - 0.63149399 * r, b - 0.07491139 * r);
    path.cubicTo(rt - 0.86840689 * r, b, rt - 1.08849323 * r, b, rt - k * r, b);
    path.lineTo(l + k * r, b);
    path.cubicTo(l + 1.08849323 * r, b, l + 0.86840689 * r, b, l + 0.63149399 * r, b - 0.07491139 * r);
    path.cubicTo(l + 0.37282392 * r, b - 0.16905507 * r, l + 0.16905507 * r, b - 0.37282392 * r,
                 l + 0.07491139 * r, b - 0.63149399 * r);
    path.cubicTo(l, b - 0.86840689 * r, l, b - 1.08849323 * r, l, b - k * r);
    path.lineTo(l, t + k * r);
    path.cubicTo(l, t + 1.08849323 * r, l, t + 0.86840689 * r, l + 0.07491139 * r, t + 0.63149399 * r);
    path.cubicTo(l + 0.16905507 * r, t + 0.37282392 * r, l + 0.37282392 * r, t + 0.16905507 * r,
                 l + 0.63149399 * r, t + 0.07491139 * r);
    path.cubicTo(l + 0.86840689 * r, t, l + 1.08849323 * r, t, l + k * r, t);
    path.closeSubpath();
    return path;
}

void blur(QImage &image, qreal sigma)
{
    if (sigma < 0.2 || image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    blurPixels(image, sigma, 4);
}

namespace {
// The shadows of shapes drawn lately: a page built again, or a row of cards of one size,
// casts the same shadows, and blurring them is most of the cost of showing a page.
constexpr qsizetype kShadowCacheBytes = 12 * 1024 * 1024;

struct ShadowCache {
    QMutex mutex;
    QCache<QByteArray, QImage> images{int(kShadowCacheBytes / 1024)}; // cost in KiB
};
ShadowCache &shadowCache()
{
    static ShadowCache cache;
    return cache;
}

// Everything the shadow of a shape is made from, exactly.
QByteArray shadowKey(const QPainterPath &shape, const QRectF &bounds, const QColor &colour, qreal sigma,
                     qreal margin, qreal dpr)
{
    QByteArray key;
    const auto add = [&key](auto value) { key.append(reinterpret_cast<const char *>(&value), sizeof value); };
    for (qreal value : {bounds.x(), bounds.y(), bounds.width(), bounds.height(), sigma, margin, dpr})
        add(value);
    add(colour.rgba64());
    add(int(shape.fillRule()));
    key.reserve(key.size() + shape.elementCount() * qsizetype(sizeof(qreal) * 2 + sizeof(int)));
    for (int i = 0; i < shape.elementCount(); ++i) {
        const QPainterPath::Element e = shape.elementAt(i);
        add(int(e.type));
        add(e.x);
        add(e.y);
    }
    return key;
}
} // namespace

QImage shadowImage(const QPainterPath &shape, const QRectF &bounds, const QColor &colour, qreal sigma, qreal margin,
                   qreal dpr)
{
    const QByteArray key = shadowKey(shape, bounds, colour, sigma, margin, dpr);
    ShadowCache &cache = shadowCache();
    {
        const QMutexLocker lock(&cache.mutex);
        if (const QImage *image = cache.images.object(key))
            return *image;
    }
    QImage image =
        shadowImage([&shape](QPainter &p) { p.fillPath(shape, Qt::black); }, bounds, colour, sigma, margin, dpr);
    const qsizetype kib = image.sizeInBytes() / 1024 + 1;
    const QMutexLocker lock(&cache.mutex);
    if (kib <= cache.images.maxCost())
        cache.images.insert(key, new QImage(image), kib);
    return image;
}

QImage shadowImage(const std::function<void(QPainter &)> &silhouette, const QRectF &bounds, const QColor &colour,
                   qreal sigma, qreal margin, qreal dpr)
{
    const QSize pixels((bounds.size() + QSizeF(2 * margin, 2 * margin)).toSize() * dpr);
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.save();
        p.scale(dpr, dpr);
        p.translate(margin - bounds.x(), margin - bounds.y());
        silhouette(p);
        p.restore();
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), colour);
    }
    blur(image, sigma * dpr);
    image.setDevicePixelRatio(dpr);
    return image;
}

namespace {
void fillGlow(QPainter &painter, const QRectF &rect, const brand::RadialGlow &glow)
{
    const QPointF centre(rect.x() + glow.centre.x() * rect.width(), rect.y() + glow.centre.y() * rect.height());
    QRadialGradient gradient(centre, glow.endRadius, centre, glow.startRadius);
    gradient.setColorAt(0, glow.inner);
    gradient.setColorAt(0.5, glow.middle);
    gradient.setColorAt(1, clearOf(glow.middle));
    // Only the part within the end radius has colour.
    const QRectF reach(centre.x() - glow.endRadius, centre.y() - glow.endRadius, 2 * glow.endRadius,
                       2 * glow.endRadius);
    painter.fillRect(reach.intersected(rect), gradient);
}
} // namespace

void paintBackdrop(QPainter &painter, const QRectF &rect, const brand::BackdropFrame &frame)
{
    painter.fillRect(rect, frame.background);
    fillGlow(painter, rect, frame.rose);
    fillGlow(painter, rect, frame.teal);
    fillGlow(painter, rect, frame.gold);
    QLinearGradient sheen(rect.topLeft(), rect.bottomRight());
    sheen.setColorAt(0, frame.sheen[0]);
    sheen.setColorAt(0.5, frame.sheen[1]);
    sheen.setColorAt(1, frame.sheen[2]);
    painter.fillRect(rect, sheen);
}

QImage dithered(const QImage &deep)
{
    if (deep.format() != QImage::Format_RGBA64_Premultiplied)
        return deep.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    static constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    QImage out(deep.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < deep.height(); ++y) {
        const auto *src = reinterpret_cast<const quint64 *>(deep.constScanLine(y));
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        const int *bayerRow = bayer[y & 3];
        for (int x = 0; x < deep.width(); ++x) {
            const quint64 px = src[x];
            const int threshold = bayerRow[x & 3] * 16 + 8;
            auto level = [&](int shift) {
                const int v = int((px >> shift) & 0xffff) * 256 / 257; // 8-bit level x 256
                return std::min(255, (v + threshold) >> 8);
            };
            const int a = level(48);
            dst[x] = qRgba(std::min(a, level(0)), std::min(a, level(16)), std::min(a, level(32)), a);
        }
    }
    out.setDevicePixelRatio(deep.devicePixelRatio());
    return out;
}

QImage paintDeepBackdrop(const QSizeF &size, const brand::BackdropFrame &frame, qreal resolution)
{
    // One pixel more than the size needs, so that enlarging never reads past the edge.
    const int lowW = std::max(2, int(std::ceil(size.width() * resolution)) + 1);
    const int lowH = std::max(2, int(std::ceil(size.height() * resolution)) + 1);
    QImage low(lowW, lowH, QImage::Format_RGBA64_Premultiplied);
    QPainter p(&low);
    p.scale(resolution, resolution);
    paintBackdrop(p, QRectF(QPointF(0, 0), QSizeF(lowW / resolution, lowH / resolution)), frame);
    return low;
}

double largestLevelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != QImage::Format_RGBA64_Premultiplied ||
        b.format() != QImage::Format_RGBA64_Premultiplied)
        return std::numeric_limits<double>::infinity();
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *ra = reinterpret_cast<const quint64 *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const quint64 *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            for (int shift = 0; shift < 64; shift += 16)
                largest = std::max(largest, std::abs(int((ra[x] >> shift) & 0xffff) - int((rb[x] >> shift) & 0xffff)));
    }
    return largest / 257.0;
}

QImage renderBackdrop(const QSizeF &size, const brand::BackdropFrame &frame, qreal dpr, qreal resolution)
{
    const int outW = std::max(1, int(std::ceil(size.width() * dpr)));
    const int outH = std::max(1, int(std::ceil(size.height() * dpr)));
    const QImage low = paintDeepBackdrop(size, frame, resolution);
    const int lowW = low.width();
    const int lowH = low.height();
    // Bilinear enlargement in fixed point, then a 4x4 ordered dither to 8 bits. Each row of
    // the small picture is enlarged across once, into 16-bit channels of 8-bit levels x 16
    // laid out as the output's bytes are; an output row blends two such rows, adds the
    // dither's thresholds and lands in the image's bytes, in one plain loop over 16-bit
    // numbers that the compiler vectorises.
    static constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    QImage out(outW, outH, QImage::Format_RGB32);
    // Where red, green, blue and the unused byte of a pixel lie in memory.
    const int bytePlace[4] = {QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 2 : 1,
                              QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 1 : 2,
                              QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 0 : 3,
                              QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 3 : 0};
    const double step = resolution / dpr;
    const size_t n = size_t(outW) * 4;
    std::vector<int> x0(static_cast<size_t>(outW)), fx(static_cast<size_t>(outW));
    for (int x = 0; x < outW; ++x) {
        const double sx = std::clamp((x + 0.5) * step - 0.5, 0.0, double(lowW - 1) - 1e-6);
        x0[size_t(x)] = int(sx);
        fx[size_t(x)] = int((sx - int(sx)) * 256);
    }
    // Thresholds in 8-bit levels x 256, from 8 to 248: with a channel of at most 255 x 256
    // the sum stays within 16 bits.
    std::vector<quint16> thresholds(4 * n, 0);
    for (int by = 0; by < 4; ++by)
        for (int x = 0; x < outW; ++x)
            for (int k = 0; k < 3; ++k)
                thresholds[size_t(by) * n + size_t(x) * 4 + size_t(bytePlace[k])] = quint16(bayer[by][x & 3] * 16 + 8);
    // Two enlarged rows of the small picture: the one above the output row and the one below.
    std::vector<quint16> across[2] = {std::vector<quint16>(n), std::vector<quint16>(n)};
    int acrossRow[2] = {-1, -1};
    std::vector<qint32> levels(static_cast<size_t>(lowW) * 3);
    const auto enlargeRow = [&](int lowY, std::vector<quint16> &into) {
        const auto *src = reinterpret_cast<const quint64 *>(low.constScanLine(lowY));
        for (int i = 0; i < lowW; ++i)
            for (int k = 0; k < 3; ++k) // 16-bit value in 8-bit levels x 16
                levels[size_t(i) * 3 + size_t(k)] = qint32((src[i] >> (16 * k)) & 0xffff) * 16 / 257;
        for (int x = 0; x < outW; ++x) {
            const qint32 *a = &levels[size_t(x0[size_t(x)]) * 3];
            const qint32 wx = fx[size_t(x)];
            quint16 *px = &into[size_t(x) * 4];
            for (int k = 0; k < 3; ++k)
                px[bytePlace[k]] = quint16((a[k] * (256 - wx) + a[k + 3] * wx + 128) >> 8);
            px[bytePlace[3]] = 255 * 16;
        }
    };
    const auto rowFor = [&](int lowY) -> const quint16 * {
        for (int i = 0; i < 2; ++i)
            if (acrossRow[i] == lowY)
                return across[i].data();
        // Replace the row that is not the other one wanted (rows are wanted in order).
        const int slot = acrossRow[0] < acrossRow[1] ? 0 : 1;
        enlargeRow(lowY, across[slot]);
        acrossRow[slot] = lowY;
        return across[slot].data();
    };
    for (int y = 0; y < outH; ++y) {
        const double sy = std::clamp((y + 0.5) * step - 0.5, 0.0, double(lowH - 1) - 1e-6);
        const int y0 = int(sy);
        // The weight of the lower row in sixteenths.
        const quint16 fy = quint16(std::lround((sy - y0) * 16));
        const quint16 fyTop = quint16(16 - fy);
        const quint16 *top = rowFor(y0);
        const quint16 *bottom = rowFor(y0 + 1);
        const quint16 *threshold = &thresholds[size_t(y & 3) * n];
        uchar *dst = out.scanLine(y);
        for (size_t i = 0; i < n; ++i) {
            const quint16 v = quint16(quint16(top[i] * fyTop) + quint16(bottom[i] * fy));
            dst[i] = uchar(quint16(v + threshold[i]) >> 8);
        }
    }
    out.setDevicePixelRatio(dpr);
    return out;
}

void paintBrandLayer(QPainter &painter, const QRectF &rect, const QColor &first, const QColor &second,
                     const QColor &bloom)
{
    const qreal d = std::min(rect.width(), rect.height());
    if (d <= 0)
        return;
    painter.save();
    QLinearGradient base(rect.topLeft(), rect.bottomRight());
    base.setColorAt(0, first);
    base.setColorAt(1, second);
    painter.fillRect(rect, base);

    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    const QColor warm = Theme::markWarmWhite();
    const QPointF shine(rect.x() + 0.32 * rect.width(), rect.y() + 0.28 * rect.height());
    QRadialGradient light(shine, 0.54 * d);
    light.setColorAt(0, opacity(warm, 0.18));
    light.setColorAt(1, clearOf(warm));
    painter.fillRect(rect, light);

    const QPointF bloomCentre(rect.x() + 0.66 * rect.width(), rect.y() + 0.72 * rect.height());
    QRadialGradient glow(bloomCentre, 0.76 * d);
    glow.setColorAt(0, opacity(bloom, 0.84));
    glow.setColorAt(1, clearOf(bloom));
    painter.fillRect(rect, glow);

    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QLinearGradient depth(rect.topLeft(), rect.bottomRight());
    depth.setColorAt(0, opacity(warm, 0.18));
    depth.setColorAt(0.5, clearOf(warm));
    depth.setColorAt(1, QColor(0, 0, 0, qRound(0.1 * 255)));
    painter.fillRect(rect, depth);
    painter.restore();
}

namespace {

QImage newCanvas(qreal side, qreal dpr)
{
    const int pixels = std::max(1, int(std::ceil(side * dpr)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A soft teal-to-rose glow: a radial gradient in an ellipse, blurred. It never changes
// for one size, so each is drawn once and kept.
struct GlowSpec {
    qreal gradientRadius; // times s
    qreal tealAlpha;
    qreal roseAlpha;
    qreal ellipseRadius;  // times s
    qreal blurRadius;     // times s
    int cacheLimit;
};

QImage glowImage(const GlowSpec &spec, qreal s, qreal dpr, qreal canvas)
{
    static QHash<QString, QImage> cache;
    const QString key = QStringLiteral("%1@%2/%3/%4").arg(s).arg(dpr).arg(spec.gradientRadius).arg(spec.ellipseRadius);
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QImage image = newCanvas(canvas, dpr);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        const QPointF c(canvas / 2, canvas / 2);
        QRadialGradient g(c, spec.gradientRadius * s);
        g.setColorAt(0, opacity(Theme::markTeal(), spec.tealAlpha));
        g.setColorAt(0.5, opacity(Theme::markRose(), spec.roseAlpha));
        g.setColorAt(1, clearOf(Theme::markRose()));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(c, spec.ellipseRadius * s, spec.ellipseRadius * s);
    }
    blur(image, spec.blurRadius * s * dpr);
    if (cache.size() > spec.cacheLimit)
        cache.clear();
    cache.insert(key, image);
    return image;
}

QImage haloImage(qreal s, qreal dpr, qreal canvas)
{
    return glowImage({0.92, 0.22, 0.12, 0.64, 0.16, 16}, s, dpr, canvas);
}

} // namespace

QImage blurredAlpha(const QImage &image, qreal sigma)
{
    QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    if (sigma >= 0.2)
        blurPixels(alpha, sigma, 1);
    return alpha;
}

// A premultiplied picture of colour at the opacity of each pixel of alpha.
QImage tintedAlpha(const QImage &alpha, const QColor &colour)
{
    const QRgba64 c = colour.rgba64().premultiplied();
    std::array<quint32, 256> pixels{};
    for (quint64 a = 0; a < 256; ++a) {
        const auto level = [a](quint64 v) { return quint32((v * a + 65535 / 2) / 65535); };
        pixels[a] = level(c.alpha()) << 24 | level(c.red()) << 16 | level(c.green()) << 8 | level(c.blue());
    }
    QImage out(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *in = alpha.constScanLine(y);
        auto *dst = reinterpret_cast<quint32 *>(out.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x)
            dst[x] = pixels[in[x]];
    }
    return out;
}

namespace {

} // namespace

QList<MarkShadow> logoShadows()
{
    return {{opacity(Theme::markRose(), 0.16), 0.14, 0}, {opacity(Theme::markTeal(), 0.22), 0.18, 0}};
}

QList<MarkShadow> breathingShadows()
{
    return {{opacity(Theme::markTeal(), 0.16), 0.18, -0.04}, {opacity(Theme::markRose(), 0.18), 0.2, 0.06}};
}

namespace {

// What of the mark depends on its outline alone: the three skins clipped to the blob, its
// two outlines and the shadows it casts (cast by its shape: the skins fill it wholly). A
// logo whose colours fade while its outline stays paints only the blend of its skins.
struct MarkShape {
    qreal size = 0;
    qreal dpr = 0;
    double wave = -1;
    bool breathing = false;
    QImage skins[3]; // the second and third painted when first wanted
    QImage mask;
    QImage outline;
    QImage gold;
    QList<QImage> shadows; // in the order they are cast
    double shadowWave = -1; // the outline the shadows were cast by
};

// How far the wave may move before the mark's shadows, cast by an outline at another wave,
// are a whole level from their own. A shadow of colour alpha A blurred with sigma
// (device pixels) changes by at most about 255 A / (2 sigma) levels per pixel its edge
// moves, and the outline's points move at most 0.045 of the size per unit of wave:
// sigma and the move both scale with the size, so the answer does not depend on it.
double shadowWaveTolerance(bool breathing)
{
    QList<MarkShadow> shadows = breathing ? breathingShadows() : QList<MarkShadow>();
    shadows << logoShadows();
    double tolerance = 1;
    for (const MarkShadow &shadow : shadows)
        tolerance = std::min(tolerance, shadow.radius / (0.045 * 255 * shadow.colour.alphaF() / 2));
    return tolerance;
}

// One gradient skin of the mark, clipped to the blob.
QImage maskedSkin(const MarkShape &shape, const QColor &first, const QColor &second, const QColor &bloom)
{
    const qreal canvas = kLogoCanvasFactor * shape.size;
    const qreal inset = (canvas - shape.size) / 2;
    QImage layer = newCanvas(canvas, shape.dpr);
    QPainter p(&layer);
    p.scale(shape.dpr, shape.dpr);
    paintBrandLayer(p, QRectF(inset, inset, shape.size, shape.size), first, second, bloom);
    p.resetTransform();
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.drawImage(0, 0, shape.mask);
    return layer;
}

MarkShape paintMarkShape(qreal s, qreal dpr, double wave, bool breathing, const QList<QImage> &reusedShadows = {},
                         double reusedWave = -1)
{
    MarkShape shape{s, dpr, wave, breathing, {}, {}, {}, {}, {}, wave};
    const qreal canvas = kLogoCanvasFactor * s;
    const qreal inset = (canvas - s) / 2;
    const QRectF markRect(inset, inset, s, s);
    const QPainterPath blob = brand::amorphousLogoPath(markRect, wave);
    QImage blobMask = newCanvas(canvas, dpr);
    {
        QPainter p(&blobMask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.fillPath(blob, Qt::black);
    }
    shape.mask = blobMask;
    shape.skins[0] = maskedSkin(shape, Theme::markGold(), Theme::markRose(), Theme::markRose());
    shape.outline = newCanvas(canvas, dpr);
    {
        QPainter p(&shape.outline);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.strokePath(blob, QPen(opacity(Theme::markWarmWhite(), 0.16), std::max(0.018 * s, 0.7)));
    }
    {
        // Blurred only where the stroke and its blur reach (the blur spreads a pixel no
        // further than its boxes' radii together): the rest of the canvas stays clear.
        const qreal goldWidth = std::max(0.012 * s, 0.7);
        const qreal goldSigma = 0.018 * s * dpr;
        int spread = 1;
        for (int box : boxesForGauss(goldSigma))
            spread += (box - 1) / 2;
        const qreal half = goldWidth / 2 + 1;
        const QRectF stroke = blob.boundingRect().adjusted(-half, -half, half, half);
        const QRect reach = QRectF(stroke.topLeft() * dpr, stroke.size() * dpr)
                                .toAlignedRect()
                                .adjusted(-spread, -spread, spread, spread)
                                .intersected(QRect(0, 0, blobMask.width(), blobMask.height()));
        QImage gold(reach.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        gold.fill(Qt::transparent);
        {
            QPainter p(&gold);
            p.setRenderHint(QPainter::Antialiasing);
            p.translate(-reach.topLeft());
            p.scale(dpr, dpr);
            p.strokePath(blob, QPen(opacity(Theme::markGold(), 0.18), goldWidth));
        }
        QColor goldColour = Theme::markGold();
        goldColour.setAlpha(255);
        shape.gold = newCanvas(canvas, dpr);
        QPainter p(&shape.gold);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(reach.topLeft(), tintedAlpha(blurredAlpha(gold, goldSigma), goldColour));
    }
    if (!reusedShadows.isEmpty()) {
        shape.shadows = reusedShadows;
        shape.shadowWave = reusedWave;
        return shape;
    }
    // The shadows follow the mark's coverage: its first skin and outlines.
    QImage cover = shape.skins[0].copy();
    {
        QPainter p(&cover);
        p.drawImage(0, 0, shape.outline);
        p.setCompositionMode(QPainter::CompositionMode_Screen);
        p.drawImage(0, 0, shape.gold);
    }
    const QImage halfMask = cover.scaled(cover.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QList<MarkShadow> shadows = breathing ? breathingShadows() : QList<MarkShadow>();
    shadows << logoShadows();
    // Shadows of one blur differ only in colour: their alpha is blurred once.
    QList<std::pair<qreal, QImage>> blurred;
    for (const MarkShadow &shadow : shadows) {
        const auto same = std::find_if(blurred.cbegin(), blurred.cend(),
                                       [&](const auto &b) { return b.first == shadow.radius; });
        if (same != blurred.cend()) {
            shape.shadows << tintedAlpha(same->second, shadow.colour);
            continue;
        }
        blurred.append({shadow.radius, blurredAlpha(halfMask, shadow.radius * s * dpr / 2)});
        shape.shadows << tintedAlpha(blurred.last().second, shadow.colour);
    }
    return shape;
}

// The shapes of the last few marks drawn (the sidebar's, the pop-over's, the break
// overlay's): a fading mark keeps its outline between paints.
MarkShape &markShape(qreal s, qreal dpr, double wave, bool breathing)
{
    static QList<MarkShape> recent;
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const MarkShape &m = recent[i];
        if (m.size == s && m.dpr == dpr && m.wave == wave && m.breathing == breathing) {
            recent.move(i, 0);
            return recent.first();
        }
    }
    // The shadows are soft: those of a nearby outline are kept while they are within a
    // level of this one's, and only the crisp parts are painted again.
    const double tolerance = shadowWaveTolerance(breathing);
    const auto nearby = std::find_if(recent.cbegin(), recent.cend(), [&](const MarkShape &m) {
        return m.size == s && m.dpr == dpr && m.breathing == breathing && !m.shadows.isEmpty() &&
               std::abs(m.shadowWave - wave) < tolerance;
    });
    MarkShape shape = nearby == recent.cend() ? paintMarkShape(s, dpr, wave, breathing)
                                              : paintMarkShape(s, dpr, wave, breathing, nearby->shadows, nearby->shadowWave);
    recent.prepend(std::move(shape));
    if (recent.size() > 4)
        recent.removeLast();
    return recent.first();
}

} // namespace

QImage renderLogoMark(qreal s, qreal dpr, const brand::LogoState &state, const LogoExtras &extras)
{
    const qreal canvas = kLogoCanvasFactor * s;
    MarkShape &shape = markShape(s, dpr, state.wave, extras.breathingShadows);
    QImage mark = shape.skins[0].copy();
    // The palettes over the first at their opacities (source over), rounded once, so that
    // a fade moves each pixel smoothly: by under a level when the opacity moves by under a
    // level's worth (the painter's own opacity steps of 1/256 move some pixels by two or three).
    std::array<const QImage *, 2> skins{};
    std::array<quint32, 2> weights{}; // opacity in 1/65536
    int count = 0;
    for (int i : {1, 2}) {
        const double alpha = i == 1 ? state.secondOpacity : state.thirdOpacity;
        if (alpha <= brand::kLogoUnseenOpacity)
            continue;
        if (shape.skins[i].isNull())
            shape.skins[i] = i == 1 ? maskedSkin(shape, Theme::markLavender(), Theme::markTeal(), Theme::markTeal())
                                    : maskedSkin(shape, Theme::markTeal(), Theme::markOlive(), Theme::markLavender());
        skins[count] = &shape.skins[i];
        weights[count++] = quint32(std::lround(std::clamp(alpha, 0.0, 1.0) * 65536));
    }
    // The skins lie within the blob's square, in the middle of the canvas.
    const int inset = std::max(0, int(std::floor((kLogoCanvasFactor - 1) * s / 2 * dpr)) - 1);
    for (int k = 0; k < count; ++k) {
        const quint64 w = weights[k];
        for (int y = inset; y < mark.height() - inset; ++y) {
            auto *out = reinterpret_cast<quint32 *>(mark.scanLine(y));
            const auto *in = reinterpret_cast<const quint32 *>(skins[k]->constScanLine(y));
            for (int x = inset; x < mark.width() - inset; ++x) {
                const quint32 src = in[x], dst = out[x];
                if (src == 0)
                    continue;
                // dst * (1 - w * alpha(src)) + src * w, in 1/2^32 before rounding (65536/255 taken as 257).
                const quint64 keep = (quint64(65536) * 255 - w * (src >> 24)) * 257;
                const auto channel = [&](int shift) {
                    const quint64 d = (dst >> shift) & 0xff, sv = (src >> shift) & 0xff;
                    return std::min<quint64>((d * keep + sv * w * 255 * 257 + (quint64(1) << 31)) >> 32, 255);
                };
                const quint64 a = channel(24);
                out[x] = quint32(a << 24 | std::min(channel(16), a) << 16 | std::min(channel(8), a) << 8 |
                                 std::min(channel(0), a));
            }
        }
    }
    {
        QPainter p(&mark);
        p.drawImage(0, 0, shape.outline);
        p.setCompositionMode(QPainter::CompositionMode_Screen);
        p.drawImage(0, 0, shape.gold);
    }

    QImage out = newCanvas(canvas, dpr);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal centre = canvas * dpr / 2;
    auto scaled = [&](qreal k) {
        p.resetTransform();
        p.translate(centre, centre);
        p.scale(k, k);
        p.translate(-centre, -centre);
    };
    scaled(extras.outerScale);
    if (extras.halo)
        p.drawImage(0, 0, haloImage(s, dpr, canvas));
    const QRectF whole(0, 0, mark.width(), mark.height());
    // Shadows of the mark as drawn: scaled with it, offset by their own amount.
    const qreal markScale = extras.outerScale * state.scale;
    QList<MarkShadow> shadows = extras.breathingShadows ? breathingShadows() : QList<MarkShadow>();
    shadows << logoShadows();
    scaled(markScale);
    for (qsizetype i = 0; i < shadows.size() && i < shape.shadows.size(); ++i)
        p.drawImage(whole.translated(0, shadows[i].offset * s * dpr / markScale), shape.shadows[i]);
    p.drawImage(0, 0, mark);
    p.end();
    out.setDevicePixelRatio(dpr);
    return out;
}

QImage breathingGlow(qreal s, qreal dpr, qreal canvas)
{
    return glowImage({0.86, 0.16, 0.1, 0.74, 0.18, 16}, s, dpr, canvas);
}

void paintBreathingBackground(QPainter &painter, qreal s, qreal canvas, qreal breath, qreal dpr)
{
    const QImage glow = breathingGlow(s, dpr, canvas);
    const qreal c = canvas / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal glowScale = breathingGlowScale(breath);
    painter.translate(c, c);
    painter.scale(glowScale, glowScale);
    painter.translate(-c, -c);
    painter.drawImage(QRectF(0, 0, canvas, canvas), glow);
    painter.restore();

    const qreal ringScale = breathingRingScale(breath);
    const QImage ring = breathingRing(0.59 * s * ringScale, dpr);
    const qreal reach = ring.width() / dpr / 2;
    painter.drawImage(QRectF(c - reach, c - reach, 2 * reach, 2 * reach), ring);
}

QImage breathingRing(qreal radius, qreal dpr)
{
    // Whole device pixels on each side of the centre, room for the line and its blur.
    const qreal reach = std::ceil((radius + 0.5 + 3 * kRingBlur) * dpr) / dpr;
    QImage ring = newCanvas(2 * reach, dpr);
    {
        QPainter p(&ring);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.setPen(QPen(opacity(Theme::markWarmWhite(), 0.1), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(reach, reach), radius, radius);
    }
    blur(ring, kRingBlur * dpr);
    return ring;
}

} // namespace qv::paint

namespace qv::brand {

double logoPaletteSpread()
{
    // Each palette alone fully faded in, and the third over the second, against the mark
    // without them: the largest change of one channel per unit of opacity.
    static const double spread = [] {
        const auto largest = [](const QImage &a, const QImage &b) {
            int most = 0;
            for (int y = 0; y < a.height(); ++y) {
                const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
                const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
                for (int x = 0; x < a.width(); ++x)
                    most = std::max({most, std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                                     std::abs(qBlue(p[x]) - qBlue(q[x])), std::abs(qAlpha(p[x]) - qAlpha(q[x]))});
            }
            return double(most);
        };
        LogoState plain = logoState(0);
        plain.secondOpacity = plain.thirdOpacity = 0;
        LogoState second = plain, third = plain, both = plain;
        second.secondOpacity = 1;
        third.thirdOpacity = 1;
        both.secondOpacity = both.thirdOpacity = 1;
        const auto render = [](const LogoState &s) {
            return paint::renderLogoMark(64, 1, s).convertToFormat(QImage::Format_ARGB32);
        };
        const QImage p = render(plain), s = render(second), t = render(third), b = render(both);
        return std::max({largest(p, s), largest(p, t), largest(s, b), 1.0});
    }();
    return spread;
}

} // namespace qv::brand
