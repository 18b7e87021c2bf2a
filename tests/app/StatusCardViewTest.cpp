#include "app/AppEngine.h"
#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "support/TestEnvironment.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <algorithm>

using namespace qv;

namespace {

class StatusCardViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    // The host line's text item of a card as wide as in the sidebar.
    QQuickItem *hostLineOf(QQuickItem *card)
    {
        for (QQuickItem *item : card->findChildren<QQuickItem *>())
            if (item->property("text").toString().contains(QStringLiteral(" \u00B7 ")))
                return item;
        return nullptr;
    }

    // A card as wide as in the sidebar, shown.
    struct ShownCard {
        std::unique_ptr<QQmlEngine> engine = std::make_unique<QQmlEngine>();
        std::unique_ptr<QObject> root;
        QQuickWindow window;
        QQuickItem *card = nullptr;
    };
    void show(ShownCard &shown)
    {
        prepareAppEngine(*shown.engine);
        QQmlComponent component(shown.engine.get());
        component.setData("import Quellvista.App\nSidebarSystemStatusCard { width: 208 }\n",
                          QUrl("qrc:/test/Card.qml"));
        shown.root.reset(component.create());
        shown.card = qobject_cast<QQuickItem *>(shown.root.get());
        ASSERT_TRUE(shown.card) << qPrintable(component.errorString());
        shown.card->setParentItem(shown.window.contentItem());
        shown.window.resize(240, 200);
        shown.window.show();
        QCoreApplication::processEvents();
    }
};

// A long host name shrinks the line to 86 % at most, then truncates; it never wraps.
TEST_F(StatusCardViewTest, ALongHostNameShrinksThenTruncatesOnOneLine)
{
    const QFont caption = Theme::captionRegular();
    const qreal width = 208 - 2 * 16;
    struct Case {
        const char *host;
        qreal naturalOverWidth; // at least this much wider than the line at full size
        bool truncated;
    };
    const Case cases[] = {
        {"Studio", 0, false},
        {"Mira's MacBook Pro 16", 1, false},
        // Fits only below 91 %, above 86 %.
        {"Mira's MacBook Pro 2024", 1 / 0.91, false},
        {"Mira's MacBook Pro with a rather long name", 1 / 0.86, true},
    };
    for (const Case &c : cases) {
        mac->setHostName(QString::fromUtf8(c.host));
        ShownCard shown;
        show(shown);
        QQuickItem *line = hostLineOf(shown.card);
        ASSERT_TRUE(line) << c.host;
        const QString text = line->property("text").toString();
        const qreal natural = QFontMetricsF(caption).horizontalAdvance(text);
        EXPECT_GE(natural / width, c.naturalOverWidth) << c.host;
        const qreal scale = std::clamp(width / natural, 0.86, 1.0);

        EXPECT_EQ(line->property("lineCount").toInt(), 1) << c.host;
        EXPECT_EQ(line->property("truncated").toBool(), c.truncated) << c.host;
        EXPECT_EQ(line->property("font").value<QFont>(), caption) << c.host;
        // As drawn: scaled to fit, never wider than the card's content.
        EXPECT_NEAR(line->scale(), scale, 1e-6) << c.host;
        const QRectF drawn = line->mapRectToItem(shown.card, QRectF(0, 0, line->property("contentWidth").toReal(), 1));
        EXPECT_LE(drawn.right(), 16 + width + 0.01) << c.host;
        if (!c.truncated) {
            EXPECT_NEAR(drawn.width(), std::min(natural, width), 0.01) << c.host;
        }
    }
}

// The host name is read afresh whenever the card is drawn again, not only when its start
// time changes.
TEST_F(StatusCardViewTest, TheHostNameIsReadAgainWhenTheCardIsDrawnAgain)
{
    mac->setHostName(QStringLiteral("Studio"));
    ShownCard shown;
    show(shown);
    QQuickItem *line = hostLineOf(shown.card);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->property("text").toString(), QString::fromUtf8("Studio \u00B7 Supported"));

    mac->setHostName(QStringLiteral("Atelier"));
    DisplayEngine::shared().setPwmThresholdPercent(DisplayEngine::shared().pwmThresholdPercent() + 5);
    EXPECT_EQ(line->property("text").toString(), QString::fromUtf8("Atelier \u00B7 Supported"));

    mac->setHostName(std::nullopt);
    defaults->setString("appAppearanceMode", "dark");
    EXPECT_EQ(line->property("text").toString(), QString::fromUtf8("This Mac \u00B7 Supported"));
}

} // namespace
