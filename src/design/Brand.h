#pragma once

#include <QColor>
#include <QDateTime>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

namespace qv::brand {

// Seconds since 2001-01-01 00:00:00 UTC: the time base of every brand animation.
double referenceSeconds(const QDateTime &time);

// ---- backdrop ----

// The backdrop's three phases in 0...1 (periods 34, 42 and 52 s, offsets 0, 1.7, 3.1 s).
struct BackdropPhases {
    double p1 = 0, p2 = 0, p3 = 0;
};
BackdropPhases backdropPhases(double t);

// One radial glow: inner and middle stop (the last stop is clear), centre in unit
// coordinates of the view (x from the leading edge, y from the top), radii in points.
struct RadialGlow {
    QColor inner;
    QColor middle;
    QPointF centre;
    double startRadius = 0;
    double endRadius = 0;
};

// Everything the backdrop draws at one moment, bottom to top.
struct BackdropFrame {
    QColor background;
    RadialGlow rose, teal, gold;
    QColor sheen[3];
};
BackdropFrame backdropFrame(double t, bool isDark);

// An upper estimate, in 8-bit colour levels, of how far any pixel of a view of the given
// size moves between two frames. Below half a level the two draw the same picture.
double backdropDifference(const BackdropFrame &a, const BackdropFrame &b, QSizeF size);

// ---- logo ----

// smooth(x) = c * c * (3 - 2c) with c = x clamped to 0...1.
double smooth(double x);
// The logo cycle's two cross-fade curves over the cycle position u in 0...1.
double logoCurveA(double u);
double logoCurveB(double u);

// The logo mark's animated values at t seconds since the reference date (t = 0 draws the
// still mark).
struct LogoState {
    double u = 0;              // position in the 18 s cycle
    double secondOpacity = 0;  // 0.78 A(u)
    double thirdOpacity = 0;   // 0.72 B(u)
    double wave = 0.5;         // the shape's progress, period 8.5 s
    double scale = 1.02;       // period 10 s
};
LogoState logoState(double t);
// The opacities of the second and third palettes when fully faded in.
inline constexpr double kLogoSecondOpacity = 0.78;
inline constexpr double kLogoThirdOpacity = 0.72;
// A palette at or below this opacity is not painted.
inline constexpr double kLogoUnseenOpacity = 0.001;

// The most a pixel of the mark moves, in 8-bit levels, per unit of a palette's opacity
// (measured once on the painted mark, in Painting.cpp).
double logoPaletteSpread();

// The logo is drawn again when a point of its outline has moved half a device pixel or a
// colour of its palettes eight 8-bit levels: its fades cross about 240 levels and its
// outline about 40 half pixels in a cycle, so that it changes a few times a second at
// most, and the eye, following a slow fade, sees no step.
inline constexpr double kLogoStepPixels = 0.5;
inline constexpr double kLogoStepLevels = 8;

// How far the logo drawn at `size` device pixels moves between two states, in device
// pixels (outline) and 8-bit levels (colour), as one number: the larger of the two
// measured against the thresholds above. At or above 1 the mark is drawn again; so it is
// when a palette's fade starts or ends between the two.
double logoDifference(const LogoState &a, const LogoState &b, double devicePixels);

// The blob outline of the logo in a rectangle: four cubic curves moving with progress.
QPainterPath amorphousLogoPath(const QRectF &rect, double progress);

} // namespace qv::brand
