#include "pages/wellness/CalmCountdownDial.h"

#include "design/TabularText.h"

#include "design/DesignItems.h"
#include "design/FrameTicker.h"
#include "design/Painting.h"
#include "design/Theme.h"
#include "runtime/Json.h"
#include "runtime/Scheduler.h"

#include <QConicalGradient>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>

#include <algorithm>
#include <array>
#include <cmath>

namespace qv {

namespace {
// The glow follows the ring's end in steps this fine (a fraction of the circle): under its
// blur a smaller move shows nothing, and the glow is blurred again only per step.
constexpr int kGlowSteps = 720;
constexpr qreal kGlowRadius = 8;
constexpr QPointF kGlowOffset(0, 2);
// Soft as it is, the glow is blurred at this resolution and enlarged.
constexpr qreal kGlowResolution = 0.5;
constexpr qreal kMinimumTextScale = 0.65;
// The time stays within this share of the width inside the ring.
constexpr qreal kTextWidthInRing = 0.9;

QColor token(ColorToken t, bool dark)
{
    return Theme::adaptive(t).resolve(dark);
}

QPainterPath ringArc(const QPointF &centre, qreal radius, double fraction)
{
    // Clockwise from twelve o'clock: Qt's angles run counter-clockwise from three.
    QPainterPath path;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, 90);
    path.arcTo(box, 90, -360.0 * fraction);
    return path;
}

QBrush ringBrush(const QPointF &centre, double t, bool active, bool dark)
{
    if (!active)
        return token(ColorToken::textTertiary, dark);
    const CalmCountdownDial::RingStyle style = CalmCountdownDial::ringStyle(t);
    // Qt's conical gradient runs counter-clockwise from its angle: the stops are laid in
    // reverse from the mirrored start, so that the colours run clockwise.
    QConicalGradient gradient(centre, 90.0 - style.startDegrees);
    const int n = int(style.colours.size());
    for (int i = 0; i < n; ++i)
        gradient.setColorAt(1.0 - double(i) / (n - 1), style.colours[i]);
    return gradient;
}

void paintTicks(QPainter &p, const QPointF &centre, qreal tickRadius, bool dark)
{
    const QColor major = Theme::withOpacity(token(ColorToken::textTertiary, dark), 0.55);
    const QColor minor = Theme::withOpacity(token(ColorToken::divider, dark), 0.65);
    for (int i = 0; i < 24; ++i) {
        const bool isMajor = i % 6 == 0;
        const QSizeF size = isMajor ? QSizeF(2, 10) : QSizeF(1, 5);
        p.save();
        p.translate(centre);
        p.rotate(i * 15.0);
        const QRectF mark(-size.width() / 2, -tickRadius - size.height() / 2, size.width(), size.height());
        p.fillPath(paint::continuousRoundedRect(mark, 1), isMajor ? major : minor);
        p.restore();
    }
}
} // namespace

// The ring over the dial, in tiles: the ring is painted whole, and the window is handed only
// the tiles whose pixels changed, so that it draws again the ring's own area (a step of the
// turning gradient) or the tiles about its end (a step of the countdown), not the disc, the
// ticks and the time inside.
class CalmCountdownDial::RingLayer : public PaintedLayersItem {
public:
    explicit RingLayer(CalmCountdownDial *dial) : PaintedLayersItem(dial), m_dial(dial) {}
    void refresh() { repaint(); }

protected:
    QList<Layer> paintLayers(qreal dpr) override
    {
        const QSizeF size = m_dial->size();
        const QSize pixels = (size * dpr).toSize();
        const Geometry g = geometry(size);
        if (pixels.isEmpty() || g.side <= 0)
            return {};
        const Face face = m_dial->takeRingFace();
        m_dial->countPaint();
        QImage ring(pixels, QImage::Format_ARGB32_Premultiplied);
        ring.fill(Qt::transparent);
        {
            QPainter p(&ring);
            p.scale(dpr, dpr);
            Painter::paintRing(p, size, face);
        }
        const bool sameGrid = pixels == m_pixels && dpr == m_dpr;
        if (!sameGrid) {
            // The tiles the ring can reach at all: those that meet the band around its
            // centre line as wide as the line, with a pixel to spare for the edges.
            m_pixels = pixels;
            m_dpr = dpr;
            m_tiles.clear();
            m_tileRects.clear();
            const QPointF centre(pixels.width() / 2.0, pixels.height() / 2.0);
            const double radius = (g.side / 2 - g.ringInset) * dpr;
            const double reach = (g.ringWidth / 2 + 1) * dpr;
            for (int y = 0; y < pixels.height(); y += kRingTilePixels) {
                for (int x = 0; x < pixels.width(); x += kRingTilePixels) {
                    const QRect tile = QRect(x, y, kRingTilePixels, kRingTilePixels).intersected(ring.rect());
                    // The nearest and farthest points of the tile from the centre.
                    const double nx = std::clamp(centre.x(), double(tile.left()), double(tile.right() + 1));
                    const double ny = std::clamp(centre.y(), double(tile.top()), double(tile.bottom() + 1));
                    const double fx =
                        std::max(std::abs(tile.left() - centre.x()), std::abs(tile.right() + 1 - centre.x()));
                    const double fy =
                        std::max(std::abs(tile.top() - centre.y()), std::abs(tile.bottom() + 1 - centre.y()));
                    const double nearest = std::hypot(nx - centre.x(), ny - centre.y());
                    const double farthest = std::hypot(fx, fy);
                    if (nearest <= radius + reach && farthest >= radius - reach)
                        m_tileRects << tile;
                }
            }
        }
        return tileLayers(ring, dpr, m_tileRects, m_tiles);
    }

private:
    CalmCountdownDial *m_dial;
    QList<QImage> m_tiles;
    QList<QRect> m_tileRects;
    QSize m_pixels;
    qreal m_dpr = 0;
};

CalmCountdownDial::CalmCountdownDial(QQuickItem *parent)
    : QQuickPaintedItem(parent),
      m_ticker(new FrameTicker(this, [this] { return frame(); })),
      m_ring(new RingLayer(this))
{
    setAntialiasing(true);
    m_ticker->setWanted(false);
    connect(m_ticker, &FrameTicker::runningChanged, this, &CalmCountdownDial::frameClockRunningChanged);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, [this] { updateWhole(); });
    // A frame's paints end with its sync: the ring is painted in the polish before it.
    const auto followFrames = [this](QQuickWindow *window) {
        disconnect(m_frames);
        if (window)
            m_frames = connect(window, &QQuickWindow::afterSynchronizing, this, [this] { ++m_frame; },
                               Qt::DirectConnection);
    };
    connect(this, &QQuickItem::windowChanged, this, followFrames);
    followFrames(window());
}

CalmCountdownDial::~CalmCountdownDial() = default;

void CalmCountdownDial::setProgress(double progress)
{
    if (progress == m_progress || (std::isnan(progress) && std::isnan(m_progress)))
        return;
    const qint64 now = scheduler().monotonicMs();
    m_fromProgress = shownProgress(now);
    m_animationStart = now;
    m_progress = progress;
    emit progressChanged();
    // The clock paints the ring's end once it has visibly moved.
    reconsiderClock();
    m_ticker->restart();
}

void CalmCountdownDial::setTimeText(const QString &text)
{
    if (text == m_timeText)
        return;
    m_timeText = text;
    emit timeTextChanged();
    // Only the inside of the ring shows the time.
    const Geometry g = geometry(size());
    const qreal inside = g.side / 2 - g.ringInset - g.ringWidth / 2;
    if (inside > 0)
        update(QRectF(width() / 2 - inside, height() / 2 - inside, 2 * inside, 2 * inside).toAlignedRect());
}

void CalmCountdownDial::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    emit captionChanged();
}

void CalmCountdownDial::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    reconsiderClock();
    updateWhole();
}

void CalmCountdownDial::updateWhole()
{
    m_paintedT = json::secondsSinceReferenceDate(scheduler().now());
    update();
    m_ring->refresh();
}

CalmCountdownDial::Face CalmCountdownDial::takeRingFace()
{
    Face face;
    face.progress = shownProgress(scheduler().monotonicMs());
    face.active = m_active;
    face.dark = Theme::shared().isDark();
    face.t = m_paintedT;
    m_hasPainted = true;
    m_paintedProgress = face.progress;
    return face;
}

void CalmCountdownDial::countPaint()
{
    // The ring (painted in the polish) and the rest (in the sync) count as one frame.
    if (m_countedFrame == m_frame)
        return;
    m_countedFrame = m_frame;
    ++m_paintCount;
}

bool CalmCountdownDial::frameClockRunning() const
{
    return m_ticker->isRunning();
}

CalmCountdownDial::Geometry CalmCountdownDial::geometry(const QSizeF &offered)
{
    const qreal s = std::max<qreal>(0, std::min(offered.width(), offered.height()));
    return {s, 0.42 * s, std::max<qreal>(0.035 * s, 6), 0.085 * s, 0.17 * s, std::max<qreal>(0.2 * s, 42)};
}

double CalmCountdownDial::drawnFraction(double progress)
{
    if (std::isnan(progress))
        return 0.0001;
    return std::max(std::min(progress, 1.0), 0.0001);
}

CalmCountdownDial::RingStyle CalmCountdownDial::ringStyle(double t)
{
    const double a = 0.5 + 0.5 * std::sin(t / 3.8);
    const double b = 0.5 + 0.5 * std::sin(t / 5.2 + 1.4);
    const QColor teal = Theme::withOpacity(Theme::brandTeal(), 0.78 + 0.18 * a);
    return {{teal, Theme::withOpacity(Theme::brandRose(), 0.8 + 0.16 * b),
             Theme::withOpacity(Theme::brandGold(), 0.74 + 0.14 * a),
             Theme::withOpacity(Theme::shared().accentMuted(), 0.76), teal},
            std::fmod(t, 14.0) / 14.0 * 360.0};
}

qreal CalmCountdownDial::timeTextWidth(const QFont &font, const QString &text)
{
    return TabularText::textWidth(font, text);
}

void CalmCountdownDial::drawTimeText(QPainter &painter, const QRectF &rect, const QFont &font, const QString &text)
{
    // Every digit in a cell of the widest digit's width, so that the time keeps its place
    // from one second to the next.
    const QFontMetricsF metrics(font);
    TabularText::draw(painter,
                      QPointF(rect.center().x() - timeTextWidth(font, text) / 2,
                              rect.center().y() + (metrics.ascent() - metrics.descent()) / 2),
                      font, text);
}

CalmCountdownDial::FittedText CalmCountdownDial::fitTimeText(const QString &text, qreal side)
{
    const Geometry g = geometry(QSizeF(side, side));
    QFont font = Theme::systemFont(g.timeFontSize, QFont::DemiBold);
    const qreal room = std::max<qreal>(1, (side - 2 * g.ringInset - g.ringWidth) * kTextWidthInRing);
    const qreal width = timeTextWidth(font, text);
    if (width <= room)
        return {font, text};
    const qreal scale = std::max(kMinimumTextScale, room / width);
    font.setPixelSize(std::max(1, int(std::floor(g.timeFontSize * scale))));
    if (timeTextWidth(font, text) <= room)
        return {font, text};
    // Still too wide at the smallest size: cut, with an ellipsis.
    QString fitted = text;
    while (!fitted.isEmpty() && timeTextWidth(font, fitted + QChar(0x2026)) > room)
        fitted.chop(1);
    return {font, fitted + QChar(0x2026)};
}

void CalmCountdownDial::Painter::paintRing(QPainter &p, const QSizeF &size, const Face &face)
{
    const Geometry g = geometry(size);
    if (g.side <= 0)
        return;
    const QPointF centre(size.width() / 2, size.height() / 2);
    const qreal ringRadius = g.side / 2 - g.ringInset;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ringBrush(centre, face.t, face.active, face.dark), g.ringWidth, Qt::SolidLine, Qt::RoundCap,
                  Qt::MiterJoin));
    p.drawPath(ringArc(centre, ringRadius, drawnFraction(face.progress)));
    p.restore();
}

void CalmCountdownDial::Painter::paint(QPainter &p, const QSizeF &size, qreal dpr, const Face &face, bool withRing)
{
    const Geometry g = geometry(size);
    if (g.side <= 0)
        return;
    const QPointF centre(size.width() / 2, size.height() / 2);
    const qreal ringRadius = g.side / 2 - g.ringInset;
    const double fraction = drawnFraction(face.progress);
    const bool dark = face.dark;

    const BaseKey key{(size * dpr).toSize(), face.active, dark,
                      face.active ? int(std::lround(fraction * kGlowSteps)) : -1};
    if (m_base.isNull() || !(key == m_key)) {
        m_key = key;
        // Disc, ticks and track stay for as long as the size and the look do; the glow is
        // laid over a copy of them when it follows the ring's end.
        const BaseKey plainKey{key.pixels, key.active, key.dark, -1};
        if (m_plain.isNull() || !(plainKey == m_plainKey)) {
            m_plainKey = plainKey;
            m_plain = QImage(key.pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
            m_plain.setDevicePixelRatio(dpr);
            m_plain.fill(Qt::transparent);
            QPainter b(&m_plain);
            b.setRenderHint(QPainter::Antialiasing);
            const qreal discRadius = g.side / 2 - g.discInset;
            b.setPen(Qt::NoPen);
            b.setBrush(Theme::withOpacity(token(ColorToken::accentSoft, dark), face.active ? 0.22 : 0.10));
            b.drawEllipse(centre, discRadius, discRadius);
            paintTicks(b, centre, g.tickRadius, dark);
            b.setBrush(Qt::NoBrush);
            b.setPen(QPen(Theme::withOpacity(token(ColorToken::accentSoft, dark), 0.55), g.ringWidth, Qt::SolidLine,
                          Qt::FlatCap, Qt::MiterJoin));
            b.drawEllipse(centre, ringRadius, ringRadius);
        }
        m_base = m_plain.copy();
        m_base.setDevicePixelRatio(dpr);
        QPainter b(&m_base);
        if (face.active) {
            const GlowKey glowKey{key.pixels, key.glowStep};
            if (m_glow.isNull() || !(glowKey == m_glowKey)) {
                m_glowKey = glowKey;
                const QPainterPath arc = ringArc(centre, ringRadius, drawnFraction(double(key.glowStep) / kGlowSteps));
                const qreal margin = std::ceil(3 * kGlowRadius) + 1;
                const QRectF bounds(QPointF(0, 0), size);
                m_glow = paint::shadowImage(
                    [&](QPainter &s) {
                        s.setPen(QPen(Qt::black, g.ringWidth, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));
                        s.drawPath(arc);
                    },
                    bounds, Theme::withOpacity(Theme::brandRose(), 0.18), kGlowRadius, margin, kGlowResolution);
                m_glowRect = bounds.adjusted(-margin, -margin, margin, margin).translated(kGlowOffset);
            }
            b.setRenderHint(QPainter::SmoothPixmapTransform);
            b.drawImage(m_glowRect, m_glow);
        }
    }
    p.drawImage(QPointF(0, 0), m_base);

    // The time over "remaining", centred as one block, drawn over the base rather than into
    // it: the base stays as it is when only the time changes, once a second.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const FittedText time = fitTimeText(face.timeText, g.side);
    QFont spaced = Theme::captionRegular();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    const QFontMetricsF timeMetrics(time.font);
    const QFontMetricsF captionMetrics(spaced);
    const qreal blockHeight = timeMetrics.height() + 6 + captionMetrics.height();
    const qreal top = centre.y() - blockHeight / 2;
    p.setPen(token(ColorToken::textPrimary, dark));
    drawTimeText(p, QRectF(0, top, size.width(), timeMetrics.height()), time.font, time.text);
    p.setFont(spaced);
    p.setPen(Theme::withOpacity(token(ColorToken::textTertiary, dark), 0.72));
    p.drawText(QRectF(0, top + timeMetrics.height() + 6, size.width(), captionMetrics.height()), Qt::AlignCenter,
               QStringLiteral("remaining"));
    p.restore();

    if (withRing)
        paintRing(p, size, face);
}

double CalmCountdownDial::shownProgress(qint64 nowMs) const
{
    if (!animating(nowMs))
        return m_progress;
    const double k = double(nowMs - m_animationStart) / double(kProgressAnimationMs);
    const double from = std::isfinite(m_fromProgress) ? m_fromProgress : 0.0;
    const double to = std::isfinite(m_progress) ? m_progress : 0.0;
    return from + (to - from) * k;
}

bool CalmCountdownDial::animating(qint64 nowMs) const
{
    return m_animationStart >= 0 && nowMs - m_animationStart < kProgressAnimationMs && nowMs >= m_animationStart;
}

double CalmCountdownDial::ringChange(double t0, double t1)
{
    // The gradient's colours as premultiplied channels, compared every few degrees around
    // the ring (between two samples the colours change linearly).
    using Channels = std::array<double, 4>;
    const auto stops = [](const RingStyle &style) {
        QList<Channels> channels;
        for (const QColor &c : style.colours) {
            const double a = c.alphaF();
            channels.append({c.redF() * a, c.greenF() * a, c.blueF() * a, a});
        }
        return channels;
    };
    const RingStyle fromStyle = ringStyle(t0);
    const RingStyle toStyle = ringStyle(t1);
    const QList<Channels> from = stops(fromStyle);
    const QList<Channels> to = stops(toStyle);
    const auto colourAt = [](const QList<Channels> &stops, double startDegrees, double degrees) {
        const int n = int(stops.size());
        const double u = std::fmod(degrees - startDegrees + 720.0, 360.0) / 360.0 * (n - 1);
        const int i = std::min(int(u), n - 2);
        const double k = u - i;
        Channels mixed;
        for (int c = 0; c < 4; ++c)
            mixed[c] = stops[i][c] + (stops[i + 1][c] - stops[i][c]) * k;
        return mixed;
    };
    constexpr int kStepDegrees = 2;
    double largest = 0;
    for (int degrees = 0; degrees < 360; degrees += kStepDegrees) {
        const Channels a = colourAt(from, fromStyle.startDegrees, degrees);
        const Channels b = colourAt(to, toStyle.startDegrees, degrees);
        for (int c = 0; c < 4; ++c)
            largest = std::max(largest, std::abs(a[c] - b[c]) * 255.0);
    }
    return largest;
}

void CalmCountdownDial::reconsiderClock()
{
    m_ticker->setWanted(m_active || animating(scheduler().monotonicMs()));
}

double CalmCountdownDial::endMovedPixels(double fromProgress, double toProgress) const
{
    // The ring's end, in device pixels along the ring.
    const Geometry g = geometry(size());
    const qreal dpr = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const double radius = (g.side / 2 - g.ringInset) * dpr;
    return std::abs(drawnFraction(toProgress) - drawnFraction(fromProgress)) * 2 * M_PI * radius;
}

QRectF CalmCountdownDial::ringEndRect(double fromProgress, double toProgress) const
{
    const Geometry g = geometry(size());
    const double a = drawnFraction(fromProgress), b = drawnFraction(toProgress);
    if (g.side <= 0 || std::abs(a - b) > 0.125)
        return {};
    // Both ends with their round caps and the glow around them, and the arc between.
    const QPointF centre(width() / 2, height() / 2);
    const qreal radius = g.side / 2 - g.ringInset;
    QRectF rect;
    for (int i = 0; i <= 8; ++i) {
        const double angle = 2 * M_PI * (a + (b - a) * i / 8.0);
        const QPointF at(centre.x() + radius * std::sin(angle), centre.y() - radius * std::cos(angle));
        rect = rect.united(QRectF(at, QSizeF(0, 0)));
    }
    const qreal reach = g.ringWidth / 2 + std::ceil(3 * kGlowRadius) + 2 + std::abs(kGlowOffset.y()) + 2;
    return rect.adjusted(-reach, -reach, reach, reach);
}

CalmCountdownDial::Change CalmCountdownDial::visibleChange(qint64 nowMs, double t) const
{
    if (!m_hasPainted)
        return Change::Whole;
    const bool ringTurned = m_active && ringChange(m_paintedT, t) >= kVisibleLevels;
    if (ringTurned)
        return Change::Whole;
    const double progress = shownProgress(nowMs);
    if (progress != m_paintedProgress &&
        (endMovedPixels(m_paintedProgress, progress) >= kVisiblePixels || !animating(nowMs)))
        return Change::RingEnd;
    return Change::None;
}

qint64 CalmCountdownDial::frame()
{
    const qint64 now = scheduler().monotonicMs();
    const double t = json::secondsSinceReferenceDate(scheduler().now());
    double paintedT = m_paintedT;
    double paintedProgress = m_paintedProgress;
    // The tick after an animation's end paints the final place (the ring's end changed).
    switch (visibleChange(now, t)) {
    case Change::None:
        break;
    case Change::RingEnd: {
        m_ring->refresh(); // at the gradient already drawn
        // The glow under the ring follows its end in steps.
        const int glowStep = m_active ? int(std::lround(drawnFraction(shownProgress(now)) * kGlowSteps)) : -1;
        if (glowStep != m_baseGlowStep) {
            const QRectF end = ringEndRect(m_paintedProgress, shownProgress(now));
            if (end.isEmpty())
                update();
            else
                update(end.toAlignedRect());
        }
        paintedProgress = shownProgress(now);
        break;
    }
    case Change::Whole:
        // The turning gradient: the ring alone.
        m_paintedT = t;
        m_ring->refresh();
        paintedT = t;
        paintedProgress = shownProgress(now);
        break;
    }
    reconsiderClock();
    // Asleep until the next visible change: the ring's end half a pixel further while it
    // moves, the gradient's colours a few levels on.
    const qint64 limit = animating(now) ? m_animationStart + kProgressAnimationMs - now + kFrameIntervalMs
                                        : FrameTicker::kMaxSleepMs;
    const qint64 stepMs = animating(now) ? kFrameIntervalMs : kCheckIntervalMs;
    return FrameTicker::untilChange(kFrameIntervalMs, limit, stepMs, [&](qint64 ms) {
        if (animating(now) && endMovedPixels(paintedProgress, shownProgress(now + ms)) >= kVisiblePixels)
            return true;
        return m_active && ringChange(paintedT, t + ms / 1000.0) >= kVisibleLevels;
    });
}

void CalmCountdownDial::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemDevicePixelRatioHasChanged)
        updateWhole();
}

void CalmCountdownDial::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    m_ring->setSize(newGeometry.size()); // a layer repaints itself when its size changes
}

void CalmCountdownDial::paint(QPainter *painter)
{
    countPaint();
    const qint64 now = scheduler().monotonicMs();
    Face face;
    face.progress = shownProgress(now);
    face.timeText = m_timeText;
    face.active = m_active;
    face.dark = Theme::shared().isDark();
    face.t = m_paintedT;
    m_baseGlowStep = m_active ? int(std::lround(drawnFraction(face.progress) * kGlowSteps)) : -1;
    // What lies under and inside the ring; the ring is its own layer.
    m_painter.paint(*painter, size(), window() ? window()->effectiveDevicePixelRatio() : 1.0, face, false);
}

} // namespace qv
