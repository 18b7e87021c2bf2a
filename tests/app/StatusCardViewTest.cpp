#include "app/AppEngine.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>

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
};

// A long host name shrinks the line to 86 % at most, then truncates; it never wraps.
TEST_F(StatusCardViewTest, ALongHostNameShrinksThenTruncatesOnOneLine)
{
    struct Case {
        const char *host;
        bool truncated;
        int fittedPixels;
    };
    const Case cases[] = {
        {"Studio", false, 11},
        {"Mira's MacBook Pro 16", false, 10},
        {"Mira's MacBook Pro with a rather long name", true, 10},
    };
    for (const Case &c : cases) {
        mac->setHostName(QString::fromUtf8(c.host));
        QQmlEngine engine;
        prepareAppEngine(engine);
        QQmlComponent component(&engine);
        component.setData("import Quellvista.App\nSidebarSystemStatusCard { width: 208 }\n",
                          QUrl("qrc:/test/Card.qml"));
        std::unique_ptr<QObject> root(component.create());
        auto *card = qobject_cast<QQuickItem *>(root.get());
        ASSERT_TRUE(card) << qPrintable(component.errorString());
        QQuickWindow window;
        card->setParentItem(window.contentItem());
        window.resize(240, 200);
        window.show();
        QCoreApplication::processEvents();

        QQuickItem *line = hostLineOf(card);
        ASSERT_TRUE(line) << c.host;
        EXPECT_EQ(line->property("lineCount").toInt(), 1) << c.host;
        EXPECT_EQ(line->property("truncated").toBool(), c.truncated) << c.host;
        EXPECT_LE(line->property("contentWidth").toReal(), line->width() + 0.5) << c.host;
        const int pixels = line->property("fontInfo").value<QVariantMap>().value("pixelSize").toInt();
        const int fitted = pixels > 0 ? pixels : line->property("font").value<QFont>().pixelSize();
        EXPECT_GE(fitted, 0.86 * 11) << c.host;
        EXPECT_EQ(fitted, c.fittedPixels) << c.host;
        window.close();
    }
}

} // namespace
