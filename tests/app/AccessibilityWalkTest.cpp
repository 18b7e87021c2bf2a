#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/QuellvistaApp.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

using namespace qv;

namespace {

// What the walk found: the faults, and how many controls of each kind it looked at.
struct Walk {
    QStringList faults;
    int focusable = 0;
    int switches = 0;
    int sliders = 0;
};

// Walks what assistive technology sees of a window. A control the keyboard reaches must
// have a name, a switch a checked state, and a slider a value as its row shows it ("65%",
// "Off"), never a bare number.
void walk(QAccessibleInterface *node, Walk &result, int depth = 0)
{
    if (!node || !node->isValid() || depth > 100)
        return;
    const QAccessible::State state = node->state();
    if (state.invisible)
        return;
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name);
    const QString where = QStringLiteral("%1 \"%2\" (%3)")
                              .arg(int(role), 0, 16)
                              .arg(name, node->object() ? QString::fromLatin1(node->object()->metaObject()->className())
                                                        : QString());
    if (state.focusable && role != QAccessible::Window && role != QAccessible::Client) {
        ++result.focusable;
        if (name.trimmed().isEmpty())
            result.faults << QStringLiteral("focusable control without a name: ") + where;
    }
    if (role == QAccessible::CheckBox) {
        ++result.switches;
        if (!state.checkable)
            result.faults << QStringLiteral("switch without a checked state: ") + where;
    }
    if (role == QAccessible::Slider) {
        ++result.sliders;
        const QString value = node->text(QAccessible::Value);
        bool number = false;
        value.toDouble(&number);
        if (value.isEmpty() || number)
            result.faults << QStringLiteral("slider value \"%1\": ").arg(value) + where;
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), result, depth + 1);
}

Walk walkWindow(QQuickWindow *window)
{
    QCoreApplication::processEvents();
    Walk result;
    walk(QAccessible::queryAccessibleInterface(window), result);
    return result;
}

class AccessibilityWalkTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        QAccessible::setActive(true);
    }
    void TearDown() override
    {
        QAccessible::setActive(false);
        test::QvTest::TearDown();
    }
};

TEST_F(AccessibilityWalkTest, EverySectionAndThePopoverNameTheirControls)
{
    QuellvistaApp app;
    QQmlEngine engine;
    prepareAppEngine(engine);
    AppScenes scenes(app, engine);
    ASSERT_TRUE(scenes.load(false));
    QCoreApplication::processEvents();
    QQuickWindow *main = scenes.mainWindow();
    ASSERT_TRUE(main);
    runPending();

    struct Section {
        const char *title;
        int atLeastSwitches, atLeastSliders;
    };
    // Display & Comfort: the master switch and the protection switches; the eight tuning
    // sliders, profile intensity and red mode.
    const Section sections[] = {
        {"Display & Comfort", 4, 10}, {"Blink Detection", 1, 0}, {"Break Reminders", 0, 0},
        {"Support", 0, 0},            {"Settings", 1, 0},
    };
    for (const Section &section : sections) {
        defaults->setString("mainWindow.selectedSection", section.title);
        QCoreApplication::processEvents();
        if (QQuickItem *header = test::findItem(main->contentItem(), "hardwareHeader"))
            QMetaObject::invokeMethod(header, "clicked"); // the protection switches too
        const Walk result = walkWindow(main);
        EXPECT_TRUE(result.faults.isEmpty()) << section.title << ":\n" << qPrintable(result.faults.join(u'\n'));
        EXPECT_GT(result.focusable, 2) << section.title;
        EXPECT_GE(result.switches, section.atLeastSwitches) << section.title;
        EXPECT_GE(result.sliders, section.atLeastSliders) << section.title;
    }

    QQuickWindow *popover = scenes.popoverWindow();
    ASSERT_TRUE(popover);
    popover->show();
    const Walk result = walkWindow(popover);
    EXPECT_TRUE(result.faults.isEmpty()) << "pop-over:\n" << qPrintable(result.faults.join(u'\n'));
    EXPECT_GE(result.switches, 1) << "pop-over";
    popover->close();
    main->close();
}

} // namespace
