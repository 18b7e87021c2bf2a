#pragma once

#include "design/Brand.h"

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QList>
#include <QPainterPath>

#include <functional>

class QPainter;

namespace qv::paint {

// A rounded rectangle with continuous-curvature corners. A radius too large for the
// smooth corner falls back to a circular corner of at most half the shorter side.
QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius);

// Gaussian blur (three box passes) of a premultiplied ARGB image in place; sigma in pixels.
void blur(QImage &image, qreal sigma);
// A picture of one colour is that colour times its alpha, and the blur is linear: such a
// picture is blurred as its alpha alone (a quarter of the work), blurredAlpha (an
// Alpha8 image), and coloured after, tintedAlpha (premultiplied ARGB).
QImage blurredAlpha(const QImage &image, qreal sigma);
QImage tintedAlpha(const QImage &alpha, const QColor &colour);

// A soft shadow: the shape's silhouette blurred by sigma and tinted with colour, on an
// image `margin` larger on every side than bounds (both in logical points). The shadows
// made lately are kept (up to a few megabytes) and handed out again for the same shape,
// bounds, colour, blur and resolution.
QImage shadowImage(const QPainterPath &shape, const QRectF &bounds, const QColor &colour, qreal sigma,
                   qreal margin, qreal devicePixelRatio);
// The same for whatever `silhouette` paints (in the coordinates of bounds): the shadow is
// as strong as what it paints is opaque.
QImage shadowImage(const std::function<void(QPainter &)> &silhouette, const QRectF &bounds, const QColor &colour,
                   qreal sigma, qreal margin, qreal devicePixelRatio);

// The backdrop at one moment, filling rect.
void paintBackdrop(QPainter &painter, const QRectF &rect, const brand::BackdropFrame &frame);

// A 16-bit premultiplied picture brought to 8 bits with a 4x4 ordered dither, so that
// faint, wide gradients show no bands. Other formats are converted plainly.
QImage dithered(const QImage &deep);

// The backdrop of a view of `size` points painted at `resolution` times its size (a pixel
// more on each axis) with 16 bits a channel: the small picture renderBackdrop enlarges.
QImage paintDeepBackdrop(const QSizeF &size, const brand::BackdropFrame &frame, qreal resolution);

// The largest difference of one channel between two 16-bit pictures of one size, in 8-bit
// levels; infinite for pictures of different sizes or formats.
double largestLevelDifference(const QImage &a, const QImage &b);

// The backdrop of a view of `size` points at devicePixelRatio: painted at `resolution`
// times the size with 16 bits a channel, then enlarged smoothly and dithered to 8 bits,
// so its faint gradients show no bands.
QImage renderBackdrop(const QSizeF &size, const brand::BackdropFrame &frame, qreal devicePixelRatio,
                      qreal resolution);

// One gradient skin of the logo, filling rect.
void paintBrandLayer(QPainter &painter, const QRectF &rect, const QColor &first, const QColor &second,
                     const QColor &bloom);

// The logo mark's canvas is this many times its size on a side, centred on the mark, so
// that halo and shadows fit.
inline constexpr qreal kLogoCanvasFactor = 2.4;

// A shadow the logo casts: its colour, blur radius and downward offset, the last two in
// units of the mark's size.
struct MarkShadow {
    QColor colour;
    qreal radius;
    qreal offset;
};
// The shadows of the mark itself and the breathing mark's two around the whole logo, each
// bottom first: of two shadows given to one view, the second is cast by the view with the
// first, so it lies beneath.
QList<MarkShadow> logoShadows();
QList<MarkShadow> breathingShadows();

struct LogoExtras {
    bool halo = true;
    // The breathing mark's two offset shadows (rose below, teal above).
    bool breathingShadows = false;
    // Scale of the whole mark (halo included) about its centre, on top of the logo's own.
    qreal outerScale = 1.0;
};

// The logo mark of side `size` points at one state, on a canvas of kLogoCanvasFactor x
// size points (device pixels = points x devicePixelRatio).
QImage renderLogoMark(qreal size, qreal devicePixelRatio, const brand::LogoState &state,
                      const LogoExtras &extras = {});

// The breathing mark's glow and ring, at breath b in 0...1, for a mark of side size, on
// the same canvas as the logo (the glow's blur is cached per size). The ring is blurred
// by kRingBlur points.
inline constexpr qreal kRingBlur = 0.5;
void paintBreathingBackground(QPainter &painter, qreal size, qreal canvas, qreal breath, qreal devicePixelRatio);
// The scales of the breathing mark's glow, ring and logo at breath b in 0...1.
inline qreal breathingGlowScale(qreal b) { return 0.94 + (1.08 - 0.94) * b; }
inline qreal breathingRingScale(qreal b) { return 0.98 + (1.02 - 0.98) * b; }
inline qreal breathingLogoScale(qreal b) { return 0.975 + (1.025 - 0.975) * b; }
// The glow unscaled, on the canvas of paintBreathingBackground (drawn once per size and kept).
QImage breathingGlow(qreal size, qreal devicePixelRatio, qreal canvas);
// The ring alone, of the given radius, centred on a square image.
QImage breathingRing(qreal radius, qreal devicePixelRatio);

} // namespace qv::paint
