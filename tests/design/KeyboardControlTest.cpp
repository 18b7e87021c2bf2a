#include "design/AccessibleValue.h"
#include "design/Design.h"
#include "design/KeyboardControl.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <gtest/gtest.h>

using namespace qv;
using design::sliderValueForKey;

namespace {

// The names assistive technology reaches in a window, walking down from the window.
QStringList treeNames(QAccessibleInterface *node, int depth = 0)
{
    QStringList names;
    if (!node || depth > 50)
        return names;
    names << node->text(QAccessible::Name);
    for (int i = 0; i < node->childCount(); ++i)
        names << treeNames(node->child(i), depth + 1);
    return names;
}

TEST(SliderKeys, MoveByStepsOfTheShownValueWithinTheRange)
{
    struct Case {
        int key;
        double value, from, to, step;
        double expected;
    };
    const Case cases[] = {
        {Qt::Key_Right, 0.0, 0.0, 0.4, 0.004, 0.004},   // black lift: 1 %, not a quarter of the range
        {Qt::Key_Up, 0.65, 0.0, 1.0, 0.01, 0.66},
        {Qt::Key_Left, 0.65, 0.0, 1.0, 0.01, 0.64},
        {Qt::Key_Down, 0.1, 0.1, 1.0, 0.01, 0.1},      // already at the lower end
        {Qt::Key_Right, 0.555, 0.1, 1.0, 0.01, 0.56},  // between steps: to the next one shown
        {Qt::Key_Left, 0.555, 0.1, 1.0, 0.01, 0.55},
        {Qt::Key_PageUp, 0.3, 0.0, 1.4, 0.01, 0.4},
        {Qt::Key_PageDown, 0.05, 0.0, 1.0, 0.01, 0.0}, // clamped
        {Qt::Key_PageUp, 1.35, 0.0, 1.4, 0.01, 1.4},
        {Qt::Key_Home, 0.7, 0.1, 1.0, 0.01, 0.1},
        {Qt::Key_End, 0.7, 0.0, 2.0, 0.01, 2.0},
        {Qt::Key_Right, std::nan(""), 0.0, 1.0, 0.01, 0.01},
    };
    for (const Case &c : cases) {
        const auto value = sliderValueForKey(c.key, c.value, c.from, c.to, c.step);
        ASSERT_TRUE(value) << c.key << " " << c.value;
        EXPECT_NEAR(*value, c.expected, 1e-9) << c.key << " " << c.value;
    }
    EXPECT_FALSE(sliderValueForKey(Qt::Key_A, 0.5, 0, 1, 0.01));
    EXPECT_FALSE(sliderValueForKey(Qt::Key_Right, 0.5, 0, 1, 0));
    EXPECT_FALSE(sliderValueForKey(Qt::Key_Right, 0.5, 0, 1, -0.01));
}

TEST(SliderKeys, APageScrollsJustEnoughToShowTheFocusedControl)
{
    struct Case {
        double contentY, top, bottom, expected;
    };
    // A view 500 high over content 1500 high.
    const Case cases[] = {
        {0, 100, 140, 0},       // in view: stays
        {0, 480, 520, 20},      // below: its bottom comes to the view's bottom
        {300, 100, 140, 100},   // above: its top comes to the view's top
        {0, 1400, 1560, 1000},  // never beyond the end
        {0, 600, 1200, 600},    // taller than the view: its top
        {200, -20, 10, 0},      // never before the start
    };
    for (const Case &c : cases)
        EXPECT_EQ(design::scrollToShow(c.contentY, 500, 1500, c.top, c.bottom), c.expected) << c.top;
    EXPECT_EQ(design::scrollToShow(0, 500, 300, 400, 450), 0) << "content shorter than the view";
}

TEST(SliderKeys, PageKeysScrollAPageWithinItsEnds)
{
    // A view 500 high over content 1500 high: a page is 450.
    EXPECT_EQ(design::scrollForKey(Qt::Key_PageDown, 0, 500, 1500), 450);
    EXPECT_EQ(design::scrollForKey(Qt::Key_PageDown, 800, 500, 1500), 1000) << "never beyond the end";
    EXPECT_EQ(design::scrollForKey(Qt::Key_PageUp, 300, 500, 1500), 0) << "never before the start";
    EXPECT_EQ(design::scrollForKey(Qt::Key_End, 0, 500, 1500), 1000);
    EXPECT_EQ(design::scrollForKey(Qt::Key_Home, 700, 500, 1500), 0);
    EXPECT_EQ(design::scrollForKey(Qt::Key_PageDown, 0, 500, 300), 0) << "content shorter than the view";
    EXPECT_FALSE(design::scrollForKey(Qt::Key_Down, 0, 500, 1500));
}

TEST(SliderKeys, TheContextMenuKeys)
{
    EXPECT_TRUE(design::opensContextMenu(Qt::Key_Menu, Qt::NoModifier));
    EXPECT_TRUE(design::opensContextMenu(Qt::Key_F10, Qt::ShiftModifier));
    EXPECT_FALSE(design::opensContextMenu(Qt::Key_F10, Qt::NoModifier));
    EXPECT_FALSE(design::opensContextMenu(Qt::Key_F10, Qt::ShiftModifier | Qt::ControlModifier));
    EXPECT_FALSE(design::opensContextMenu(Qt::Key_Menu, Qt::AltModifier));
}

class KeyboardViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    QQuickWindow *show(const char *qml)
    {
        design::prepareEngine(engine);
        QQmlComponent component(&engine);
        component.setData(QByteArray("import QtQuick\nimport QtQuick.Window\nimport Quellvista.Design\n") + qml,
                          QUrl("qrc:/test/View.qml"));
        root.reset(component.create());
        auto *window = qobject_cast<QQuickWindow *>(root.get());
        EXPECT_TRUE(window) << qPrintable(component.errorString());
        if (!window)
            return nullptr;
        window->show();
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return window;
    }
    QQuickItem *item(const char *name) { return test::findItem(qobject_cast<QQuickWindow *>(root.get())->contentItem(), name); }
    QQuickItem *focused() { return qobject_cast<QQuickWindow *>(root.get())->activeFocusItem(); }

    QQmlEngine engine;
    std::unique_ptr<QObject> root;
};

// Tab reaches the shared controls and shows the ring only then; Return presses a button;
// the arrow keys move a slider by one shown step and its owner takes the move.
TEST_F(KeyboardViewTest, TabShowsTheRingAndTheKeysOperateTheControls)
{
    QQuickWindow *window = show(R"(
        Window {
            width: 400; height: 200
            property int presses: 0
            property real level: 0
            property bool on: false
            Column {
                x: 20; y: 20; spacing: 12
                SecondaryButton { objectName: "button"; width: 120; text: "Skip"; onClicked: presses++ }
                SageToggle { objectName: "toggle"; isOn: on; onToggled: v => on = v }
                TintedSlider { objectName: "slider"; value: level; to: 0.4; keyStep: 0.004; onMoved: level = value }
            }
        })");
    ASSERT_TRUE(window);
    auto ring = [&](const char *name) {
        for (QQuickItem *child : item(name)->childItems())
            if (QString(child->metaObject()->className()).startsWith("FocusRing"))
                return child->isVisible();
        ADD_FAILURE() << name << " has no ring";
        return false;
    };
    item("button")->forceActiveFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(ring("button")) << "no ring after a click";
    QTest::keyClick(window, Qt::Key_Tab);
    EXPECT_EQ(focused(), item("toggle"));
    EXPECT_TRUE(ring("toggle"));
    EXPECT_FALSE(ring("button"));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_TRUE(root->property("on").toBool()) << "Return switches";
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(root->property("on").toBool());
    QTest::keyClick(window, Qt::Key_Backtab);
    QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(root->property("presses").toInt(), 1);

    QTest::keyClick(window, Qt::Key_Tab);
    QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(focused(), item("slider"));
    EXPECT_TRUE(ring("slider"));
    QTest::keyClick(window, Qt::Key_Right);
    EXPECT_NEAR(root->property("level").toDouble(), 0.004, 1e-9) << "one percent of the shown value";
    QTest::keyClick(window, Qt::Key_PageUp);
    EXPECT_NEAR(root->property("level").toDouble(), 0.044, 1e-9);
    QTest::keyClick(window, Qt::Key_End);
    EXPECT_NEAR(root->property("level").toDouble(), 0.4, 1e-9);
    root->setProperty("level", 0.2);
    EXPECT_NEAR(item("slider")->property("value").toDouble(), 0.2, 1e-9) << "the slider still follows its owner";
    window->close();
}

// Tab brings a control into sight across and down, through a page inside a window that
// scrolls across as a whole: the inner page first, then the outer one.
TEST_F(KeyboardViewTest, TabBringsAControlIntoSightThroughPagesInsidePages)
{
    QQuickWindow *window = show(R"(
        Window {
            width: 300; height: 200
            Flickable {
                id: outer; anchors.fill: parent; contentWidth: 500; contentHeight: height
                KeepFocusInView { flickable: outer }
                Flickable {
                    id: inner; x: 100; width: 400; height: 200; contentWidth: 900; contentHeight: 600
                    KeepFocusInView { flickable: inner }
                    SecondaryButton { objectName: "near"; x: 10; y: 10; width: 80; text: "Near" }
                    SecondaryButton { objectName: "far"; x: 780; y: 500; width: 80; text: "Far" }
                }
            }
        })");
    ASSERT_TRUE(window);
    auto inSight = [&](const char *name) {
        QQuickItem *control = item(name);
        const QRectF rect = control->mapRectToScene(QRectF(0, 0, control->width(), control->height()));
        return QRectF(0, 0, window->width(), window->height()).contains(rect);
    };
    item("near")->forceActiveFocus(Qt::MouseFocusReason);
    QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(focused(), item("far"));
    EXPECT_TRUE(inSight("far"));
    QTest::keyClick(window, Qt::Key_Backtab);
    ASSERT_EQ(focused(), item("near"));
    EXPECT_TRUE(inSight("near"));
    window->close();
}

// A sheet takes the focus into its first field, keeps Tab inside, reports Esc, and gives
// the focus back to the control that opened it, ring included. While it is open, the page
// behind it is not in the accessibility tree; it comes back when the sheet closes.
TEST_F(KeyboardViewTest, ASheetHoldsTheFocusAndGivesItBack)
{
    QAccessible::setActive(true);
    QQuickWindow *window = show(R"(
        Window {
            width: 500; height: 300
            property bool open: false
            Column {
                x: 20; y: 20; spacing: 8
                SecondaryButton { objectName: "opener"; width: 120; text: "Open"; onClicked: open = true }
                SecondaryButton { objectName: "after"; width: 120; text: "After" }
            }
            Item {
                id: sheet
                x: 200; y: 20; width: 250; height: 200
                visible: open
                Column {
                    spacing: 8
                    RoundedTextField { objectName: "field" }
                    SecondaryButton { objectName: "cancel"; width: 120; text: "Cancel"; onClicked: open = false }
                }
                SheetFocus { scope: sheet; active: open; onEscapePressed: open = false }
            }
        })");
    ASSERT_TRUE(window);
    QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(focused(), item("opener"));
    QTest::keyClick(window, Qt::Key_Space);
    ASSERT_TRUE(root->property("open").toBool());
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(window);
    ASSERT_TRUE(tree);
    EXPECT_TRUE(treeNames(tree).contains("Cancel"));
    EXPECT_FALSE(treeNames(tree).contains("Open")) << "the page behind the sheet is read";
    ASSERT_GT(tree->childCount(), 0);
    EXPECT_EQ(tree->indexOfChild(tree->child(0)), 0);
    EXPECT_EQ(focused(), item("field")) << "typed text goes into the first field";
    for (char c : std::string("hello"))
        QTest::keyClick(window, c);
    EXPECT_EQ(item("field")->property("text").toString(), "hello");
    QTest::keyClick(window, Qt::Key_Tab);
    EXPECT_EQ(focused(), item("cancel"));
    QTest::keyClick(window, Qt::Key_Tab);
    EXPECT_EQ(focused(), item("field")) << "Tab goes round inside the sheet";
    QTest::keyClick(window, Qt::Key_Backtab);
    EXPECT_EQ(focused(), item("cancel"));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(root->property("open").toBool());
    EXPECT_EQ(focused(), item("opener"));
    EXPECT_TRUE(item("opener")->property("visualFocus").toBool()) << "opened from the keyboard: the ring is back";
    QTest::keyClick(window, Qt::Key_Tab);
    EXPECT_EQ(focused(), item("after")) << "Tab walks the page again";
    EXPECT_TRUE(treeNames(tree).contains("Open")) << "the page is back in the tree";
    EXPECT_FALSE(treeNames(tree).contains("Cancel"));
    window->close();
    QAccessible::setActive(false);
}

// The Menu key opens a menu on its first entry; the arrows walk the entries, Return
// chooses one, and the focus goes back to the control the menu belongs to.
TEST_F(KeyboardViewTest, AMenuOpenedFromTheKeyboardIsWalkedWithTheArrows)
{
    QQuickWindow *window = show(R"(
        Window {
            id: root
            width: 400; height: 300
            property string picked
            SecondaryButton {
                objectName: "opener"; x: 20; y: 20; width: 120; text: "Profile"
                Keys.onPressed: event => {
                    if (KeyboardControl.opensMenu(event.key, event.modifiers)) {
                        menu.openAt(0, height, true)
                        event.accepted = true
                    }
                }
                PopupMenu {
                    id: menu
                    objectName: "menu"
                    entries: [{action: "rename", text: "Rename", symbol: "pencil"},
                              {action: "favorite", text: "Favorite", symbol: "star"},
                              {action: "reset", text: "Reset", symbol: "arrow.uturn.backward"}]
                    onChosen: action => root.picked = action
                }
            }
        })");
    ASSERT_TRUE(window);
    QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(focused(), item("opener"));
    QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(focused() && focused()->property("text").toString() == "Rename");
    EXPECT_TRUE(focused()->property("visualFocus").toBool());
    QTest::keyClick(window, Qt::Key_Down);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(focused()->property("text").toString(), "Reset");
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(focused()->property("text").toString(), "Rename") << "round to the first";
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(focused()->property("text").toString(), "Reset");
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(root->property("picked").toString(), "reset");
    QTRY_COMPARE(focused(), item("opener"));
    EXPECT_TRUE(item("opener")->property("visualFocus").toBool());

    QTest::keyClick(window, Qt::Key_Menu);
    QTRY_VERIFY(focused() && focused()->property("text").toString() == "Rename");
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_COMPARE(focused(), item("opener"));
    EXPECT_EQ(root->property("picked").toString(), "reset") << "Esc chooses nothing";
    window->close();
}

// A window that goes while its sheet is open still sends events as it is taken down, when
// it is a window no longer: the sheet's key filter must not take it for one (the
// sanitizer build reports the cast).
TEST_F(KeyboardViewTest, AWindowTakenDownUnderAnOpenSheet)
{
    auto *window = new QQuickWindow;
    auto *sheet = new QQuickItem(window->contentItem());
    design::SheetFocus focus;
    focus.setScope(sheet);
    focus.setActive(true);
    focus.componentComplete();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    delete window;
    EXPECT_EQ(focus.scope(), nullptr);
}

} // namespace
