#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/BreakOverlayModel.h"
#include "app/QuellvistaApp.h"
#include "comfort/PresetManager.h"
#include "design/AccessibleValue.h"
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
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace qv;

namespace {

// What the walk found: the faults, and how many controls of each kind it looked at.
struct Walk {
    QStringList faults;
    int focusable = 0;
    int switches = 0;
    int sliders = 0;
    // Every name, description and value read, for the texts shown.
    QStringList heard;
};

// Walks what assistive technology sees of a window. A control the keyboard reaches must
// have a name, a switch a checked state, and a slider a value as its row shows it ("65%",
// "Off"), never a bare number.
void walk(QAccessibleInterface *node, Walk &result, int depth = 0)
{
    if (!node || !node->isValid() || depth > 100)
        return;
    const QAccessible::State state = node->state();
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name);
    const QString where = QStringLiteral("%1 \"%2\" (%3)")
                              .arg(int(role), 0, 16)
                              .arg(name, node->object() ? QString::fromLatin1(node->object()->metaObject()->className())
                                                        : QString());
    // What is not shown is not read either.
    if (state.invisible) {
        result.faults << QStringLiteral("hidden item in the tree: ") + where;
        return;
    }
    result.heard << name << node->text(QAccessible::Description) << node->text(QAccessible::Value);
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
        // The AT-SPI bridge carries no text of a value: the description says it.
        if (!node->text(QAccessible::Description).startsWith(value))
            result.faults << QStringLiteral("slider description \"%1\" without its value: ")
                                 .arg(node->text(QAccessible::Description)) + where;
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), result, depth + 1);
}

// The texts a window shows: visible, not see-through, not empty.
void shownTexts(QQuickItem *item, QList<QQuickItem *> &texts)
{
    if (!item->isVisible() || item->opacity() <= 0)
        return;
    // Symbols are pictures, not words.
    const bool symbol = QString::fromLatin1(item->metaObject()->className()).startsWith(u"Symbol_QMLTYPE");
    if ((item->inherits("QQuickText") || item->inherits("qv::TabularText")) && !symbol &&
        !item->property("text").toString().trimmed().isEmpty())
        texts << item;
    for (QQuickItem *child : item->childItems())
        shownTexts(child, texts);
}

Walk walkWindow(QQuickWindow *window)
{
    QCoreApplication::processEvents();
    Walk result;
    walk(QAccessible::queryAccessibleInterface(window), result);
    // Every text shown is read, as a label of its own or within its control's name; behind
    // an open sheet, none.
    QList<QQuickItem *> texts;
    for (QQuickItem *top : design::windowTreeTop(window))
        shownTexts(top, texts);
    const QString heard = result.heard.join(u'\n');
    for (QQuickItem *text : texts) {
        const QString shown = design::AccessibleTexts::heard(text->property("text").toString(),
                                                             text->property("textFormat").toInt())
                                  .trimmed();
        if (!heard.contains(shown))
            result.faults << QStringLiteral("text shown but not read: \"%1\" (%2)")
                                 .arg(shown.left(60), text->parentItem() ? text->parentItem()->objectName() : QString());
    }
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
    // The longest name a profile keeps is read whole, though its tile cuts it short.
    const QString longest(int(PresetManager::kMaxProfileNameLength), u'W');
    app.presets().saveCurrentAsNewProfile(longest);
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
        if (section.atLeastSliders > 0) {
            EXPECT_TRUE(result.heard.contains(longest + " saved comfort profile")) << section.title;
        }
        EXPECT_GT(result.focusable, 2) << section.title;
        EXPECT_GE(result.switches, section.atLeastSwitches) << section.title;
        EXPECT_GE(result.sliders, section.atLeastSliders) << section.title;
    }

    // The guided tour: its open step is read, the others are not there.
    defaults->setString("mainWindow.selectedSection", "Display & Comfort");
    QCoreApplication::processEvents();
    QQuickItem *guide = test::findItem(main->contentItem(), "guideButton");
    ASSERT_TRUE(guide);
    QMetaObject::invokeMethod(guide, "clicked");
    advance(2000);
    QCoreApplication::processEvents();
    ASSERT_TRUE(test::findItem(main->contentItem(), "guideMessage"));
    const Walk tour = walkWindow(main);
    EXPECT_TRUE(tour.faults.isEmpty()) << "tour:\n" << qPrintable(tour.faults.join(u'\n'));
    EXPECT_TRUE(tour.heard.contains(test::findItem(main->contentItem(), "guideMessage")->property("text").toString()));

    // The rename sheet: a dialog named by its title, its field named, the name whole.
    QObject *grid = nullptr;
    std::function<void(QQuickItem *)> findGrid = [&](QQuickItem *item) {
        for (QObject *child : item->children())
            if (child->inherits("qv::ComfortProfilesGridModel"))
                grid = child;
        for (QQuickItem *child : item->childItems())
            findGrid(child);
    };
    findGrid(main->contentItem());
    ASSERT_TRUE(grid);
    QMetaObject::invokeMethod(grid, "trigger", Q_ARG(int, 4), Q_ARG(QString, QStringLiteral("rename")));
    QCoreApplication::processEvents();
    QQuickItem *field = test::findItem(main->contentItem(), "renameField");
    ASSERT_TRUE(field && field->isVisible());
    QAccessibleInterface *fieldNode = QAccessible::queryAccessibleInterface(field);
    ASSERT_TRUE(fieldNode);
    EXPECT_FALSE(fieldNode->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(field->property("text").toString(), longest);
    QAccessibleInterface *dialog = fieldNode->parent();
    while (dialog && dialog->role() != QAccessible::Dialog)
        dialog = dialog->parent();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->text(QAccessible::Name), "Rename Saved Profile");
    const Walk sheet = walkWindow(main);
    EXPECT_TRUE(sheet.faults.isEmpty()) << "rename sheet:\n" << qPrintable(sheet.faults.join(u'\n'));
    EXPECT_FALSE(sheet.heard.contains("Display & Comfort")) << "the page behind the sheet is read";
    QMetaObject::invokeMethod(grid, "cancelRename");
    QCoreApplication::processEvents();

    // An open topic: its header says so, and its body is read.
    defaults->setString("mainWindow.selectedSection", "Support");
    QCoreApplication::processEvents();
    QQuickItem *notes = test::findItem(main->contentItem(), "notesHeader");
    ASSERT_TRUE(notes);
    QMetaObject::invokeMethod(notes, "clicked");
    QCoreApplication::processEvents();
    QQuickItem *topic = test::findItem(main->contentItem(), "topicHeader");
    ASSERT_TRUE(topic);
    QMetaObject::invokeMethod(topic, "clicked");
    QCoreApplication::processEvents();
    const Walk support = walkWindow(main);
    EXPECT_TRUE(support.faults.isEmpty()) << "open topic:\n" << qPrintable(support.faults.join(u'\n'));
    QAccessibleInterface *header = QAccessible::queryAccessibleInterface(topic);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->state().expandable && header->state().expanded);
    EXPECT_EQ(header->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});

    QQuickWindow *popover = scenes.popoverWindow();
    ASSERT_TRUE(popover);
    popover->show();
    const Walk result = walkWindow(popover);
    EXPECT_TRUE(result.faults.isEmpty()) << "pop-over:\n" << qPrintable(result.faults.join(u'\n'));
    EXPECT_GE(result.switches, 1) << "pop-over";
    popover->close();
    main->close();
}

TEST_F(AccessibilityWalkTest, TheBreakPanelReadsItsMessageAndCountdown)
{
    QQmlEngine engine;
    prepareAppEngine(engine);
    BreakOverlayModel model;
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Quellvista/App/qml/BreakOverlayView.qml")));
    std::unique_ptr<QObject> object(
        component.createWithInitialProperties({{QStringLiteral("model"), QVariant::fromValue(&model)}}));
    auto *view = qobject_cast<QQuickItem *>(object.get());
    ASSERT_TRUE(view) << qPrintable(component.errorString());
    QQuickWindow window;
    window.resize(1280, 800);
    view->setParentItem(window.contentItem());
    view->setSize(QSizeF(1280, 800));
    window.show();
    const Walk result = walkWindow(&window);
    EXPECT_TRUE(result.faults.isEmpty()) << qPrintable(result.faults.join(u'\n'));
    // The line is read once, as the one it is changing to.
    EXPECT_EQ(result.heard.count(model.message()), 1);
    EXPECT_TRUE(result.heard.contains(model.countdownText()));
    EXPECT_TRUE(result.heard.contains(model.skipTitle()));
    window.close();
}

// Ctrl+Q quits from the main window as "Quit Quellvista" does, a sheet open or not, and from
// the pop-over while the main window is closed.
TEST_F(AccessibilityWalkTest, CtrlQQuitsFromTheMainWindowWithASheetOpenAndFromThePopover)
{
    QuellvistaApp app;
    QQmlEngine engine;
    prepareAppEngine(engine);
    AppScenes scenes(app, engine);
    ASSERT_TRUE(scenes.load(false));
    QQuickWindow *main = scenes.mainWindow();
    ASSERT_TRUE(main);
    QSignalSpy quit(&app, &QuellvistaApp::quitRequested);
    QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 1);

    defaults->setString("mainWindow.selectedSection", "Support");
    QCoreApplication::processEvents();
    QQuickItem *leave = test::findItem(main->contentItem(), "leaveComment");
    ASSERT_TRUE(leave);
    QMetaObject::invokeMethod(leave, "clicked");
    QCoreApplication::processEvents();
    // The appearance changes while the sheet is open: the sheet stays, a dialog, alone in
    // the tree; with nothing to save, "Save comment" is disabled there.
    for (const char *appearance : {"dark", "light"}) {
        defaults->setString("appAppearanceMode", appearance);
        QCoreApplication::processEvents();
        const Walk composer = walkWindow(main);
        EXPECT_TRUE(composer.heard.contains("Leave feedback")) << appearance;
        EXPECT_FALSE(composer.heard.contains("Leave comment")) << appearance;
    }
    QQuickItem *save = test::findItem(main->contentItem(), "saveButton");
    ASSERT_TRUE(save);
    QAccessibleInterface *saveNode = QAccessible::queryAccessibleInterface(save);
    ASSERT_TRUE(saveNode);
    EXPECT_TRUE(saveNode->state().disabled);
    QQuickItem *comment = test::findItem(main->contentItem(), "commentEditor");
    ASSERT_TRUE(comment);
    comment->setProperty("text", QStringLiteral("Too bright"));
    EXPECT_FALSE(saveNode->state().disabled);
    QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 2);
    main->close();
    // With the main window closed (its content gone) the pop-over still quits.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    scenes.togglePopover(QRect());
    QTest::keyClick(scenes.popoverWindow(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 3);
}

} // namespace
