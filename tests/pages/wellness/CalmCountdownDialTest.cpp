#include "design/Theme.h"
#include "pages/wellness/CalmCountdownDial.h"
#include "runtime/Json.h"
#include "runtime/Scheduler.h"
#include "support/TestEnvironment.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <cmath>
#include <limits>

using namespace qv;

namespace {

TEST(CalmCountdownDial, GeometryFollowsTheShorterSideWithFloors)
{
    struct Case {
        QSizeF offered;
        qreal side, tickRadius, ringWidth, ringInset, discInset, font;
    };
    const Case cases[] = {
        {{458, 318}, 318, 133.56, 11.13, 27.03, 54.06, 63.6},
        // Below 171.4 points the ring stays 6 wide; below 210 the time stays at 42.
        {{160, 400}, 160, 67.2, 6, 13.6, 27.2, 42},
        {{300, 200}, 200, 84, 7, 17, 34, 42},
        {{0, 300}, 0, 0, 6, 0, 0, 42},
    };
    for (const Case &c : cases) {
        const CalmCountdownDial::Geometry g = CalmCountdownDial::geometry(c.offered);
        EXPECT_NEAR(g.side, c.side, 1e-9);
        EXPECT_NEAR(g.tickRadius, c.tickRadius, 1e-9);
        EXPECT_NEAR(g.ringWidth, c.ringWidth, 1e-9);
        EXPECT_NEAR(g.ringInset, c.ringInset, 1e-9);
        EXPECT_NEAR(g.discInset, c.discInset, 1e-9);
        EXPECT_NEAR(g.timeFontSize, c.font, 1e-9);
    }
}

TEST(CalmCountdownDial, TheRingIsAtLeastADotAndAtMostFull)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double progress, drawn;
    };
    const Case cases[] = {{0, 0.0001}, {-0.5, 0.0001}, {nan, 0.0001}, {-inf, 0.0001},
                          {0.25, 0.25}, {1, 1}, {1.7, 1}, {inf, 1}};
    for (const Case &c : cases)
        EXPECT_EQ(CalmCountdownDial::drawnFraction(c.progress), c.drawn) << c.progress;
}

TEST(CalmCountdownDial, TheGradientTurnsOnceIn14SecondsAndBreathes)
{
    const CalmCountdownDial::RingStyle start = CalmCountdownDial::ringStyle(0);
    ASSERT_EQ(start.colours.size(), 5);
    EXPECT_EQ(start.startDegrees, 0);
    EXPECT_EQ(start.colours.first(), start.colours.last());
    EXPECT_EQ(start.colours[0].rgb(), Theme::brandTeal().rgb());
    EXPECT_NEAR(start.colours[0].alphaF(), 0.78 * 1.0 + 0.18 * 0.5, 1e-3);
    EXPECT_NEAR(start.colours[1].alphaF(), 0.8 + 0.16 * (0.5 + 0.5 * std::sin(1.4)), 1e-3);
    EXPECT_NEAR(start.colours[3].alphaF(), 0.76, 1e-3);

    EXPECT_NEAR(CalmCountdownDial::ringStyle(7).startDegrees, 180, 1e-9);
    EXPECT_NEAR(CalmCountdownDial::ringStyle(14 * 1000 + 3.5).startDegrees, 90, 1e-6);
    // Teal and gold breathe together on 3.8 s; at a quarter period they are at their height.
    const double peak = 3.8 * M_PI / 2;
    const CalmCountdownDial::RingStyle bright = CalmCountdownDial::ringStyle(peak);
    EXPECT_NEAR(bright.colours[0].alphaF(), 0.96, 1e-3);
    EXPECT_NEAR(bright.colours[2].alphaF(), 0.88, 1e-3);
}

TEST(CalmCountdownDial, TheTimeShrinksToFitThenIsCut)
{
    const CalmCountdownDial::FittedText plain = CalmCountdownDial::fitTimeText("20:00", 318);
    EXPECT_EQ(plain.text, "20:00");
    const qreal full = plain.font.pixelSize() > 0 ? plain.font.pixelSize() : plain.font.pointSizeF();
    EXPECT_NEAR(full, 63.6, 1.0);

    // 30 snoozes past a 20-minute interval, and far beyond.
    for (const QString &text : {QStringLiteral("170:00"), QStringLiteral("35791394:07")}) {
        const CalmCountdownDial::FittedText fitted = CalmCountdownDial::fitTimeText(text, 318);
        EXPECT_GE(fitted.font.pixelSize(), std::floor(0.65 * 63.6)) << qPrintable(text);
        EXPECT_LE(CalmCountdownDial::timeTextWidth(fitted.font, fitted.text), (318 - 2 * 27.03 - 11.13) * 0.9 + 0.5);
    }
    EXPECT_EQ(CalmCountdownDial::fitTimeText("170:00", 318).text, "170:00");
    EXPECT_TRUE(CalmCountdownDial::fitTimeText("35791394:07", 318).text.endsWith(QChar(0x2026)));
    // Monospaced digits: the time keeps its width from one second to the next.
    const QFont font = plain.font;
    EXPECT_EQ(CalmCountdownDial::timeTextWidth(font, "11:11"), CalmCountdownDial::timeTextWidth(font, "00:00"));
}

// Paints a face and tells whether a pixel carries the ring's colour.
TEST(CalmCountdownDial, AnInactiveRingIsPlainTertiaryFromTwelveOClock)
{
    const qreal dpr = 1;
    QImage image(318, 318, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        CalmCountdownDial::Painter painter;
        painter.paint(p, QSizeF(318, 318), dpr, {.progress = 0.25, .timeText = "--:--", .active = false});
    }
    const QColor tertiary = Theme::adaptive(ColorToken::textTertiary).resolve(false);
    // The ring's centre line lies at 159 - 27.03 from the centre.
    const int r = int(159 - 27.03);
    const QColor threeOClock = image.pixelColor(159 + r, 159);
    const QColor nineOClock = image.pixelColor(159 - r, 159);
    EXPECT_EQ(threeOClock.rgb(), tertiary.rgb());
    // A quarter: the arc ends at three o'clock; nine o'clock shows only the faint track.
    EXPECT_NE(nineOClock.rgb(), tertiary.rgb());
    EXPECT_EQ(image.pixelColor(159 + int(r * std::sqrt(0.5)), 159 - int(r * std::sqrt(0.5))).rgb(), tertiary.rgb());
}

class CalmCountdownDialItemTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        window = std::make_unique<QQuickWindow>();
        window->resize(320, 320);
        dial = new CalmCountdownDial(window->contentItem());
        dial->setSize(QSizeF(318, 318));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        window.reset();
        test::QvTest::TearDown();
    }
    std::unique_ptr<QQuickWindow> window;
    CalmCountdownDial *dial = nullptr;
};

TEST_F(CalmCountdownDialItemTest, TheFrameClockRunsOnlyWhileActiveOrMoving)
{
    EXPECT_FALSE(dial->frameClockRunning());
    window->grabWindow();
    const int painted = dial->paintCount();
    EXPECT_GT(painted, 0);
    advance(1000);
    window->grabWindow();
    EXPECT_EQ(dial->paintCount(), painted); // an inactive dial does not repaint

    dial->setActive(true);
    EXPECT_TRUE(dial->frameClockRunning());
    window->grabWindow();
    const int activePainted = dial->paintCount();
    advance(1000);
    window->grabWindow();
    EXPECT_GT(dial->paintCount(), activePainted);

    // Off again: the ring still moves to its new place over 0.4 s, then the clock stops.
    dial->setActive(false);
    dial->setProgress(0.5);
    EXPECT_TRUE(dial->frameClockRunning());
    advance(CalmCountdownDial::kProgressAnimationMs + 2 * CalmCountdownDial::kFrameIntervalMs);
    EXPECT_FALSE(dial->frameClockRunning());

    // Hidden, an active dial stops too.
    dial->setActive(true);
    window->hide();
    EXPECT_FALSE(dial->frameClockRunning());
}

// Active, the dial paints when the turning gradient has changed visibly, not on every
// frame: no colour on the ring lags more than a check's worth behind, and a second holds
// far fewer paints than display frames.
TEST_F(CalmCountdownDialItemTest, TheTurningRingIsPaintedAsOftenAsItVisiblyChanges)
{
    dial->setProgress(0.3);
    dial->setActive(true);
    advance(CalmCountdownDial::kProgressAnimationMs + 100);
    window->grabWindow();
    const auto now = [] { return json::secondsSinceReferenceDate(scheduler().now()); };
    double paintedT = now();
    int paints = 0;
    double largestLag = 0;
    for (int step = 0; step < 14000 / int(CalmCountdownDial::kFrameIntervalMs); ++step) {
        const int before = dial->paintCount();
        advance(CalmCountdownDial::kFrameIntervalMs);
        window->grabWindow();
        if (dial->paintCount() != before) {
            ++paints;
            paintedT = now();
        }
        largestLag = std::max(largestLag, CalmCountdownDial::ringChange(paintedT, now()));
    }
    // One full turn of the gradient.
    EXPECT_LT(largestLag, 2 * CalmCountdownDial::kVisibleLevels);
    EXPECT_GT(paints, 14);
    EXPECT_LE(paints, 14 * 1000 / int(CalmCountdownDial::kCheckIntervalMs));
}

// A new second's small step of the ring is drawn in a frame or two; a long move runs at
// the display's rate; the time's new digits are painted at once.
TEST_F(CalmCountdownDialItemTest, TheRingsMoveIsPaintedAsFastAsItTravels)
{
    const auto paintsDuring = [this](qint64 ms) {
        const int before = dial->paintCount();
        for (qint64 t = 0; t < ms; t += CalmCountdownDial::kFrameIntervalMs) {
            advance(CalmCountdownDial::kFrameIntervalMs);
            window->grabWindow();
        }
        return dial->paintCount() - before;
    };
    window->grabWindow();
    dial->setProgress(1.0 / 1200);
    EXPECT_LE(paintsDuring(CalmCountdownDial::kProgressAnimationMs + 100), 3);
    EXPECT_FALSE(dial->frameClockRunning());
    dial->setProgress(0.5);
    EXPECT_GE(paintsDuring(CalmCountdownDial::kProgressAnimationMs + 100), 20);
    window->grabWindow();
    const int before = dial->paintCount();
    dial->setTimeText(QStringLiteral("19:59"));
    window->grabWindow();
    EXPECT_EQ(dial->paintCount(), before + 1);
}

// The ring, laid over the rest in tiles by the window, looks as the dial painted whole:
// disc, ticks, track, glow and the ring with its gradient.
TEST_F(CalmCountdownDialItemTest, TheRingInTilesLooksAsTheDialPaintedWhole)
{
    dial->setProgress(0.37);
    advance(CalmCountdownDial::kProgressAnimationMs + 100);
    dial->setTimeText(QStringLiteral("12:34"));
    dial->setActive(true);
    const QImage shown = window->grabWindow().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage whole(shown.size(), QImage::Format_ARGB32_Premultiplied);
    whole.fill(window->color());
    {
        QPainter p(&whole);
        CalmCountdownDial::Painter painter;
        painter.paint(p, dial->size(), 1,
                      {.progress = 0.37, .timeText = "12:34", .active = true,
                       .t = json::secondsSinceReferenceDate(scheduler().now())});
    }
    // Outside the time (whose text the item's own painting renders with its own gamma).
    int largest = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            if (std::hypot(x + 0.5 - 159, y + 0.5 - 159) < 110)
                continue;
            const QRgb a = shown.pixel(x, y), b = whole.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(largest, 1);
}

} // namespace

