#include "design/Design.h"
#include "design/GuidedTour.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"
#include "support/ViewTexts.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>

using namespace qv;

namespace {

class GuidedTourTest : public test::QvTest {
protected:
    std::unique_ptr<GuidedTour> makeTour()
    {
        return std::make_unique<GuidedTour>(
            QList<GuidedTourStep>{{"first", "eye", "One", "First step."},
                                  {"second", "sparkles", "Two", "Second step."},
                                  {"third", "gearshape", "Three", "Third step."}},
            "pageGuideCompleted", "pageGuide-");
    }
};

// Where each move leads from each place, and which anchor it scrolls to.
TEST_F(GuidedTourTest, MovesFromEveryPlace)
{
    enum Move { Open, Next, Previous, SelectSecond, Finish };
    struct Case {
        const char *from; // "" closed
        Move move;
        const char *to;
        const char *scrolledTo; // "" none
        bool completed;
    } cases[] = {
        {"", Open, "first", "pageGuide-first", false},
        {"second", Open, "second", "pageGuide-second", false},
        {"first", Next, "second", "pageGuide-second", false},
        {"second", Next, "third", "pageGuide-third", false},
        {"third", Next, "", "", true},   // "Finish"
        {"", Next, "", "", true},        // nothing open: finishes
        {"first", Previous, "first", "", false}, // nothing before the first
        {"third", Previous, "second", "pageGuide-second", false},
        {"", Previous, "", "", false},
        {"second", SelectSecond, "second", "pageGuide-second", false}, // scrolls again
        {"first", Finish, "", "", true}, // the close button
    };
    for (const Case &c : cases) {
        defaults->remove("pageGuideCompleted");
        auto tour = makeTour();
        if (*c.from)
            tour->select(c.from);
        QSignalSpy scrolls(tour.get(), &GuidedTour::scrollRequested);
        switch (c.move) {
        case Open: tour->open(); break;
        case Next: tour->next(); break;
        case Previous: tour->previous(); break;
        case SelectSecond: tour->select("second"); break;
        case Finish: tour->finish(); break;
        }
        const QString what = QStringLiteral("%1 move %2").arg(c.from).arg(int(c.move));
        EXPECT_EQ(tour->currentStep(), c.to) << qPrintable(what);
        EXPECT_EQ(tour->isOpen(), *c.to != 0) << qPrintable(what);
        if (*c.scrolledTo) {
            ASSERT_EQ(scrolls.size(), 1) << qPrintable(what);
            EXPECT_EQ(scrolls[0][0].toString(), c.scrolledTo) << qPrintable(what);
        } else {
            EXPECT_EQ(scrolls.size(), 0) << qPrintable(what);
        }
        EXPECT_EQ(tour->completed(), c.completed) << qPrintable(what);
        EXPECT_EQ(defaults->object("pageGuideCompleted").isValid(), c.completed) << qPrintable(what);
    }
}

TEST_F(GuidedTourTest, TextsFollowTheCurrentStep)
{
    auto tour = makeTour();
    EXPECT_EQ(tour->positionText(), "");
    EXPECT_EQ(tour->currentTitle(), "");
    const struct {
        const char *step;
        const char *position;
        const char *next;
        bool back;
    } rows[] = {{"first", "Step 1 of 3", "Next", false},
                {"second", "Step 2 of 3", "Next", true},
                {"third", "Step 3 of 3", "Finish", true}};
    for (const auto &row : rows) {
        tour->select(row.step);
        EXPECT_EQ(tour->positionText(), row.position);
        EXPECT_EQ(tour->nextLabel(), row.next);
        EXPECT_EQ(tour->canGoBack(), row.back);
        EXPECT_EQ(tour->changeDuration(), 250);
    }
    EXPECT_EQ(tour->currentTitle(), "Three");
    EXPECT_EQ(tour->currentSymbol(), "gearshape");
    tour->finish();
    EXPECT_EQ(tour->changeDuration(), 200);
    EXPECT_EQ(tour->stepAfter("third"), "");
    EXPECT_EQ(tour->stepBefore("first"), "");
    EXPECT_EQ(tour->stepAfter("nope"), "");
    tour->select("nope"); // an unknown step opens nothing
    EXPECT_FALSE(tour->isOpen());
    test::expectViewTexts(*tour, {{"backLabel", "Back"}, {"closeLabel", "Close guide"}});
}

// The flag only goes from false to true; the tour opens again at the first step, and a
// tour closed with its page stores nothing.
TEST_F(GuidedTourTest, CompletionIsStoredOnceAndDoesNotStopReopening)
{
    auto tour = makeTour();
    QSignalSpy completed(tour.get(), &GuidedTour::completedChanged);
    tour->select("third");
    tour->close();
    EXPECT_FALSE(tour->completed());
    tour->open();
    EXPECT_EQ(tour->currentStep(), "first");
    tour->finish();
    EXPECT_TRUE(defaults->boolForKey("pageGuideCompleted"));
    EXPECT_EQ(completed.size(), 1);
    tour->open();
    EXPECT_EQ(tour->currentStep(), "first");
    tour->finish();
    EXPECT_EQ(completed.size(), 1);
    // Another tour on the same key reads it; a stored value of another type reads false.
    EXPECT_TRUE(makeTour()->completed());
    defaults->setString("pageGuideCompleted", "yes");
    EXPECT_FALSE(makeTour()->completed());
}

// The shared pieces load without warnings; the pop-up follows its tour and its buttons
// drive it.
TEST_F(GuidedTourTest, PopupPiecesDriveTheTour)
{
    auto tour = makeTour();
    QQmlEngine engine;
    design::prepareEngine(engine);
    engine.rootContext()->setContextProperty("testTour", tour.get());
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Quellvista.Design\nColumn { width: 600\n"
                      "  GuideButton { accessibleName: 'Open guide' }\n"
                      "  GuidedHighlight { objectName: 'block'; width: 600; tour: testTour; step: 'second'\n"
                      "    Rectangle { width: parent.width; height: 200 } } }\n",
                      QUrl("qrc:/test/Tour.qml"));
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << qPrintable(component.errorString());
    auto *block = root->findChild<QQuickItem *>("block");
    ASSERT_TRUE(block);
    EXPECT_FALSE(block->property("current").toBool());
    EXPECT_EQ(block->height(), 200);

    tour->select("second");
    EXPECT_TRUE(block->property("current").toBool());
    EXPECT_EQ(block->z(), 20); // drawn above the other blocks
    auto find = [&](const char *name) { return test::findItem(block, name); };
    ASSERT_TRUE(find("guideNext"));
    EXPECT_EQ(find("guidePosition")->property("text").toString(), "Step 2 of 3");
    EXPECT_FALSE(find("guidePopup-second")->property("showsCompletedMark").toBool());

    QMetaObject::invokeMethod(find("guideBack"), "clicked");
    EXPECT_EQ(tour->currentStep(), "first");
    EXPECT_FALSE(block->property("current").toBool());
    tour->select("second");
    QMetaObject::invokeMethod(find("guideDot-third"), "clicked");
    EXPECT_EQ(tour->currentStep(), "third");
    tour->select("second");
    QMetaObject::invokeMethod(find("guideCloseButton"), "clicked");
    EXPECT_FALSE(tour->isOpen());
    EXPECT_TRUE(tour->completed());
    tour->select("second");
    EXPECT_TRUE(find("guidePopup-second")->property("showsCompletedMark").toBool());
    // The pop-up keeps its own step's texts while the tour is elsewhere.
    tour->select("first");
    EXPECT_EQ(find("guidePosition")->property("text").toString(), "Step 2 of 3");
    EXPECT_EQ(find("guideNext")->property("text").toString(), "Next");
    QStringList warnings;
    for (const test::LogEntry &entry : logs->entries())
        if (entry.type != QtDebugMsg && entry.type != QtInfoMsg)
            warnings << entry.message;
    EXPECT_EQ(warnings, QStringList());
}

// Once the tour was finished, the checkmark stands 6 pt after the title's last letter, not
// over at the close button.
TEST_F(GuidedTourTest, TheCompletionMarkFollowsTheTitle)
{
    auto tour = makeTour();
    tour->finish();
    ASSERT_TRUE(tour->completed());
    QQmlEngine engine;
    design::prepareEngine(engine);
    engine.rootContext()->setContextProperty("testTour", tour.get());
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Quellvista.Design\nWindow { width: 700; height: 500; visible: true\n"
                      "  GuidedPopup { objectName: 'popup'; tour: testTour; step: 'second' } }\n",
                      QUrl("qrc:/test/Popup.qml"));
    std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow *>(component.create()));
    ASSERT_TRUE(window) << qPrintable(component.errorString());
    window->grabWindow();
    QQuickItem *popup = test::findItem(window->contentItem(), "popup");
    QQuickItem *title = test::findItem(popup, "guideTitle");
    QQuickItem *mark = test::findItem(popup, "guideCompletedMark");
    QQuickItem *close = test::findItem(popup, "guideCloseButton");
    ASSERT_TRUE(title && mark && close);
    EXPECT_TRUE(mark->isVisible());
    const qreal titleEnd = title->mapToItem(popup, QPointF(title->property("contentWidth").toReal(), 0)).x();
    const qreal markStart = mark->mapToItem(popup, QPointF(0, 0)).x();
    EXPECT_NEAR(markStart - titleEnd, 6, 1);
    EXPECT_GT(close->mapToItem(popup, QPointF(0, 0)).x() - (markStart + mark->width()), 100);
}

} // namespace

// The pop-up goes beside its block and never over it: under it while there is room, else
// above, else to a side; along the block, its trailing edge 12 points inside the block's.
TEST(GuidedTourPlacement, PopUpsGoBesideTheirBlock)
{
    using Side = GuidedTour::PopupSide;
    const QSizeF popup(330, 180);
    const QRectF page(0, 0, 800, 700);
    const struct {
        const char *name;
        QRectF block;
        QPointF position;
        Side side;
    } cases[] = {
        {"room under", {0, 100, 800, 300}, {800 - 12 - 330, 300 + 14}, Side::below},
        {"last block", {0, 400, 800, 290}, {800 - 12 - 330, -14 - 180}, Side::above},
        {"narrow block on the right", {500, 80, 300, 600}, {-14 - 330, 12}, Side::left},
        {"narrow block on the left", {0, 80, 300, 600}, {300 + 14, 12}, Side::right},
        {"no room anywhere", {0, 0, 800, 700}, {800 - 12 - 330, 700 + 14}, Side::below},
        // Kept inside the page across: a block narrower than the pop-up at the left edge.
        {"small block", {10, 10, 100, 40}, {-10, 40 + 14}, Side::below},
    };
    for (const auto &c : cases) {
        const GuidedTour::PopupPlacement placed = GuidedTour::placePopup(c.block, popup, page);
        EXPECT_EQ(placed.side, c.side) << c.name;
        EXPECT_EQ(placed.position, c.position) << c.name;
        // Never over the block.
        EXPECT_FALSE(QRectF(c.block.topLeft() + placed.position, popup).intersects(c.block)) << c.name;
    }
}
