#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/MenuBarPopoverModel.h"
#include "app/QuellvistaApp.h"
#include "comfort/PresetManager.h"
#include "platform/desktop/QtPanels.h"
#include "wellness/BreakReminder.h"
#include "render/ViewRenderer.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QKeyEvent>
#include <QSGRendererInterface>
#include <QScreen>
#include <QTest>

using namespace qv;

namespace {

class AppScenesViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    int launchSetups() const { return logs->count("Shortcuts", "Global shortcuts registered"); }
};

// Closing the main window keeps everything running; opening it again (from the
// pop-over) builds its content afresh and applies the appearance, but runs the launch
// setup no second time.
TEST_F(AppScenesViewTest, TheMainWindowClosesAndOpensAgainWithoutASecondLaunch)
{
    test::WarningRecorder warnings;
    QuellvistaApp app;
    {
        QQmlEngine engine;
        prepareAppEngine(engine);
        AppScenes scenes(app, engine);
        ASSERT_TRUE(scenes.load(false));
        QCoreApplication::processEvents(); // the window is shown on the next turn
        QQuickWindow *main = scenes.mainWindow();
        ASSERT_TRUE(main && scenes.popoverWindow());
        EXPECT_FALSE(scenes.popoverWindow()->isVisible());
        EXPECT_EQ(scenes.popoverWindow()->width(), 300);
        runPending();
        EXPECT_EQ(launchSetups(), 1);
        EXPECT_TRUE(app.launchSetupDone());

        QQuickItem *loader = test::findItem(main->contentItem(), "content");
        ASSERT_TRUE(loader);
        EXPECT_TRUE(qvariant_cast<QQuickItem *>(loader->property("item")));
        main->close();
        QCoreApplication::processEvents();
        EXPECT_FALSE(main->isVisible());
        EXPECT_FALSE(qvariant_cast<QQuickItem *>(loader->property("item"))) << "the content goes with the window";

        defaults->setString("appAppearanceMode", "dark");
        auto *popover = scenes.popoverWindow()->findChild<MenuBarPopoverModel *>();
        ASSERT_TRUE(popover);
        popover->openMainWindow();
        QCoreApplication::processEvents();
        runPending();
        EXPECT_TRUE(main->isVisible());
        EXPECT_TRUE(qvariant_cast<QQuickItem *>(loader->property("item"))) << "and comes back afresh";
        EXPECT_EQ(launchSetups(), 1) << "the launch setup runs once per process";
        EXPECT_EQ(app.applicationAppearance(), "NSAppearanceNameDarkAqua");
        EXPECT_FALSE(scenes.popoverWindow()->isVisible());
        main->close();
    }
    EXPECT_EQ(warnings.warnings(), QStringList()) << qPrintable(warnings.warnings().join(u'\n'));
}

// The pop-over's window is made at start and first shown much later: everything that
// changes its favourite rows before then (a hot key, a favourite card in the main window,
// the appearance switch) rebuilds them in a window that was never shown. Its first
// opening then shows every row, at the height they take, inside the screen.
TEST_F(AppScenesViewTest, ThePopoverOpensAfterItsRowsChangedBeforeItWasEverShown)
{
    test::WarningRecorder warnings;
    QuellvistaApp app;
    PresetManager &presets = app.presets();
    const QList<ComfortPreset> favourites = presets.menuBarPresets();
    ASSERT_GE(favourites.size(), 3);
    for (qsizetype i = 1; i < favourites.size(); ++i)
        presets.toggleFavorite(favourites[i]);
    {
        QQmlEngine engine;
        prepareAppEngine(engine);
        AppScenes scenes(app, engine);
        ASSERT_TRUE(scenes.load(false));
        QCoreApplication::processEvents();
        QQuickWindow *popover = scenes.popoverWindow();
        const int heightBefore = popover->height();

        presets.applyPreset(ComfortPreset::evening, false);
        for (qsizetype i = 1; i < favourites.size(); ++i)
            presets.toggleFavorite(favourites[i]);
        presets.applyPreset(ComfortPreset::reading, false);
        defaults->setString("appAppearanceMode", "dark");
        app.applyAppAppearance();
        QCoreApplication::processEvents();
        runPending();

        // Opened by an icon at the bottom right: above it, all of it on the screen, at the
        // height of every row.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect icon(area.right() - 40, area.bottom() - 24, 24, 24);
        scenes.togglePopover(icon);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
        auto *model = popover->findChild<MenuBarPopoverModel *>();
        ASSERT_TRUE(model);
        QQuickItem *rows = test::findItem(popover->contentItem(), "favoriteRows");
        ASSERT_TRUE(rows);
        EXPECT_TRUE(QTest::qWaitFor([&] { return popover->height() > heightBefore; })) << "more rows";
        QCoreApplication::processEvents();
        EXPECT_EQ(rows->childItems().size() - 1, favourites.size()) << "the rows and their repeater";
        EXPECT_EQ(rows->height(), model->favoritesHeight());
        EXPECT_LE(popover->geometry().bottom(), icon.top()) << "it covers the icon";
        EXPECT_GE(popover->y(), area.top());

        // Escape closes it.
        QTest::keyClick(popover, Qt::Key_Escape);
        EXPECT_FALSE(popover->isVisible());
        scenes.mainWindow()->close();
    }
    EXPECT_EQ(warnings.warnings(), QStringList()) << qPrintable(warnings.warnings().join(u'\n'));
}

// A break begun while the pop-over has the keyboard: the pop-over stays open under the
// panel that takes the keyboard, and has it again after Skip (not the main window, whose
// focused control might act on the next key).
TEST_F(AppScenesViewTest, ThePopoverThatHadTheKeyboardAtABreakHasItAfterSkip)
{
    QtPanels windowPanels{[] { return true; }};
    PlatformServices services = mac->services();
    services.panels = &windowPanels;
    installPlatform(services);
    QuellvistaApp app;
    {
        QQmlEngine engine;
        prepareAppEngine(engine);
        AppScenes scenes(app, engine);
        ASSERT_TRUE(scenes.load(false));
        QCoreApplication::processEvents();
        QQuickWindow *popover = scenes.popoverWindow();
        scenes.togglePopover(QRect());
        ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == popover; }));
        app.breakReminder().startBreak();
        const auto panelKeyed = [] {
            return QGuiApplication::focusWindow() && QGuiApplication::focusWindow()->title() == QtPanel::windowTitle();
        };
        ASSERT_TRUE(QTest::qWaitFor(panelKeyed));
        EXPECT_TRUE(popover->isVisible());
        app.breakReminder().endBreak(false);
        runPending();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == popover; }));
        scenes.closePopover();
        scenes.mainWindow()->close();
    }
}

TEST_F(AppScenesViewTest, ThePopoverLoadsWithoutAnyWarningInBothAppearances)
{
    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        defaults->setBool("breakReminderEnabled", std::string(appearance) == "light");
        QuellvistaApp app;
        test::ViewRequest request;
        request.view = QStringLiteral("Quellvista.App/MenuBarPopover");
        request.size = QSize(300, 520);
        const test::RenderResult result = test::renderView(request);
        EXPECT_TRUE(result.error.isEmpty()) << qPrintable(result.error);
        EXPECT_EQ(result.warnings, QStringList()) << appearance;
        EXPECT_FALSE(result.image.isNull());
    }
}

} // namespace
