#include "display/ComfortVeilDrawing.h"
#include "display/ComfortVeilOverlayView.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtTest/QTest>
#include <QScreen>
#include <QWindow>
#include <QRadialGradient>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

using namespace qv;
using namespace qv::veil;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Paints a view with the state into a transparent image of the size (points) and ratio.
QImage paintVeil(ComfortVeilOverlayView &view, const ComfortVeilState &state, QSize size, double ratio = 1.0)
{
    QImage image(QSize(int(size.width() * ratio), int(size.height() * ratio)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    view.setState(state);
    QPainter painter(&image);
    view.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

ComfortVeilState onlyEffect(int which, double amount)
{
    ComfortVeilState s;
    s.enabled = true;
    s.peripheralSofteningEnabled = which == 0;
    s.highlightDampeningEnabled = which == 1;
    s.colorCalmEnabled = which == 2;
    s.microtextureEnabled = which == 3;
    s.peripheralSoftening = s.highlightDampening = s.colorCalm = s.microtexture = amount;
    return s;
}

} // namespace

TEST(ComfortVeilDrawing, EffectiveAmountsAtTheirBoundaries)
{
    const struct {
        double amount, cap, expected;
    } cases[] = {
        {0.01, 1.0, 0},   {0.011, 1.0, 0.011}, {-0.5, 1.0, 0},   {1.0, 1.0, 1.0},   {1.3, 1.0, 1.0},
        {3.0, 2.0, 2.0},  {1.5, 1.4, 1.4},     {0.75, 1.2, 0.75}, {kNaN, 1.0, 0},   {kInf, 1.2, 1.2},
        {-kInf, 1.2, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(effectiveAmount(c.amount, c.cap), c.expected) << c.amount << " cap " << c.cap;
}

TEST(ComfortVeilDrawing, WashAlphasFollowTheWorkedNumbers)
{
    const QList<Wash> highlight = highlightWashes(0.22);
    ASSERT_EQ(highlight.size(), 2);
    EXPECT_DOUBLE_EQ(highlight[0].alpha, 0.022);
    EXPECT_DOUBLE_EQ(highlight[1].alpha, 0.0077);
    EXPECT_EQ(highlight[0].color, QColor(Qt::black));
    EXPECT_NEAR(highlight[1].color.redF(), 0.9, 1e-4);

    const struct {
        double c, t, p, e, grey, warm;
    } calm[] = {
        {0.5, 0.25, 0.3686, 0, 0.0590, 0.0276},
        {2.0, 1.0, 1.0, 0.38, 0.198, 0.1054},
        {1.5, 0.75, 0.8130, 0.13, 0.14308, 0.07138}, // past the knee at t = 0.62
        {5.0, 1.0, 1.0, 0.38, 0.198, 0.1054},        // limited to t = 1
    };
    for (const auto &c : calm) {
        SCOPED_TRACE(c.c);
        const ColorCalmCurve k = colorCalmCurve(c.c);
        EXPECT_DOUBLE_EQ(k.t, c.t);
        EXPECT_NEAR(k.p, c.p, 1e-4);
        EXPECT_NEAR(k.e, c.e, 1e-12);
        const QList<Wash> w = colorCalmWashes(c.c);
        EXPECT_NEAR(w[0].alpha, c.grey, 1e-4);
        EXPECT_NEAR(w[1].alpha, c.warm, 1e-4);
    }
    const QColor warm = colorCalmWashes(1)[1].color;
    EXPECT_NEAR(warm.redF(), 0.78, 1e-4);
    EXPECT_NEAR(warm.greenF(), 0.76, 1e-4);
    EXPECT_NEAR(warm.blueF(), 0.70, 1e-4);
}

TEST(ComfortVeilDrawing, ComposedWashEqualsTheWashesOneAfterTheOther)
{
    // Black at 0.5 then white at 0.5: alpha 0.75, premultiplied grey 0.5, so level 2/3.
    const QColor c = composeWashes({{QColor(Qt::black), 0.5}, {QColor(Qt::white), 0.5}});
    EXPECT_NEAR(c.alphaF(), 0.75, 1e-4);
    EXPECT_NEAR(c.redF(), 2.0 / 3.0, 1e-4);
    EXPECT_EQ(composeWashes({}).alpha(), 0);
    EXPECT_EQ(composeWashes({{QColor(Qt::black), 0}, {QColor(Qt::white), kNaN}}).alpha(), 0);
}

TEST(ComfortVeilDrawing, VignetteOnAThousandBySixHundredView)
{
    const Vignette v = vignetteGeometry(QRectF(0, 0, 1000, 600));
    EXPECT_EQ(v.center, QPointF(500, 300));
    EXPECT_DOUBLE_EQ(v.outerRadius, 720);
    EXPECT_DOUBLE_EQ(v.innerRadius, 115.2);

    const auto alphaAtDistance = [&](double d) {
        return vignetteAlphaAt((d - v.innerRadius) / (v.outerRadius - v.innerRadius), 0.32);
    };
    EXPECT_EQ(alphaAtDistance(50), 0);
    EXPECT_EQ(alphaAtDistance(320.8), 0);
    EXPECT_NEAR(alphaAtDistance(550.7), 0.0896, 1e-4);
    EXPECT_NEAR(alphaAtDistance(720), 0.1728, 1e-12);
    EXPECT_NEAR(alphaAtDistance(2000), 0.1728, 1e-12);
    EXPECT_NEAR(alphaAtDistance(std::hypot(500, 300)), 0.1055, 1e-4);
}

TEST(ComfortVeilDrawing, StridesIncludeTheEndOnlyWhenHitExactly)
{
    const struct {
        double from, through, by;
        std::int64_t count;
    } cases[] = {
        {0, 8.6, 0.86, 11}, // 10 × 0.86 is 8.6 in double precision
        {0, 8.5, 0.86, 10},
        {0, 0, 0.86, 1},
        {0.5, 12, 4, 3},   // 0.5, 4.5, 8.5
        {2.3, 2.2, 4, 0},  // starts beyond the end
        {0, 10, 0, 0},     // no step
        {0, kNaN, 1, 0},
        {0, 1440, 0.86, 1675},
    };
    for (const auto &c : cases)
        EXPECT_EQ(strideCount(c.from, c.through, c.by), c.count) << c.from << " through " << c.through;
    EXPECT_EQ(strideValue(0, 0.86, 10), 8.6);
    EXPECT_LT(strideValue(0, 0.86, 9), 7.75);
}

TEST(ComfortVeilDrawing, GrainCellsOfTheWorkedExamples)
{
    const struct {
        double x, y;
        int residue;
        GrainDot dot;
    } cases[] = {
        {0, 0, 0, GrainDot::light},       {0.86, 0, 11, GrainDot::light}, {1.72, 0, 22, GrainDot::none},
        {0, 0.86, 0, GrainDot::light},    {3.44, 0, 1, GrainDot::none},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(grainResidue(c.x, c.y), c.residue) << c.x << "," << c.y;
        EXPECT_EQ(grainDotAt(c.x, c.y), c.dot) << c.x << "," << c.y;
    }
    // 5 dark and 4 light residues of 43.
    int dark = 0, light = 0;
    for (int n = 0; n < 43; ++n) {
        const GrainDot d = grainDotAt(n / 1113.0 + 1e-9, 0);
        dark += d == GrainDot::dark;
        light += d == GrainDot::light;
    }
    EXPECT_EQ(dark, 5);
    EXPECT_EQ(light, 4);

    const MicrotextureAlphas a = microtextureAlphas(0.55);
    EXPECT_NEAR(a.darkDot, 0.0187, 1e-12);
    EXPECT_NEAR(a.lightDot, 0.0143, 1e-12);
    EXPECT_NEAR(a.lightLine, 0.00275, 1e-12);
    EXPECT_NEAR(a.darkLine, 0.00385, 1e-12);
}

TEST(ComfortVeilDrawing, TextureIsFlippedToQtCoordinates)
{
    // The dot of cell (0, 0) sits at the bottom-left corner in Qt's terms; the light scan
    // line at 0.5 from the bottom.
    const QImage texture = renderMicrotexture(QSizeF(8, 8), 2.0);
    ASSERT_EQ(texture.size(), QSize(16, 16));
    EXPECT_EQ(texture.devicePixelRatio(), 2.0);
    const QRgb corner = texture.pixel(0, 15); // (0, 0)-(1, 1) pixels are the 0.5 pt dot
    // The white dot plus a third of the light line's 0.6 pixel.
    EXPECT_EQ(qAlpha(corner), qRound(0.026 / 0.041 * 255) + qRound(0.3 * 0.005 / 0.041 * 255));
    EXPECT_EQ(qRed(corner), qAlpha(corner)) << "white";
    // The top row of cells (y = 7.74, 0.24 pt below the top edge) reaches 0.52 into pixel
    // row 0: cell (0, 7.74) has n = 5425, r = 7, a dark dot.
    EXPECT_EQ(grainDotAt(0, 7.74), GrainDot::dark);
    EXPECT_EQ(texture.pixel(0, 0), qRgba(0, 0, 0, qRound(0.52 * 0.034 / 0.041 * 255)));
    // The light line at y = 0.5 covers pixel row 14 (from 15.3 to 15.0 ... 14.7 to 15.3).
    EXPECT_GT(qAlpha(texture.pixel(7, 14)), 0);

    EXPECT_TRUE(renderMicrotexture(QSizeF(0, 100), 2).isNull());
    EXPECT_TRUE(renderMicrotexture(QSizeF(kInf, 100), 2).isNull());
    EXPECT_TRUE(renderMicrotexture(QSizeF(100, 100), kNaN).isNull());
    EXPECT_TRUE(renderMicrotexture(QSizeF(1e7, 1e7), 1).isNull());
}

class ComfortVeilPaintTest : public test::QvTest {};

TEST_F(ComfortVeilPaintTest, EachEffectPaintsWhereItShould)
{
    ComfortVeilOverlayView view(QRectF(0, 0, 100, 60));

    // Disabled: nothing, whatever the switches say.
    ComfortVeilState off = onlyEffect(1, 1.0);
    off.enabled = false;
    const QImage blank = paintVeil(view, off, QSize(100, 60));
    EXPECT_EQ(qAlpha(blank.pixel(50, 30)), 0);

    // Highlight 0.01 paints nothing; 1.0 a uniform dark wash (0.1 black then 0.035 grey 0.9).
    EXPECT_EQ(qAlpha(paintVeil(view, onlyEffect(1, 0.01), QSize(100, 60)).pixel(50, 30)), 0);
    const QImage washed = paintVeil(view, onlyEffect(1, 1.0), QSize(100, 60));
    const double alpha = 0.035 + 0.1 * (1 - 0.035);
    EXPECT_NEAR(qAlpha(washed.pixel(3, 3)), alpha * 255, 1);
    EXPECT_EQ(washed.pixel(3, 3), washed.pixel(97, 57));

    // The vignette: clear at the centre, darkest in the corners, symmetric.
    const QImage vignette = paintVeil(view, onlyEffect(0, 1.4), QSize(100, 60));
    EXPECT_EQ(qAlpha(vignette.pixel(50, 30)), 0);
    EXPECT_GT(qAlpha(vignette.pixel(0, 0)), 100);
    EXPECT_NEAR(qAlpha(vignette.pixel(0, 0)), qAlpha(vignette.pixel(99, 59)), 2);
    EXPECT_EQ(qRed(vignette.pixel(0, 0)), 0) << "black";

    // Along a radius of a 1000 x 600 view the painted alpha follows the curve.
    ComfortVeilOverlayView wide(QRectF(0, 0, 1000, 600));
    const QImage ring = paintVeil(wide, onlyEffect(0, 1.0), QSize(1000, 600));
    const Vignette v = vignetteGeometry(QRectF(0, 0, 1000, 600));
    for (int d : {0, 60, 110, 120, 300, 321, 400, 499}) {
        const double s = (d + 0.5 - v.innerRadius) / (v.outerRadius - v.innerRadius);
        EXPECT_NEAR(qAlpha(ring.pixel(500 + d, 300)), vignetteAlphaAt(s, 1.0) * 255, 1.5) << d;
    }
}

TEST_F(ComfortVeilPaintTest, TextureIsDrawnOncePerSizeAndRatio)
{
    ComfortVeilOverlayView view(QRectF(0, 0, 120, 80));
    const QImage first = paintVeil(view, onlyEffect(3, 0.3), QSize(120, 80), 2);
    paintVeil(view, onlyEffect(3, 0.75), QSize(120, 80), 2);
    EXPECT_EQ(view.textureRenderCount(), 1);
    const QImage again = paintVeil(view, onlyEffect(3, 0.3), QSize(120, 80), 2);
    EXPECT_EQ(again, first) << "the same amount paints the same grain";
    paintVeil(view, onlyEffect(3, 0.3), QSize(120, 80), 1);
    paintVeil(view, onlyEffect(3, 0.3), QSize(121, 80), 1);
    EXPECT_EQ(view.textureRenderCount(), 3);

    // Zero-sized and enormous areas paint nothing and say so once.
    ComfortVeilOverlayView empty{QRectF()};
    paintVeil(empty, onlyEffect(3, 0.5), QSize(0, 0));
    EXPECT_EQ(empty.textureRenderCount(), 0);
    QImage tiny(1, 1, QImage::Format_ARGB32_Premultiplied);
    tiny.fill(Qt::transparent);
    QPainter painter(&tiny);
    empty.setState(onlyEffect(3, 0.5));
    empty.paint(painter, QRectF(0, 0, 1e7, 1e7));
    empty.paint(painter, QRectF(0, 0, 1e7, 1e7));
    painter.end();
    EXPECT_EQ(qAlpha(tiny.pixel(0, 0)), 0);
    EXPECT_EQ(logs->count("ComfortVeil", "The veil's texture cannot be drawn on an area of 1e+07 x 1e+07 at pixel ratio 1"),
              1);
}

// The grain's alphas are a few levels at most: at the default amount they must still
// reach the screen, as painting each dot on its own would give them.
TEST_F(ComfortVeilPaintTest, GrainShowsAtSmallAmountsAndGrowsWithThem)
{
    ComfortVeilOverlayView view(QRectF(0, 0, 200, 100));
    const auto strongest = [&view](double m) {
        const QImage image = paintVeil(view, onlyEffect(3, m), QSize(200, 100), 2);
        int most = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                most = std::max(most, qAlpha(image.pixel(x, y)));
        return most;
    };
    const MicrotextureAlphas at018 = microtextureAlphas(0.18);
    EXPECT_NEAR(strongest(0.18), std::lround((at018.darkDot + at018.darkLine) * 255), 1);
    EXPECT_GE(strongest(0.18), 1);
    EXPECT_LT(strongest(0.3), strongest(0.75));
    const MicrotextureAlphas at075 = microtextureAlphas(0.75);
    EXPECT_NEAR(strongest(0.75), (at075.darkDot + at075.darkLine) * 255, 1);
}

// Writes a few veils as PNGs to look at (not part of an ordinary run):
// QV_VEIL_PNG_DIR=/tmp/veil display_tests --gtest_also_run_disabled_tests --gtest_filter=*Render*
TEST_F(ComfortVeilPaintTest, DISABLED_RenderToFiles)
{
    const QByteArray dir = qgetenv("QV_VEIL_PNG_DIR");
    ASSERT_FALSE(dir.isEmpty()) << "set QV_VEIL_PNG_DIR to write the pictures";
    QDir().mkpath(QString::fromLocal8Bit(dir));
    ComfortVeilState all;
    all.enabled = true;
    all.colorCalmEnabled = true;
    all.colorCalm = 1.2;
    all.microtextureEnabled = true;
    all.microtexture = 0.75;
    all.peripheralSoftening = 1.4;
    const struct {
        const char *name;
        ComfortVeilState state;
    } cases[] = {{"defaults", [] { ComfortVeilState s; s.enabled = true; return s; }()},
                 {"all", all},
                 {"vignette", onlyEffect(0, 1.4)},
                 {"grain", onlyEffect(3, 1.2)}};
    for (const auto &c : cases) {
        ComfortVeilOverlayView view(QRectF(0, 0, 640, 400));
        QImage image = paintVeil(view, c.state, QSize(640, 400), 2);
        // Over a mid-grey and white picture so the veil shows.
        QImage backdrop(image.size(), QImage::Format_ARGB32_Premultiplied);
        backdrop.setDevicePixelRatio(2);
        backdrop.fill(QColor(230, 230, 230));
        QPainter p(&backdrop);
        p.fillRect(QRect(0, 0, 320, 400), QColor(128, 140, 160));
        p.drawImage(0, 0, image);
        p.end();
        backdrop.save(QStringLiteral("%1/veil-%2.png").arg(QString::fromLocal8Bit(dir), QLatin1String(c.name)));
        image.save(QStringLiteral("%1/veil-%2-alone.png").arg(QString::fromLocal8Bit(dir), QLatin1String(c.name)));
    }
}

namespace {

// The unit texture at one opacity, each channel scaled and rounded on its own, as the
// painter's drawing drew it (a painter's opacity would round the few levels away).
QImage scaledMicrotexture(const QImage &unit, double opacity)
{
    QImage scaled = unit;
    const quint32 factor = quint32(std::lround(std::min(opacity, 1.0) * 65536.0));
    for (int y = 0; y < scaled.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(scaled.scanLine(y));
        for (int x = 0; x < scaled.width(); ++x) {
            quint32 q = 0;
            for (int shift = 0; shift < 32; shift += 8)
                q |= ((((line[x] >> shift) & 0xffu) * factor + 32768u) >> 16) << shift;
            line[x] = q;
        }
    }
    return scaled;
}

// The uniform washes a state paints, in order: highlight dampening, then colour calm.
QList<Wash> washesOf(const ComfortVeilState &state)
{
    QList<Wash> washes;
    if (state.highlightDampeningEnabled)
        if (const double a = effectiveAmount(state.highlightDampening, kHighlightCap); a > 0)
            washes << highlightWashes(a);
    if (state.colorCalmEnabled)
        if (const double c = effectiveAmount(state.colorCalm, kColorCalmCap); c > 0)
            washes << colorCalmWashes(c);
    return washes;
}

// The veil as it was painted straight with a painter, effect by effect: the washes as
// one fill, the vignette as a radial gradient and the grain as an image drawn over it.
QImage paintedByPainter(const ComfortVeilState &state, QSize size, double ratio)
{
    QImage image(QSize(int(size.width() * ratio), int(size.height() * ratio)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    const QRectF bounds(QPointF(0, 0), QSizeF(size));
    QPainter painter(&image);
    const QList<Wash> washes = washesOf(state);
    if (const QColor wash = composeWashes(washes); wash.alpha() > 0)
        painter.fillRect(bounds, wash);
    if (state.peripheralSofteningEnabled) {
        if (const double a = effectiveAmount(state.peripheralSoftening, kPeripheralCap); a > 0) {
            const Vignette v = vignetteGeometry(bounds);
            QRadialGradient gradient(v.center, v.outerRadius, v.center, v.innerRadius);
            gradient.setSpread(QGradient::PadSpread);
            for (const VignetteStop &stop : vignetteStops(a))
                gradient.setColorAt(stop.location, QColor::fromRgbF(0, 0, 0, float(stop.alpha)));
            painter.fillRect(bounds, gradient);
        }
    }
    if (state.microtextureEnabled) {
        if (const double m = effectiveAmount(state.microtexture, kMicrotextureCap); m > 0)
            painter.drawImage(QPointF(0, 0),
                              scaledMicrotexture(renderMicrotexture(bounds.size(), ratio), microtextureImageOpacity(m)));
    }
    return image;
}

// A picture with the colours and edges of a photograph: smooth gradients, a sky, shapes
// of saturated colour, and fine noise.
QImage photoLike(QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    quint32 seed = 12345;
    for (int y = 0; y < pixels.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const bool sky = y < pixels.height() / 3;
            const bool leaf = ((x / 7) ^ (y / 5)) % 3 == 0;
            const int r = sky ? 110 + y % 40 : leaf ? 40 : 200 - x % 90;
            const int g = sky ? 160 + x % 60 : leaf ? 150 + y % 50 : 120;
            const int b = sky ? 230 : leaf ? 30 : 60 + (x + y) % 100;
            line[x] = qRgb(std::clamp(r + noise, 0, 255), std::clamp(g + noise, 0, 255), std::clamp(b + noise, 0, 255));
        }
    }
    return image;
}

// What the screen shows: the veil over a picture.
QImage over(const QImage &picture, const QImage &veil)
{
    QImage screen = picture;
    screen.setDevicePixelRatio(1);
    QImage top = veil;
    top.setDevicePixelRatio(1);
    QPainter painter(&screen);
    painter.drawImage(0, 0, top);
    return screen;
}

// The screen as the drawing's description gives it, computed per pixel in double
// precision from the backdrop: the washes one after the other, black at the vignette's
// alpha at the pixel's middle, then the grain (the unit texture at its opacity).
QImage exactlyAsDescribed(const ComfortVeilState &state, QSize size, double ratio, const QImage &backdrop)
{
    const QList<Wash> washes = washesOf(state);
    const double vignette = state.peripheralSofteningEnabled ? effectiveAmount(state.peripheralSoftening, kPeripheralCap) : 0;
    const double m = state.microtextureEnabled ? effectiveAmount(state.microtexture, kMicrotextureCap) : 0;
    const QImage unit = m > 0 ? renderMicrotexture(QSizeF(size), ratio) : QImage();
    const double k = microtextureImageOpacity(m);
    const Vignette v = vignetteGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    QImage screen = backdrop.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const QRgb p = screen.pixel(x, y);
            double c[3] = {qRed(p) / 255.0, qGreen(p) / 255.0, qBlue(p) / 255.0};
            for (const Wash &w : washes) {
                const double wc[3] = {w.color.redF(), w.color.greenF(), w.color.blueF()};
                for (int i = 0; i < 3; ++i)
                    c[i] = wc[i] * w.alpha + c[i] * (1 - w.alpha);
            }
            if (vignette > 0) {
                const double d = std::hypot((x + 0.5) / ratio - v.center.x(), (y + 0.5) / ratio - v.center.y());
                const double alpha = vignetteAlphaAt((d - v.innerRadius) / (v.outerRadius - v.innerRadius), vignette);
                for (double &channel : c)
                    channel *= 1 - alpha;
            }
            if (!unit.isNull()) {
                const QRgb g = unit.pixel(x, y);
                const double ga = qAlpha(g) / 255.0 * k, gw = qRed(g) / 255.0 * k;
                for (double &channel : c)
                    channel = gw + channel * (1 - ga);
            }
            screen.setPixel(x, y, qRgb(int(std::lround(c[0] * 255)), int(std::lround(c[1] * 255)), int(std::lround(c[2] * 255))));
        }
    return screen;
}

int largestDifference(const QImage &a, const QImage &b)
{
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return most;
}

} // namespace

// The scene graph's picture, composed from the layers in one pass, shows what the
// description of the drawing gives to within one level, over white and over a
// photograph. Each effect alone also matches the painter's effect-by-effect drawing to
// within one level; with several effects that drawing rounded each layer to 8 bits on its
// own and drifted up to 3 levels, and the one pass must be no further off than it was.
TEST_F(ComfortVeilPaintTest, OnePassShowsWhatThePainterShowed)
{
    ComfortVeilState all;
    all.enabled = true;
    all.peripheralSoftening = 1.4;
    all.highlightDampening = 1.0;
    all.colorCalmEnabled = true;
    all.colorCalm = 2.0;
    all.microtextureEnabled = true;
    all.microtexture = 1.2;
    ComfortVeilState defaults;
    defaults.enabled = true;
    ComfortVeilState mixed = all;
    mixed.peripheralSoftening = 0.6;
    mixed.colorCalm = 0.4;
    mixed.microtexture = 0.2;
    mixed.highlightDampeningEnabled = false;
    const struct {
        const char *name;
        ComfortVeilState state;
        bool single;
    } states[] = {{"every effect at full", all, false},      {"defaults", defaults, false},
                  {"vignette", onlyEffect(0, 1.4), true},    {"highlight", onlyEffect(1, 1.0), true},
                  {"colour calm", onlyEffect(2, 2.0), true}, {"grain", onlyEffect(3, 1.2), true},
                  {"mixed", mixed, false}};
    const struct {
        QSize size;
        double ratio;
    } areas[] = {{QSize(320, 200), 1.0}, {QSize(173, 111), 2.0}, {QSize(200, 120), 1.5}, {QSize(101, 61), 1.0}};
    for (const auto &area : areas) {
        const QSize pixels(int(area.size.width() * area.ratio), int(area.size.height() * area.ratio));
        QImage white(pixels, QImage::Format_ARGB32_Premultiplied);
        white.fill(Qt::white);
        const QImage photo = photoLike(pixels);
        for (const auto &c : states) {
            ComfortVeilOverlayView view(QRectF(QPointF(0, 0), QSizeF(area.size)));
            const QImage onePass = paintVeil(view, c.state, area.size, area.ratio);
            const QImage reference = paintedByPainter(c.state, area.size, area.ratio);
            const std::string where = std::string(c.name) + " at " + std::to_string(area.size.width()) + " x "
                + std::to_string(area.size.height()) + " ratio " + std::to_string(area.ratio);
            const bool single = c.single;
            for (const QImage *backdrop : {static_cast<const QImage *>(&white), &photo}) {
                const std::string on = where + (backdrop == &white ? " over white" : " over a photo");
                const QImage exact = exactlyAsDescribed(c.state, area.size, area.ratio, *backdrop);
                const int fromExact = largestDifference(over(*backdrop, onePass), exact);
                EXPECT_LE(fromExact, 1) << on;
                const int fromPainter = largestDifference(over(*backdrop, onePass), over(*backdrop, reference));
                if (single)
                    EXPECT_LE(fromPainter, 1) << on;
                else
                    EXPECT_LE(fromExact, std::max(1, largestDifference(over(*backdrop, reference), exact))) << on;
            }
        }
    }
}

// Painting replaces what was there: a repaint after a change leaves nothing of the last.
TEST_F(ComfortVeilPaintTest, ARepaintReplacesTheLastPicture)
{
    ComfortVeilOverlayView view(QRectF(0, 0, 90, 50));
    QImage image(QSize(90, 50), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    view.setState(onlyEffect(2, 2.0));
    view.paint(painter, QRectF(0, 0, 90, 50));
    view.setState(onlyEffect(2, 0.4));
    view.paint(painter, QRectF(0, 0, 90, 50));
    painter.end();
    EXPECT_EQ(image, paintVeil(view, onlyEffect(2, 0.4), QSize(90, 50)));
}

// Painted where the painter is not on an image (a picture of another kind, or moved and
// clipped), the view gives the same pixels through its bands of rows.
TEST_F(ComfortVeilPaintTest, BandsGiveWhatTheStraightPassGives)
{
    ComfortVeilState s;
    s.enabled = true;
    s.colorCalmEnabled = true;
    s.colorCalm = 1.1;
    s.microtextureEnabled = true;
    s.microtexture = 0.6;
    ComfortVeilOverlayView view(QRectF(0, 0, 150, 140));
    const QImage straight = paintVeil(view, s, QSize(150, 140));

    QPixmap pixmap(150, 140);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        view.paint(painter, QRectF(0, 0, 150, 140));
    }
    EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), straight);

    // Moved by (10, 20) and clipped to a part: that part gets the picture, the rest stays.
    QImage moved(QSize(170, 170), QImage::Format_ARGB32_Premultiplied);
    moved.fill(Qt::red);
    {
        QPainter painter(&moved);
        painter.translate(10, 20);
        painter.setClipRect(QRect(30, 40, 50, 60));
        view.paint(painter, QRectF(0, 0, 150, 140));
    }
    EXPECT_EQ(moved.copy(40, 60, 50, 60), straight.copy(30, 40, 50, 60));
    EXPECT_EQ(moved.pixel(39, 60), QColor(Qt::red).rgba());
    EXPECT_EQ(moved.pixel(90, 119), QColor(Qt::red).rgba());

    // A painter that scales by 2 gives what a pixel ratio of 2 gives.
    QImage scaled(QSize(300, 280), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&scaled);
        painter.scale(2, 2);
        view.paint(painter, QRectF(0, 0, 150, 140));
    }
    QImage atRatio2 = paintVeil(view, s, QSize(150, 140), 2);
    atRatio2.setDevicePixelRatio(1);
    EXPECT_EQ(scaled, atRatio2);
}

// A window beside every screen shows nothing, so its view is not drawn.
TEST_F(ComfortVeilPaintTest, AWindowBesideEveryScreenIsNotOnAScreen)
{
    QRect all;
    for (const QScreen *screen : QGuiApplication::screens())
        all |= screen->geometry();
    ASSERT_FALSE(all.isEmpty());
    QWindow window;
    window.setGeometry(QRect(all.topLeft(), QSize(100, 80)));
    EXPECT_TRUE(veil::VeilItem::onAScreen(&window));
    window.setGeometry(QRect(all.right() - 10, all.top(), 100, 80));
    EXPECT_TRUE(veil::VeilItem::onAScreen(&window)) << "partly on a screen";
    window.setGeometry(QRect(all.right() + 1, all.top(), 1920, 1080));
    EXPECT_FALSE(veil::VeilItem::onAScreen(&window));
}

// The maps are kept per size and ratio, and let go on request.
TEST(VeilPixels, MapsAreMadeForTheLayersThatNeedThem)
{
    veil::VeilPixels pixels;
    const QRectF area(0, 0, 200, 100);
    veil::VeilLayers wash;
    wash.wash = QColor(10, 20, 30, 40);
    EXPECT_TRUE(pixels.prepare(area, 2, QSize(400, 200), wash));
    EXPECT_EQ(pixels.bytes(), 0u) << "a wash needs no map";
    veil::VeilLayers all = wash;
    all.vignette = 0.3;
    all.grain = 0.02;
    EXPECT_TRUE(pixels.prepare(area, 2, QSize(400, 200), all));
    EXPECT_EQ(pixels.bytes(), 400u * 200 * 2 + 200u * 100 * 2 + 100u * sizeof(int));
    EXPECT_TRUE(pixels.prepare(area, 2, QSize(400, 200), all));
    EXPECT_EQ(pixels.grainRenderCount(), 1);
    pixels.release();
    EXPECT_EQ(pixels.bytes(), 0u);

    // The vignette map is symmetric and holds the shape at amount 1.
    const veil::VignetteMap map = veil::renderVignetteMap(area, 2, QSize(400, 200));
    EXPECT_EQ(map.at(0, 0), map.at(399, 199));
    EXPECT_EQ(map.at(10, 30), map.at(389, 169));
    EXPECT_EQ(map.at(200, 100), 0);
    const Vignette v = vignetteGeometry(area);
    const double d = std::hypot(0.25 - 100, 0.25 - 50);
    EXPECT_NEAR(map.at(0, 0) / 65535.0, vignetteAlphaAt((d - v.innerRadius) / (v.outerRadius - v.innerRadius), 1.0) / 0.54,
                1e-4);
    EXPECT_TRUE(veil::renderVignetteMap(area, 2, QSize()).isNull());
}

// In a window of the software scene graph the view shows its picture, and keeps nothing
// once the window is hidden.
TEST_F(ComfortVeilPaintTest, AHiddenWindowKeepsNothing)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QQuickWindow window;
    window.setColor(Qt::transparent);
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.setGeometry(QRect(screen.topLeft(), QSize(120, 90)));
    auto *view = new ComfortVeilOverlayView(QRectF(0, 0, 120, 90));
    view->setParentItem(window.contentItem());
    ComfortVeilState s = onlyEffect(3, 0.6);
    s.peripheralSofteningEnabled = true;
    view->setState(s);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    view->setNeedsDisplay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->cachedBytes() > 0; }));
    const QImage shown = window.grabWindow();
    EXPECT_EQ(shown.size(), QSize(120, 90) * window.devicePixelRatio());
    ComfortVeilOverlayView reference(QRectF(0, 0, 120, 90));
    QImage expected = paintVeil(reference, s, QSize(120, 90), window.devicePixelRatio());
    if (!shown.hasAlphaChannel()) {
        // A platform without translucent windows shows the veil over black.
        QImage black(expected.size(), QImage::Format_ARGB32_Premultiplied);
        black.fill(Qt::black);
        expected = over(black, expected);
    }
    EXPECT_LE(largestDifference(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied), expected), 1);
    window.hide();
    EXPECT_EQ(view->cachedBytes(), 0u);
}
