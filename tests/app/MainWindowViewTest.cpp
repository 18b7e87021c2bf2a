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

#include <functional>
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

// Where a control of the window lies out of reach: outside the content of a page that
// holds it (scrolling never brings it into view), or, for the outermost, outside the window.
// Empty when every control Tab stops at can be scrolled into view.
QStringList outOfReach(QQuickItem *item, const QSizeF &window)
{
    QStringList found;
    if (!item->isVisible())
        return found;
    if (item->activeFocusOnTab()) {
        QQuickItem *shown = item;
        QRectF rect(0, 0, item->width(), item->height());
        for (QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
            if (!up->inherits("QQuickFlickable"))
                continue;
            auto *content = up->property("contentItem").value<QQuickItem *>();
            const QRectF within(0, 0, up->property("contentWidth").toReal(), up->property("contentHeight").toReal());
            if (!within.adjusted(-0.5, -0.5, 0.5, 0.5).contains(shown->mapRectToItem(content, rect)))
                found << item->objectName() + " " + item->metaObject()->className() + " in " + up->objectName();
            shown = up;
            rect = QRectF(0, 0, up->width(), up->height());
        }
        if (!QRectF(QPointF(), window).contains(shown->mapRectToScene(rect)))
            found << item->metaObject()->className() + QString(" outside the window");
    }
    for (QQuickItem *child : item->childItems())
        found << outOfReach(child, window);
    return found;
}

// A tiling window manager gives the window far less than its minimum: every control of
// every section stays within reach of the scroll bars (the sidebar, each page and, narrower
// than the sidebar and a page, the window as a whole), and at the minimum nothing scrolls
// across.
TEST_F(MainWindowViewTest, EveryControlStaysWithinReachOfAWindowSmallerThanItsMinimum)
{
    for (const char *section : {"Display & Comfort", "Blink Detection", "Break Reminders", "Support", "Settings"}) {
        defaults->setString("mainWindow.selectedSection", section);
        for (const QSize size : {QSize(636, 1160), QSize(296, 180), QSize(1100, 760)}) {
            QQmlEngine engine;
            prepareAppEngine(engine);
            QQmlComponent component(&engine);
            component.setData("import QtQuick\nimport Quellvista.App\nMainWindow {}", QUrl("qrc:/test/View.qml"));
            std::unique_ptr<QObject> root(component.create());
            auto *view = qobject_cast<QQuickItem *>(root.get());
            ASSERT_TRUE(view) << qPrintable(component.errorString());
            QQuickWindow window;
            view->setParentItem(window.contentItem());
            view->setSize(size);
            window.resize(size);
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            QCoreApplication::processEvents();
            EXPECT_EQ(outOfReach(view, size).join("; ").toStdString(), "")
                << section << " at " << size.width() << "x" << size.height();
            std::function<void(QQuickItem *)> fitsAcross = [&](QQuickItem *item) {
                if (item->inherits("QQuickFlickable") && item->isVisible()) {
                    EXPECT_LE(item->property("contentWidth").toReal(), item->width()) << section;
                }
                for (QQuickItem *child : item->childItems())
                    fitsAcross(child);
            };
            if (size.width() >= 1100)
                fitsAcross(view);
            // The scroll bars across (the window's, the page's) each have a strip of their own.
            QList<QRectF> across;
            std::function<void(QQuickItem *)> bars = [&](QQuickItem *item) {
                if (!item->isVisible())
                    return;
                if (item->inherits("QQuickScrollBar") && item->property("orientation").toInt() == Qt::Horizontal)
                    across << item->mapRectToScene(item->boundingRect()).intersected(QRectF(QPointF(), size));
                for (QQuickItem *child : item->childItems())
                    bars(child);
            };
            bars(view);
            for (qsizetype i = 0; i < across.size(); ++i)
                for (qsizetype j = i + 1; j < across.size(); ++j)
                    EXPECT_FALSE(across[i].intersects(across[j])) << section << " at " << size.width();
            window.close();
        }
    }
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
