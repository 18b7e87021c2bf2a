#include "pages/support/SupportPageModel.h"
#include "pages/support/TopicIllustration.h"

#include "app/AppEngine.h"
#include "app/AppUpdater.h"
#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "render/ViewRenderer.h"
#include "runtime/Files.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

using namespace qv;

namespace {

class SupportPageViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        // Nothing on the test's desktop can show the file.
        setFileRevealer([](const QString &, const std::function<void()> &notShown) { notShown(); });
    }
    void TearDown() override
    {
        setFileRevealer({});
        test::QvTest::TearDown();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    // Items of a type in the visual tree under root that are shown.
    template <typename T>
    static QList<T *> visibleItems(QQuickItem *root)
    {
        QList<T *> found;
        for (QQuickItem *child : root->childItems()) {
            if (!child->isVisible())
                continue;
            if (auto *item = qobject_cast<T *>(child))
                found << item;
            found << visibleItems<T>(child);
        }
        return found;
    }
};

// The updates card follows the updater the engine was given, and has none without.
TEST_F(SupportPageViewTest, TheUpdatesCardFollowsTheUpdaterOfItsEngine)
{
    AppUpdater updater;
    for (bool given : {false, true}) {
        QQmlEngine engine;
        prepareAppEngine(engine);
        if (given)
            PageServices::of(engine).updater = &updater;
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Quellvista/Support/qml/SupportPage.qml")));
        std::unique_ptr<QObject> root(component.create());
        ASSERT_TRUE(root) << qPrintable(component.errorString());
        auto *model = root->findChild<SupportPageModel *>();
        ASSERT_TRUE(model);
        EXPECT_EQ(model->updateButtonEnabled(), given);
    }
}

// Every state of the page shows without a warning, in both appearances: the notes open,
// each topic open in turn, the composer open, and its error line after a failed save.
TEST_F(SupportPageViewTest, EveryStateShowsWithoutAWarning)
{
    for (const char *appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        QFile::remove(files::applicationSupportDirectory() + QStringLiteral("/feedback.json"));
        restart();
        defaults->setString("appAppearanceMode", appearance);
        test::WarningRecorder recorder;
        QQmlEngine engine;
        prepareAppEngine(engine);
        QQuickWindow window;
        window.resize(1100, 900);
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Quellvista/Support/qml/SupportPage.qml")));
        std::unique_ptr<QObject> root(component.create());
        auto *page = qobject_cast<QQuickItem *>(root.get());
        ASSERT_TRUE(page) << qPrintable(component.errorString());
        page->setParentItem(window.contentItem());
        page->setSize(QSizeF(1100, 900));
        window.show();
        settle();
        auto *model = root->findChild<SupportPageModel *>();
        ASSERT_TRUE(model);

        EXPECT_TRUE(visibleItems<TopicIllustrationItem>(page).isEmpty());
        model->toggleDisplayNotes();
        for (int topic = 0; topic < 6; ++topic) {
            model->toggleTopic(topic);
            settle();
            // The list fades in on the animation clock.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !visibleItems<TopicIllustrationItem>(page).isEmpty(); }, 3000));
            const auto drawings = visibleItems<TopicIllustrationItem>(page);
            ASSERT_EQ(drawings.size(), 1) << topic; // one topic open at a time
            EXPECT_EQ(drawings[0]->kind(), topic);
            EXPECT_EQ(drawings[0]->size(), QSizeF(300, 200));
        }

        model->leaveComment();
        settle();
        auto *composer = root->findChild<FeedbackComposerModel *>();
        ASSERT_TRUE(composer);
        composer->setComment(QStringLiteral("<b>not bold</b>"));
        QDir().mkpath(files::applicationSupportDirectory() + QStringLiteral("/feedback.json"));
        EXPECT_FALSE(composer->save());
        settle();
        QDir().rmdir(files::applicationSupportDirectory() + QStringLiteral("/feedback.json"));
        EXPECT_TRUE(composer->save());
        settle();
        EXPECT_EQ(root->findChild<FeedbackComposerModel *>(), nullptr);
        EXPECT_EQ(model->savedCountText(), "1 saved");
        model->revealFeedbackFile();
        settle();
        EXPECT_NE(model->revealNotice(), QString());
        window.close();
        // The store's own log lines aside, nothing may warn.
        EXPECT_EQ(recorder.warnings().filter(QStringLiteral("qml")), QStringList());
    }
}

} // namespace

// In a window smaller than the composer (296 x 180, a tile of a tiling window manager) the
// composer scrolls: the comment field it opens on is in sight, and so is every control Tab
// reaches in it, Cancel and Save among them.
TEST_F(SupportPageViewTest, TheComposerScrollsToItsFocusedControlInASmallWindow)
{
    QQmlEngine engine;
    prepareAppEngine(engine);
    QQuickWindow window;
    window.resize(296, 180);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Quellvista/Support/qml/SupportPage.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *page = qobject_cast<QQuickItem *>(root.get());
    ASSERT_TRUE(page) << qPrintable(component.errorString());
    page->setParentItem(window.contentItem());
    page->setSize(QSizeF(296, 180));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    root->findChild<SupportPageModel *>()->leaveComment();
    settle();
    root->findChild<FeedbackComposerModel *>()->setComment(QStringLiteral("Too bright at night"));
    // Wholly, or 200 pixels of it each way for a field wider than the window.
    const auto inSight = [&](QQuickItem *item) {
        const QRectF rect = item ? item->mapRectToScene(QRectF(0, 0, item->width(), item->height())) : QRectF();
        const QRectF shown = rect.intersected(QRectF(0, 0, 296, 180));
        return !rect.isEmpty() && shown.width() >= std::min<qreal>(rect.width(), 200) &&
               shown.height() >= std::min<qreal>(rect.height(), 200);
    };
    QStringList reached{window.activeFocusItem() ? window.activeFocusItem()->objectName() : QString()};
    EXPECT_EQ(reached.first(), "commentEditor");
    EXPECT_TRUE(inSight(window.activeFocusItem()));
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(&window, Qt::Key_Tab);
        settle();
        reached << window.activeFocusItem()->objectName();
        EXPECT_TRUE(inSight(window.activeFocusItem())) << reached.last().toStdString();
    }
    EXPECT_TRUE(reached.contains("cancelButton") && reached.contains("saveButton")) << reached.join(' ').toStdString();
    window.close();
}
