#include "design/Brand.h"

#include "design/Theme.h"

#include <algorithm>
#include <cmath>

namespace qv::brand {

namespace {
constexpr double kTwoPi = 2 * M_PI;

double alphaLevels(const QColor &a, const QColor &b)
{
    return std::abs(a.alphaF() - b.alphaF()) * 255.0;
}

double glowDifference(const RadialGlow &a, const RadialGlow &b, QSizeF size)
{
    const double spread = std::max(1.0, std::min(a.endRadius, b.endRadius) - std::max(a.startRadius, b.startRadius));
    const double strength = std::max(a.inner.alphaF(), b.inner.alphaF()) * 255.0;
    const double moved = std::hypot((a.centre.x() - b.centre.x()) * size.width(),
                                    (a.centre.y() - b.centre.y()) * size.height());
    const double grown = std::abs(a.endRadius - b.endRadius) + std::abs(a.startRadius - b.startRadius);
    return std::max(alphaLevels(a.inner, b.inner), alphaLevels(a.middle, b.middle)) +
           strength * (moved + grown) / spread;
}
} // namespace

double referenceSeconds(const QDateTime &time)
{
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return double(reference.msecsTo(time)) / 1000.0;
}

BackdropPhases backdropPhases(double t)
{
    auto phase = [t](double offset, double period) { return (std::sin(kTwoPi * (t + offset) / period) + 1) * 0.5; };
    return {phase(0, 34), phase(1.7, 42), phase(3.1, 52)};
}

BackdropFrame backdropFrame(double t, bool isDark)
{
    const auto [p1, p2, p3] = backdropPhases(t);
    const QColor highlight = Theme::adaptive(ColorToken::accent).resolve(isDark);
    auto opacity = Theme::withOpacity;
    BackdropFrame f;
    f.background = Theme::adaptive(ColorToken::appBackground).resolve(isDark);
    f.rose = {opacity(Theme::brandRose(), 0.028 + 0.034 * p1), opacity(highlight, 0.014 + 0.018 * p1),
              QPointF(0.74 + 0.1 * p1, 0.12 + 0.07 * p2), 42, 520 + 120 * p1};
    f.teal = {opacity(Theme::brandTeal(), 0.026 + 0.032 * p2), opacity(highlight, 0.01 + 0.014 * p2),
              QPointF(0.18 + 0.12 * p2, 0.16 + 0.08 * p3), 56, 560 + 140 * p2};
    f.gold = {opacity(Theme::brandGold(), 0.024 + 0.028 * p3), opacity(Theme::brandRose(), 0.01 + 0.014 * p3),
              QPointF(0.54 + 0.14 * p3, 0.86 - 0.08 * p1), 92, 620 + 120 * p3};
    f.sheen[0] = opacity(Qt::white, 0.05);
    f.sheen[1] = opacity(Qt::white, 0.016);
    f.sheen[2] = opacity(Theme::adaptive(ColorToken::accentSoft).resolve(isDark), 0.045);
    return f;
}

double backdropDifference(const BackdropFrame &a, const BackdropFrame &b, QSizeF size)
{
    if (a.background != b.background || a.sheen[2] != b.sheen[2])
        return 255;
    return glowDifference(a.rose, b.rose, size) + glowDifference(a.teal, b.teal, size) +
           glowDifference(a.gold, b.gold, size);
}

double smooth(double x)
{
    const double c = std::clamp(x, 0.0, 1.0);
    return c * c * (3 - 2 * c);
}

double logoCurveA(double u)
{
    if (u < 0.24)
        return 0;
    if (u < 0.36)
        return smooth((u - 0.24) / 0.12);
    if (u <= 0.56)
        return 1;
    if (u <= 0.68)
        return 1 - smooth((u - 0.56) / 0.12);
    return 0;
}

double logoCurveB(double u)
{
    if (u < 0.52)
        return 0;
    if (u < 0.68)
        return smooth((u - 0.52) / 0.16);
    if (u <= 0.88)
        return 1;
    return 1 - smooth((u - 0.88) / 0.12);
}

LogoState logoState(double t)
{
    LogoState s;
    double cycle = std::fmod(t, 18.0);
    if (cycle < 0)
        cycle += 18.0;
    s.u = cycle / 18.0;
    s.secondOpacity = kLogoSecondOpacity * logoCurveA(s.u);
    s.thirdOpacity = kLogoThirdOpacity * logoCurveB(s.u);
    s.wave = std::sin(kTwoPi * t / 8.5) * 0.5 + 0.5;
    s.scale = 1.02 + 0.018 * std::sin(kTwoPi * t / 10);
    return s;
}

double logoDifference(const LogoState &a, const LogoState &b, double devicePixels)
{
    // The outline's points move by at most 0.04 of the side per unit of wave; the scale
    // moves the edge by half the side per unit.
    const double pixels = std::abs(a.wave - b.wave) * 0.04 * devicePixels +
                          std::abs(a.scale - b.scale) * 0.5 * devicePixels;
    const double levels = std::max(std::abs(a.secondOpacity - b.secondOpacity),
                                   std::abs(a.thirdOpacity - b.thirdOpacity)) * logoPaletteSpread();
    // A fade that starts or ends is shown at once: the painter rounds a skin at a slight
    // opacity, or a slight way from full, by a level or two of its own.
    const auto atRest = [](double opacity, double full) {
        return opacity <= kLogoUnseenOpacity || full - opacity <= kLogoUnseenOpacity;
    };
    const auto settled = [&](double x, double y, double full) { return atRest(x, full) != atRest(y, full); };
    if (settled(a.secondOpacity, b.secondOpacity, kLogoSecondOpacity) ||
        settled(a.thirdOpacity, b.thirdOpacity, kLogoThirdOpacity))
        return std::max({pixels / kLogoStepPixels, levels / kLogoStepLevels, 1.0});
    return std::max(pixels / kLogoStepPixels, levels / kLogoStepLevels);
}

QPainterPath amorphousLogoPath(const QRectF &rect, double p)
{
    const double a = 0.02 * p;
    const double b = 0.03 * p;
    auto at = [&rect](double fx, double fy) {
        return QPointF(rect.x() + fx * rect.width(), rect.y() + fy * rect.height());
    };
    QPainterPath path;
    path.moveTo(at(0.5 + a, 0.03));
    path.cubicTo(at(0.77 + b, 0.02 + b), at(0.99 - a, 0.24 - a), at(0.96 - b, 0.48 + 0.04 * p));
    path.cubicTo(at(0.98 - a, 0.75 + a), at(0.77 - 0.04 * p, 0.99), at(0.51 - b, 0.97));
    path.cubicTo(at(0.24 - b, 0.96 - a), at(b, 0.77 + a), at(0.04 + b, 0.5 - b));
    path.cubicTo(at(0.05 + a, 0.24 - b), at(0.23 - a, a), at(0.5 + a, 0.03));
    return path;
}

} // namespace qv::brand
