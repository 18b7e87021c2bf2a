#include "app/BreakOverlayModel.h"
#include "app/BreakPanelPresenter.h"
#include "design/DesignItems.h"
#include "platform/desktop/QtPanels.h"
#include "platform/sim/SimKeyMonitors.h"
#include "platform/sim/SimNotifications.h"
#include "platform/sim/SimPanels.h"
#include "render/ViewRenderer.h"
#include "support/TestEnvironment.h"
#include "wellness/BreakReminder.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

using namespace qv;

namespace {

using Target = SimKeyMonitors::Target;

class BreakPanelPresenterTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        warnings = std::make_unique<test::WarningRecorder>();
    }
    void TearDown() override
    {
        reminder.reset();
        presenter.reset();
        if (warnings) {
            EXPECT_EQ(warnings->warnings(), QStringList());
        }
        warnings.reset();
        test::QvTest::TearDown();
    }

    void makeReminder()
    {
        presenter = std::make_unique<BreakPanelPresenter>();
        reminder = std::make_unique<BreakReminder>(presenter.get());
    }
    SimKeyMonitors &keys() { return mac->keyMonitors(); }
    // The panels are real windows of the tests' window system.
    void useWindowPanels()
    {
        PlatformServices services = mac->services();
        services.panels = &windowPanels;
        installPlatform(services);
    }
    // An application window shown and, when `active`, with the keyboard.
    void showOwnWindow(bool active)
    {
        ownControl.setParentItem(own.contentItem());
        ownControl.setFocus(true);
        own.setGeometry(40, 40, 300, 200);
        own.show();
        if (active) {
            own.requestActivate();
            ASSERT_TRUE(QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == &own; }));
        }
    }
    // The panel's item with the keyboard, while the panel has it.
    QQuickItem *keyFocus()
    {
        QQuickWindow *panel = panelWindow();
        return panel && QGuiApplication::focusWindow() == panel ? panel->activeFocusItem() : nullptr;
    }
    QQuickWindow *panelWindow() { return presenter->content(1) ? presenter->content(1)->window() : nullptr; }
    QList<SimPanel *> visiblePanels() { return mac->panels().visiblePanels(); }

    std::unique_ptr<test::WarningRecorder> warnings;
    QtPanels windowPanels{[] { return true; }};
    QQuickWindow own;
    QQuickItem ownControl; // the control (a field of a sheet, say) with the window's focus
    std::unique_ptr<BreakPanelPresenter> presenter;
    std::unique_ptr<BreakReminder> reminder;
};

} // namespace

TEST_F(BreakPanelPresenterTest, FullScreenBreakShowsAClickCatchingPanelOverTheMainScreenOnly)
{
    makeReminder();
    reminder->startBreak();
    ASSERT_EQ(mac->panels().panels().size(), 1);
    SimPanel *panel = mac->panels().panels().constFirst();
    EXPECT_TRUE(panel->isVisible());
    const QList<ScreenInfo> screens = platform().screens->screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(panel->screen().displayNumber, screens.constFirst().displayNumber);
    EXPECT_EQ(panel->screen().displayNumber, mac->mainDisplayId());
    EXPECT_EQ(panel->frame(), screens.constFirst().frame);
    const PanelConfiguration &c = panel->configuration();
    EXPECT_EQ(c.styleMask, 128u);
    EXPECT_EQ(c.level, 25);
    EXPECT_EQ(c.collectionBehavior, 337u);
    EXPECT_FALSE(c.ignoresMouseEvents);
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ(c.backgroundColor, QColor(Qt::transparent));

    auto *content = qobject_cast<QQuickItem *>(panel->contentView());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), screens.constFirst().frame.size());
    auto *mark = content->findChild<BreathingMarkItem *>("breathingMark");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->size(), 170);
    EXPECT_EQ(keys().localMonitorCount(), 1);
    EXPECT_EQ(keys().globalMonitorCount(), 1);
}

TEST_F(BreakPanelPresenterTest, EscInTheApplicationEndsTheBreakUncountedAndIsConsumed)
{
    makeReminder();
    reminder->startBreak();
    advance(3000);
    // Other keys go on to the window they were meant for.
    EXPECT_FALSE(keys().pressKey(kKeyCodeA, Target::application));
    EXPECT_TRUE(reminder->isOnBreak());

    EXPECT_TRUE(keys().pressKey(kKeyCodeEscape, Target::application));
    EXPECT_FALSE(reminder->isOnBreak());
    EXPECT_EQ(reminder->totalBreaksTakenToday(), 0);
    // The monitors go at once; the panel after the current event.
    EXPECT_EQ(keys().localMonitorCount(), 0);
    EXPECT_EQ(keys().globalMonitorCount(), 0);
    EXPECT_EQ(visiblePanels().size(), 1);
    runPending();
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_FALSE(keys().pressKey(kKeyCodeEscape, Target::application));
}

TEST_F(BreakPanelPresenterTest, EscInAnotherApplicationEndsTheBreakAfterTheKeyAndIsNotConsumed)
{
    makeReminder();
    reminder->startBreak();
    keys().pressKey(kKeyCodeA, Target::otherApplication);
    runPending();
    EXPECT_TRUE(reminder->isOnBreak());

    EXPECT_FALSE(keys().pressKey(kKeyCodeEscape, Target::otherApplication));
    EXPECT_TRUE(reminder->isOnBreak()); // ended from the main queue
    runPending();
    EXPECT_FALSE(reminder->isOnBreak());
    runPending();
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_EQ(reminder->totalBreaksTakenToday(), 0);
}

TEST_F(BreakPanelPresenterTest, GlobalEscQueuedForAnEndedPanelDoesNotEndTheNextBreak)
{
    makeReminder();
    reminder->startBreak();
    keys().pressKey(kKeyCodeEscape, Target::otherApplication);
    // Before the queued end runs, the shortcut replaces the break with a new one.
    reminder->startBreak();
    runPending();
    EXPECT_TRUE(reminder->isOnBreak());
    EXPECT_EQ(visiblePanels().size(), 1);
}

TEST_F(BreakPanelPresenterTest, SkipBreakEndsTheBreakAndThePanelGoesAfterTheEvent)
{
    makeReminder();
    reminder->setIsEnabled(true);
    reminder->startBreak();
    const quint64 panel = 1;
    BreakOverlayModel *model = presenter->model(panel);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->skipTitle(), "Skip Break");
    model->skip();
    EXPECT_FALSE(reminder->isOnBreak());
    EXPECT_EQ(visiblePanels().size(), 1);
    runPending();
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_EQ(reminder->secondsUntilBreak(), 1200);
}

TEST_F(BreakPanelPresenterTest, CompletedBreakClosesThePanel)
{
    makeReminder();
    reminder->startBreak();
    advance(20'000);
    runPending();
    EXPECT_FALSE(reminder->isOnBreak());
    EXPECT_EQ(reminder->totalBreaksTakenToday(), 1);
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_EQ(keys().localMonitorCount() + keys().globalMonitorCount(), 0);
}

TEST_F(BreakPanelPresenterTest, WithoutAMainScreenTheBreakRunsUnseen)
{
    useMachine(SimulatedMac::empty());
    makeReminder();
    reminder->startBreak();
    EXPECT_TRUE(reminder->isOnBreak());
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_EQ(keys().localMonitorCount() + keys().globalMonitorCount(), 0);
    EXPECT_TRUE(logs->contains("BreakReminder", "No main screen: the break runs without its panel"));
    advance(20'000);
    EXPECT_FALSE(reminder->isOnBreak());
    EXPECT_EQ(reminder->totalBreaksTakenToday(), 1);
}

TEST_F(BreakPanelPresenterTest, AMainScreenWithoutAreaGetsNoPanel)
{
    const DisplayId main = mac->mainDisplayId();
    mac->updateDisplay(main, [](SimDisplay &d) { d.frame = QRectF(0, 0, 0, 0); });
    makeReminder();
    reminder->startBreak();
    EXPECT_TRUE(reminder->isOnBreak());
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_EQ(keys().localMonitorCount() + keys().globalMonitorCount(), 0);
    EXPECT_TRUE(logs->contains("BreakReminder", "The main screen has no area (0 x 0): the break runs without its panel"));
    advance(20'000);
    EXPECT_FALSE(reminder->isOnBreak());
}

TEST_F(BreakPanelPresenterTest, RefusedMonitorsAreLoggedAndSkipStillWorks)
{
    keys().setRefusesGlobalMonitors(true);
    makeReminder();
    reminder->startBreak();
    EXPECT_TRUE(logs->containsPart("BreakReminder", "An Esc monitor was not installed"));
    EXPECT_TRUE(keys().pressKey(kKeyCodeEscape, Target::application));
    EXPECT_FALSE(reminder->isOnBreak());
}

TEST_F(BreakPanelPresenterTest, CountdownFollowsTheBreakAndADurationChangeKeepsIt)
{
    makeReminder();
    reminder->startBreak();
    BreakOverlayModel *model = presenter->model(1);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->countdownText(), "20");
    advance(1000);
    EXPECT_EQ(model->countdownText(), "19");
    advance(10'000);
    EXPECT_EQ(model->countdownText(), "9");

    reminder->setBreakDurationSeconds(45);
    EXPECT_EQ(model->countdownText(), "9");
    EXPECT_TRUE(logs->contains("BreakReminder", "Break length changed to 45 s during a break: 9 s of this break remain"));
    advance(9000);
    EXPECT_FALSE(reminder->isOnBreak());
    EXPECT_EQ(reminder->totalBreaksTakenToday(), 1);
}

TEST_F(BreakPanelPresenterTest, MessagesRotateEveryFiveSecondsAndWrap)
{
    makeReminder();
    reminder->setBreakDurationSeconds(60);
    reminder->startBreak();
    BreakOverlayModel *model = presenter->model(1);
    ASSERT_TRUE(model);
    const QStringList expected{"Blink slowly. Relax your jaw and shoulders.", "You deserve this moment.",
                               "Let your focus soften into the distance.", "Take a slow, deep breath."};
    EXPECT_EQ(BreakOverlayModel::messages(), expected);
    const QList<std::pair<qint64, int>> steps{{0, 0}, {4999, 0}, {1, 1}, {5000, 2}, {5000, 3}, {5000, 0}, {5000, 1}};
    for (const auto &[ms, index] : steps) {
        advance(ms);
        EXPECT_EQ(model->messageIndex(), index);
        EXPECT_EQ(model->message(), expected.at(index));
    }
    EXPECT_EQ(BreakOverlayModel::nextMessageIndex(3, 4), 0);
    EXPECT_EQ(BreakOverlayModel::nextMessageIndex(0, 0), 0);
    EXPECT_EQ(model->headline(), "Look 20 feet away");
    EXPECT_EQ(model->caption(), "seconds remaining");
}

TEST_F(BreakPanelPresenterTest, EachPanelStartsItsMessagesAfresh)
{
    makeReminder();
    reminder->startBreak();
    advance(10'000);
    EXPECT_EQ(presenter->model(1)->messageIndex(), 2);
    reminder->startBreak(); // the shortcut: a new break with a new panel
    runPending();
    ASSERT_TRUE(presenter->model(2));
    EXPECT_EQ(presenter->model(2)->messageIndex(), 0);
    EXPECT_EQ(visiblePanels().size(), 1);
}

TEST_F(BreakPanelPresenterTest, NotificationModePostsTheBreakNotification)
{
    makeReminder();
    EXPECT_EQ(mac->notifications().authorizationRequestCount(), 1);
    reminder->setReminderMode(ReminderMode::notification);
    reminder->startBreak();
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    reminder->endBreak(true);
    reminder->setLookAwayDistanceFeet(30);
    reminder->setBreakDurationSeconds(45);
    reminder->startBreak();
    const QList<SimNotifications::Posted> expected{
        {"breakReminder", "Time to look away", "Look at something 20 feet away for 20 seconds."},
        {"breakReminder", "Time to look away", "Look at something 30 feet away for 45 seconds."}};
    EXPECT_EQ(mac->notifications().posted(), expected);
}

TEST_F(BreakPanelPresenterTest, MenuBarOnlyShowsNothing)
{
    makeReminder();
    reminder->setReminderMode(ReminderMode::menuBarOnly);
    reminder->startBreak();
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_TRUE(mac->notifications().posted().isEmpty());
}

TEST_F(BreakPanelPresenterTest, ViewDrawsWithoutWarningsInBothAppearances)
{
    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        test::ViewRequest request;
        request.view = QStringLiteral(QV_SOURCE_DIR "/tests/render/views/BreakPanel.qml");
        request.size = QSize(1200, 800);
        const test::RenderResult result = test::renderView(request);
        EXPECT_TRUE(result.error.isEmpty()) << qPrintable(result.error);
        EXPECT_EQ(result.warnings, QStringList()) << appearance;
        ASSERT_FALSE(result.image.isNull());
        // The background is the dark green-black of the break, whatever the appearance.
        const QColor corner = result.image.pixelColor(2, 2);
        EXPECT_LT(corner.lightness(), 60) << appearance;
    }
}

// A break begun while one of our windows has the keyboard: the panel takes it, so that no
// key acts behind it, Tab reaches "Skip Break" and Return presses it; the window that had
// the keyboard has it again once the panel goes. Assistive technology is told of an alert.
TEST_F(BreakPanelPresenterTest, ABreakBegunInOurWindowTakesItsKeyboardUntilTheEnd)
{
    useWindowPanels();
    showOwnWindow(true);
    makeReminder();
    reminder->startBreak();
    QAccessibleInterface *alert = QAccessible::queryAccessibleInterface(presenter->content(1));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->role(), QAccessible::AlertMessage);
    EXPECT_EQ(alert->text(QAccessible::Name), "Look 20 feet away");
    ASSERT_TRUE(QTest::qWaitFor([this] { return keyFocus() != nullptr; })) << "the panel did not take the keyboard";
    EXPECT_EQ(keyFocus(), presenter->content(1)) << "no control is pressed by a key before Tab";
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Space);
    EXPECT_TRUE(reminder->isOnBreak());
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
    ASSERT_TRUE(keyFocus());
    EXPECT_EQ(keyFocus()->objectName(), "skipButton");
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
    EXPECT_FALSE(reminder->isOnBreak());
    runPending();
    EXPECT_TRUE(QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == &own; }));
    EXPECT_EQ(own.activeFocusItem(), &ownControl);
}

// Another application keeps its keyboard at a break; the main window brought up during the
// break (a second start) comes under the panel, which takes the keyboard, takes it back
// when the window manager gives it to the window it maps, and hands it to that window at
// the end.
TEST_F(BreakPanelPresenterTest, AWindowBroughtUpDuringABreakGetsTheKeyboardAfterIt)
{
    useWindowPanels();
    makeReminder();
    EXPECT_FALSE(presenter->takeKeyboard(&own)) << "no break, no panel";
    ASSERT_EQ(QGuiApplication::focusWindow(), nullptr);
    reminder->startBreak();
    ASSERT_TRUE(panelWindow());
    EXPECT_TRUE(panelWindow()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    showOwnWindow(false);
    EXPECT_TRUE(presenter->takeKeyboard(&own));
    ASSERT_TRUE(QTest::qWaitFor([this] { return keyFocus() != nullptr; }));
    bool ownHadIt = false;
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, presenter.get(),
                     [&](QWindow *window) { ownHadIt = ownHadIt || window == &own; });
    own.requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ownHadIt; }));
    EXPECT_TRUE(QTest::qWaitFor([this] { return keyFocus() != nullptr; })) << "the window under the panel kept it";
    presenter->model(1)->skip();
    runPending();
    EXPECT_TRUE(QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == &own; }));
}

// The pop-over that had the keyboard closes as the panel takes it: the main window gets
// the keyboard after the break.
TEST_F(BreakPanelPresenterTest, AWindowThatClosedDuringTheBreakLeavesTheKeyboardToTheMainOne)
{
    useWindowPanels();
    showOwnWindow(false);
    QWindow popover;
    popover.setFlags(Qt::Tool | Qt::FramelessWindowHint);
    popover.setGeometry(400, 40, 200, 200);
    popover.show();
    popover.requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == &popover; }));
    makeReminder();
    reminder->startBreak();
    ASSERT_TRUE(QTest::qWaitFor([this] { return keyFocus() != nullptr; }));
    popover.hide();
    presenter->model(1)->skip();
    runPending();
    EXPECT_TRUE(QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == &own; }));
}
