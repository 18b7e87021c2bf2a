#include "design/Painting.h"

#include "design/Theme.h"

#include <QCache>
#include <QHash>
#include <QMutex>
#include <QPainter>

#include <algorithm>
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

// One box pass of radius r along rows (horizontal) or columns over the four
// interleaved channels; edges extend with transparent pixels.
void boxPass(const uchar *src, uchar *dst, int width, int height, qsizetype stride, int r, bool horizontal)
{
    const int n = horizontal ? width : height;
    const int lines = horizontal ? height : width;
    const qsizetype step = horizontal ? 4 : stride;
    const quint32 mul = (1u << 16) / quint32(r + r + 1);
    for (int line = 0; line < lines; ++line) {
        const uchar *in = horizontal ? src + line * stride : src + line * 4;
        uchar *out = horizontal ? dst + line * stride : dst + line * 4;
        quint32 sum[4] = {0, 0, 0, 0};
        for (int i = 0; i <= std::min(r, n - 1); ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += in[i * step + c];
        for (int i = 0; i < n; ++i) {
            uchar *o = out + i * step;
            for (int c = 0; c < 4; ++c)
                o[c] = uchar(std::min<quint32>(255, (sum[c] * mul + 0x8000) >> 16));
            const int add = i + r + 1;
            const int sub = i - r;
            if (add < n)
                for (int c = 0; c < 4; ++c)
                    sum[c] += in[add * step + c];
            if (sub >= 0)
                for (int c = 0; c < 4; ++c)
                    sum[c] -= in[sub * step + c];
        }
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
    const int w = image.width();
    const int h = image.height();
    const qsizetype stride = image.bytesPerLine();
    std::vector<uchar> scratch(size_t(stride) * size_t(h));
    uchar *data = image.bits();
    for (int box : boxesForGauss(sigma)) {
        const int r = (box - 1) / 2;
        if (r <= 0)
            continue;
        boxPass(data, scratch.data(), w, h, stride, r, true);
        boxPass(scratch.data(), data, w, h, stride, r, false);
    }
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
    // Bilinear enlargement in fixed point, then a 4x4 ordered dither to 8 bits.
    static constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    QImage out(outW, outH, QImage::Format_RGB32);
    const double step = resolution / dpr;
    std::vector<int> x0(static_cast<size_t>(outW)), fx(static_cast<size_t>(outW));
    for (int x = 0; x < outW; ++x) {
        const double sx = std::clamp((x + 0.5) * step - 0.5, 0.0, double(lowW - 1) - 1e-6);
        x0[size_t(x)] = int(sx);
        fx[size_t(x)] = int((sx - int(sx)) * 256);
    }
    // Channels of the small picture as plain integers, one row at a time blended
    // vertically, then horizontally per output pixel.
    std::vector<qint32> row(static_cast<size_t>(lowW) * 3);
    int lastY0 = -1, lastFy = -1;
    for (int y = 0; y < outH; ++y) {
        const double sy = std::clamp((y + 0.5) * step - 0.5, 0.0, double(lowH - 1) - 1e-6);
        const int y0 = int(sy);
        const int fy = int((sy - y0) * 256);
        if (y0 != lastY0 || fy != lastFy) {
            const auto *r0 = reinterpret_cast<const quint64 *>(low.constScanLine(y0));
            const auto *r1 = reinterpret_cast<const quint64 *>(low.constScanLine(y0 + 1));
            for (int i = 0; i < lowW; ++i)
                for (int k = 0; k < 3; ++k) {
                    const qint32 top = qint32((r0[i] >> (16 * k)) & 0xffff);
                    const qint32 bottom = qint32((r1[i] >> (16 * k)) & 0xffff);
                    // 16-bit value in 8-bit levels x 256.
                    row[size_t(i) * 3 + size_t(k)] = ((top * (256 - fy) + bottom * fy) >> 8) * 256 / 257;
                }
            lastY0 = y0;
            lastFy = fy;
        }
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        const int *bayerRow = bayer[y & 3];
        for (int x = 0; x < outW; ++x) {
            const qint32 *a = &row[size_t(x0[size_t(x)]) * 3];
            const qint32 wx = fx[size_t(x)];
            const qint32 threshold = bayerRow[x & 3] * 16 + 8;
            int channel[3];
            for (int k = 0; k < 3; ++k) {
                const qint32 v = (a[k] * (256 - wx) + a[k + 3] * wx) >> 8;
                channel[k] = std::min(255, (v + threshold) >> 8);
            }
            dst[x] = qRgb(channel[0], channel[1], channel[2]);
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

QImage tinted(const QImage &halfMask, const QColor &colour, qreal sigma)
{
    QImage shadow = halfMask.copy();
    {
        QPainter p(&shadow);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(shadow.rect(), colour);
    }
    blur(shadow, sigma / 2);
    return shadow;
}

} // namespace

QList<MarkShadow> logoShadows()
{
    return {{opacity(Theme::markRose(), 0.16), 0.14, 0}, {opacity(Theme::markTeal(), 0.22), 0.18, 0}};
}

QList<MarkShadow> breathingShadows()
{
    return {{opacity(Theme::markTeal(), 0.16), 0.18, -0.04}, {opacity(Theme::markRose(), 0.18), 0.2, 0.06}};
}

QImage renderLogoMark(qreal s, qreal dpr, const brand::LogoState &state, const LogoExtras &extras)
{
    const qreal canvas = kLogoCanvasFactor * s;
    const qreal inset = (canvas - s) / 2;
    const QRectF markRect(inset, inset, s, s);
    const QPainterPath blob = brand::amorphousLogoPath(markRect, state.wave);

    // The mark: three skins clipped to the blob, with its two outlines.
    QImage blobMask = newCanvas(canvas, dpr);
    {
        QPainter p(&blobMask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.fillPath(blob, Qt::black);
    }
    auto skinImage = [&](const QColor &first, const QColor &second, const QColor &bloom) {
        QImage layer = newCanvas(canvas, dpr);
        QPainter p(&layer);
        p.scale(dpr, dpr);
        paintBrandLayer(p, markRect, first, second, bloom);
        p.resetTransform();
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, blobMask);
        return layer;
    };
    QImage mark = skinImage(Theme::markGold(), Theme::markRose(), Theme::markRose());
    auto skin = [&](double alpha, const QColor &first, const QColor &second, const QColor &bloom) {
        if (alpha <= 0.001)
            return;
        const QImage layer = skinImage(first, second, bloom);
        QPainter p(&mark);
        p.setOpacity(alpha);
        p.drawImage(0, 0, layer);
    };
    skin(state.secondOpacity, Theme::markLavender(), Theme::markTeal(), Theme::markTeal());
    skin(state.thirdOpacity, Theme::markTeal(), Theme::markOlive(), Theme::markLavender());
    {
        QPainter p(&mark);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.strokePath(blob, QPen(opacity(Theme::markWarmWhite(), 0.16), std::max(0.018 * s, 0.7)));
    }
    {
        QImage gold = newCanvas(canvas, dpr);
        {
            QPainter p(&gold);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr, dpr);
            p.strokePath(blob, QPen(opacity(Theme::markGold(), 0.18), std::max(0.012 * s, 0.7)));
        }
        blur(gold, 0.018 * s * dpr);
        QPainter p(&mark);
        p.setCompositionMode(QPainter::CompositionMode_Screen);
        p.drawImage(0, 0, gold);
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
    const QImage halfMask = mark.scaled(mark.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRectF whole(0, 0, mark.width(), mark.height());
    // Shadows of the mark as drawn: scaled with it, offset by their own amount.
    const qreal markScale = extras.outerScale * state.scale;
    auto cast = [&](const QList<MarkShadow> &shadows) {
        for (const MarkShadow &shadow : shadows)
            p.drawImage(whole.translated(0, shadow.offset * s * dpr / markScale),
                        tinted(halfMask, shadow.colour, shadow.radius * s * dpr));
    };
    scaled(markScale);
    if (extras.breathingShadows)
        cast(breathingShadows());
    cast(logoShadows());
    p.drawImage(0, 0, mark);
    p.end();
    out.setDevicePixelRatio(dpr);
    return out;
}

void paintBreathingBackground(QPainter &painter, qreal s, qreal canvas, qreal breath, qreal dpr)
{
    const QImage glow = glowImage({0.86, 0.16, 0.1, 0.74, 0.18, 16}, s, dpr, canvas);
    const qreal c = canvas / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal glowScale = 0.94 + (1.08 - 0.94) * breath;
    painter.translate(c, c);
    painter.scale(glowScale, glowScale);
    painter.translate(-c, -c);
    painter.drawImage(QRectF(0, 0, canvas, canvas), glow);
    painter.restore();

    const qreal ringScale = 0.98 + (1.02 - 0.98) * breath;
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
