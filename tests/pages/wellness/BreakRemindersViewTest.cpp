#include "app/AppEngine.h"
#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "pages/wellness/BreakProgressModel.h"
#include "pages/wellness/BreakRemindersModel.h"
#include "render/ViewRenderer.h"
#include "support/TestEnvironment.h"
#include "wellness/BreakReminder.h"
#include "wellness/SessionHistory.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QSGRendererInterface>

#include <functional>

using namespace qv;

namespace {

// The page in a window of the main window's page area, with warnings recorded.
class BreakRemindersViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    void TearDown() override
    {
        page.reset();
        window.reset();
        engine.reset();
        test::QvTest::TearDown();
    }

    // give fills the engine's page services (none given: the page shown on its own).
    void load(const std::function<void(PageServices &)> &give = {})
    {
        engine = std::make_unique<QQmlEngine>();
        prepareAppEngine(*engine);
        if (give)
            give(PageServices::of(*engine));
        QQmlComponent component(engine.get());
        component.setData("import QtQuick\nimport Quellvista.Pages.Wellness\nBreakRemindersPage {}\n",
                          QUrl("qrc:/test/BreakPage.qml"));
        page.reset(qobject_cast<QQuickItem *>(component.create()));
        ASSERT_TRUE(page) << qPrintable(component.errorString());
        window = std::make_unique<QQuickWindow>();
        window->resize(868, 760);
        page->setParentItem(window->contentItem());
        page->setSize(QSizeF(868, 760));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->grabWindow();
    }
    BreakRemindersModel *model() const { return page->property("model").value<BreakRemindersModel *>(); }
    BreakReminder *reminder() const { return model()->reminder(); }
    QQuickItem *find(const char *name) const { return page->findChild<QQuickItem *>(name); }
    QRectF rectIn(QQuickItem *item, QQuickItem *ancestor) const
    {
        return item->mapRectToItem(ancestor, QRectF(0, 0, item->width(), item->height()));
    }

    test::WarningRecorder warnings;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<QQuickItem> page;
};

TEST_F(BreakRemindersViewTest, EveryStateDrawsWithoutWarningsInBothAppearances)
{
    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        defaults->setInteger("workIntervalMinutes", 25);
        defaults->setInteger("breakDurationSeconds", 90);
        load();
        EXPECT_EQ(find("phaseTitle")->property("text"), "Timer paused");
        reminder()->setIsEnabled(true);
        for (int i = 0; i < 40; ++i)
            model()->snoozeFiveMinutes();
        window->grabWindow();
        EXPECT_EQ(find("dial")->property("timeText"), "225:00");
        EXPECT_EQ(find("rhythm")->property("text"), "25 min rhythm");
        reminder()->startBreak();
        window->grabWindow();
        EXPECT_EQ(find("phaseTitle")->property("text"), "Break in progress");
        model()->tour()->open();
        window->grabWindow();
        EXPECT_EQ(find("breakGuide-timer")->z(), 20);
        EXPECT_TRUE(find("guidePopupLoader")->property("active").toBool());
        model()->tour()->select("progress");
        window->grabWindow();
        EXPECT_EQ(find("breakGuide-timer")->z(), 0);
        model()->tour()->finish();
        reminder()->setIsEnabled(false);
        window->grabWindow();
        EXPECT_EQ(warnings.warnings(), QStringList()) << appearance;
        page.reset();
        window.reset();
    }
}

// The page's models follow the reminder and the history its engine was given; without
// them the page has a reminder of its own.
TEST_F(BreakRemindersViewTest, ThePageFollowsTheServicesOfItsEngine)
{
    BreakReminder given;
    SessionHistory history;
    load([&](PageServices &services) {
        services.breakReminder = &given;
        services.history = &history;
    });
    auto progress = [this] { return page->property("progress").value<BreakProgressModel *>(); };
    ASSERT_TRUE(progress());
    EXPECT_EQ(reminder(), &given);
    EXPECT_EQ(progress()->reminder(), &given);
    history.recordBreakTaken(20);
    EXPECT_EQ(progress()->tiles().first().toMap().value("value"), "1");

    page.reset();
    load();
    EXPECT_TRUE(reminder());
    EXPECT_NE(reminder(), &given);
    EXPECT_EQ(progress()->reminder(), reminder());
}

TEST_F(BreakRemindersViewTest, TheWeekChartAndMarksStayInsideTheirTiles)
{
    // A locale with long narrow weekday names.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Vietnamese, QLocale::Vietnam)); // "T2" ... "CN"
    load();
    QLocale::setDefault(previous);
    const auto *progress = page->property("progress").value<BreakProgressModel *>();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->weekMarks().first().toMap().value("label").toString().size(), 2);
    for (const char *name : {"weekChart", "weekMarks", "breaksRing"}) {
        QQuickItem *item = find(name);
        ASSERT_TRUE(item) << name;
        QQuickItem *tile = item;
        while (tile && tile->objectName() != "progressTile")
            tile = tile->parentItem();
        ASSERT_TRUE(tile) << name;
        const QRectF inTile = rectIn(item, tile);
        EXPECT_TRUE(QRectF(0, 0, tile->width(), tile->height()).contains(inTile)) << name;
        for (QQuickItem *child : item->childItems())
            for (QQuickItem *part : child->childItems()) {
                const QRectF r = rectIn(part, tile);
                EXPECT_GE(r.left(), 0) << name;
                EXPECT_LE(r.right(), tile->width()) << name;
            }
    }
    // The seven bars sit side by side inside the chart.
    QQuickItem *chart = find("weekChart");
    const QList<QQuickItem *> bars = chart->childItems().first()->childItems();
    int drawn = 0;
    for (QQuickItem *bar : bars) {
        if (!bar->inherits("QQuickRectangle"))
            continue;
        ++drawn;
        const QRectF r = rectIn(bar, chart);
        EXPECT_GE(r.left(), 0);
        EXPECT_LE(r.right(), chart->width());
        EXPECT_EQ(r.height(), 5);
    }
    EXPECT_EQ(drawn, 7);
    EXPECT_EQ(warnings.warnings(), QStringList());
}

// Each tile's value keeps at least 20 pt from its ring or chart; the week-mark letters are
// drawn whole, at one size.
TEST_F(BreakRemindersViewTest, ValuesKeepTheirDistanceAndWeekLettersKeepTheirSize)
{
    for (const QLocale &locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Vietnamese)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QLocale previous;
        QLocale::setDefault(locale);
        load();
        QLocale::setDefault(previous);
        int tiles = 0;
        for (QQuickItem *tile : page->findChildren<QQuickItem *>("progressTile")) {
            ++tiles;
            QQuickItem *value = tile->findChild<QQuickItem *>("tileValue");
            QQuickItem *accessory = tile->findChild<QQuickItem *>("tileAccessory");
            ASSERT_TRUE(value && accessory);
            EXPECT_GE(rectIn(accessory, tile).left() - rectIn(value, tile).right(), 20 - 0.01);
        }
        EXPECT_EQ(tiles, 4);
        QList<QQuickItem *> labels;
        std::function<void(QQuickItem *)> collect = [&](QQuickItem *item) {
            for (QQuickItem *child : item->childItems()) {
                if (child->objectName() == "weekMarkLabel")
                    labels << child;
                collect(child);
            }
        };
        collect(find("weekMarks"));
        ASSERT_EQ(labels.size(), 7);
        for (QQuickItem *label : labels) {
            EXPECT_EQ(label->property("font").value<QFont>().pixelSize(), Theme::captionRegular().pixelSize());
            EXPECT_EQ(label->property("fontSizeMode").toInt(), 0); // fixed size
            EXPECT_LE(label->property("contentWidth").toReal(), label->width() + 0.01);
            EXPECT_FALSE(label->clip());
        }
        EXPECT_EQ(warnings.warnings(), QStringList());
        page.reset();
        window.reset();
    }
}

TEST_F(BreakRemindersViewTest, TheSwitchTurnsRemindersOnAndOff)
{
    load();
    QQuickItem *button = find("remindersSwitch");
    ASSERT_TRUE(button);
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_TRUE(reminder()->isEnabled());
    EXPECT_EQ(find("phaseTitle")->property("text"), "Next break");
    EXPECT_TRUE(find("dial")->property("frameClockRunning").toBool());
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_FALSE(reminder()->isEnabled());
    EXPECT_EQ(find("dial")->property("timeText"), "--:--");
    EXPECT_FALSE(find("dial")->property("active").toBool());
}

// The header's guide button carries the same help as the other pages' guide buttons.
TEST_F(BreakRemindersViewTest, TheGuideButtonHasItsNameAndHelp)
{
    load();
    QQuickItem *guide = find("guideButton");
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->property("accessibleName"), "Open Break Reminders guide");
    QObject *help = guide->findChild<QObject *>("guideHelp");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->property("text"), "Guide");
}

} // namespace
