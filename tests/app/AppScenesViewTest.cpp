#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/MenuBarPopoverModel.h"
#include "app/QuellvistaApp.h"
#include "render/ViewRenderer.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>

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
