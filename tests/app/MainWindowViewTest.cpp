#include "design/DesignItems.h"
#include "render/ViewRenderer.h"
#include "support/TestEnvironment.h"

#include "app/AppEngine.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QSGRendererInterface>

using namespace qv;

namespace {

// Views load under the virtual X server (scripts/test); on the offscreen platform, which
// has no OpenGL here, they draw with Qt Quick's software renderer instead.
class MainWindowViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
};

TEST_F(MainWindowViewTest, LoadsWithoutAnyWarningInBothAppearances)
{
    const char *sections[] = {"Display & Comfort", "Blink Detection", "Break Reminders", "Support", "Settings"};
    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        for (const char *section : sections) {
            defaults->setString("mainWindow.selectedSection", section);
            test::ViewRequest request;
            request.view = QStringLiteral("Quellvista.App/MainWindow");
            const test::RenderResult result = test::renderView(request);
            EXPECT_TRUE(result.error.isEmpty()) << qPrintable(result.error);
            EXPECT_EQ(result.warnings, QStringList()) << appearance << " " << section;
            EXPECT_FALSE(result.image.isNull());
        }
    }
}

TEST_F(MainWindowViewTest, TheWindowCannotBeMadeSmallerThan1100By760)
{
    QQmlEngine engine;
    prepareAppEngine(engine);
    QQmlComponent component(&engine, QUrl("qrc:/Quellvista/App/qml/Main.qml"));
    std::unique_ptr<QObject> root(component.create());
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    ASSERT_TRUE(window) << qPrintable(component.errorString());
    EXPECT_EQ(window->minimumSize(), QSize(1100, 760));
    EXPECT_EQ(window->size(), QSize(1100, 760));
    window->close();
}

TEST_F(MainWindowViewTest, SharedControlsLoadWithoutAnyWarning)
{
    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        test::ViewRequest request;
        request.view = QStringLiteral(QV_SOURCE_DIR "/tests/render/views/DesignGallery.qml");
        request.size = QSize(900, 620);
        const test::RenderResult result = test::renderView(request);
        EXPECT_TRUE(result.error.isEmpty()) << qPrintable(result.error);
        EXPECT_EQ(result.warnings, QStringList()) << appearance;
    }
}

TEST_F(MainWindowViewTest, ClosingTheWindowStopsTheDrawing)
{
    QQmlEngine engine;
    prepareAppEngine(engine);
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Quellvista.Design\nItem {\n"
                      "  QuellvistaAppBackdrop { objectName: 'backdrop'; width: 1100; height: 760 }\n"
                      "  QuellvistaLogoMark { objectName: 'logo'; size: 32 }\n}\n",
                      QUrl("qrc:/test/View.qml"));
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << qPrintable(component.errorString());
    auto *backdrop = root->findChild<AppBackdropItem *>("backdrop");
    auto *logo = root->findChild<LogoMarkItem *>("logo");
    ASSERT_TRUE(backdrop && logo);
    EXPECT_FALSE(backdrop->isTicking());

    QQuickWindow window;
    qobject_cast<QQuickItem *>(root.get())->setParentItem(window.contentItem());
    window.resize(1100, 760);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(backdrop->isTicking());
    EXPECT_TRUE(logo->isTicking());

    // A minute of virtual time: the backdrop's slow drift needs a paint every few seconds
    // (each redraws the whole window), the logo more; neither paints on every check.
    QCoreApplication::processEvents();
    const int backdropBefore = backdrop->repaintRequestCount();
    const int logoBefore = logo->repaintRequestCount();
    for (int i = 0; i < 600; ++i) {
        advance(100);
        QCoreApplication::processEvents();
    }
    const int backdropPaints = backdrop->repaintRequestCount() - backdropBefore;
    const int logoPaints = logo->repaintRequestCount() - logoBefore;
    EXPECT_GT(backdropPaints, 5);
    EXPECT_LT(backdropPaints, 60);
    EXPECT_GT(logoPaints, 60);
    EXPECT_LE(logoPaints, 600);

    window.close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(backdrop->isTicking());
    EXPECT_FALSE(logo->isTicking());
    const int backdropClosed = backdrop->repaintRequestCount();
    const int logoClosed = logo->repaintRequestCount();
    for (int i = 0; i < 100; ++i) {
        advance(100);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(backdrop->repaintRequestCount(), backdropClosed);
    EXPECT_EQ(logo->repaintRequestCount(), logoClosed);
}

TEST_F(MainWindowViewTest, AStillLogoDoesNotTick)
{
    QQmlEngine engine;
    prepareAppEngine(engine);
    QQmlComponent component(&engine);
    component.setData("import Quellvista.Design\nQuellvistaLogoMark { size: 32; animated: false }\n",
                      QUrl("qrc:/test/Still.qml"));
    std::unique_ptr<QObject> root(component.create());
    auto *logo = qobject_cast<LogoMarkItem *>(root.get());
    ASSERT_TRUE(logo);
    QQuickWindow window;
    logo->setParentItem(window.contentItem());
    window.show();
    EXPECT_FALSE(logo->isTicking());
    EXPECT_DOUBLE_EQ(logo->currentState().wave, 0.5);
    EXPECT_DOUBLE_EQ(logo->currentState().secondOpacity, 0.0);
}

} // namespace
