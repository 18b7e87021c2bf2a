#include "display/ComfortVeilController.h"
#include "display/ComfortVeilOverlayView.h"
#include "platform/sim/SimPanels.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"

#include <cmath>
#include <limits>

using namespace qv;

namespace {

class ComfortVeilControllerTest : public test::QvTest {
protected:
    ComfortVeilController &veil() { return ComfortVeilController::shared(); }
    SimWorkspace &workspace() { return mac->workspace(); }
    QList<SimPanel *> panels() { return mac->panels().panels(); }
    int visibleCount() { return int(mac->panels().visiblePanels().size()); }

    // A running application with the veil on (highlight dampening at its default 0.22).
    void showVeil()
    {
        workspace().finishLaunching();
        veil().setEnabled(true);
    }
    ComfortVeilOverlayView *view(DisplayId display)
    {
        Panel *panel = veil().window(display);
        return panel ? qobject_cast<ComfortVeilOverlayView *>(panel->contentView()) : nullptr;
    }
};

} // namespace

TEST_F(ComfortVeilControllerTest, ValuesAreStoredAsAssignedAndClampedOnlyInTheState)
{
    veil().setColorCalm(3.0);
    veil().setMicrotexture(0.9);
    veil().setPeripheralSoftening(-0.5);
    veil().setFocusWindowSize(0.1);
    veil().setHighlightDampening(1.7);
    veil().setFocusWindowEnabled(true);
    EXPECT_EQ(veil().colorCalm(), 3.0);
    EXPECT_EQ(defaults->doubleValue("comfortVeil.colorCalm.amount"), 3.0);
    EXPECT_EQ(defaults->boolValue("comfortVeil.focus.enabled"), true);

    const ComfortVeilState s = *veil().latestState();
    EXPECT_EQ(s.colorCalm, 2.0);
    EXPECT_EQ(s.microtexture, 0.75);
    EXPECT_EQ(s.peripheralSoftening, 0.0);
    EXPECT_EQ(s.focusWindowSize, 0.35);
    EXPECT_EQ(s.highlightDampening, 1.0);
    EXPECT_FALSE(s.focusWindowEnabled);

    restart();
    EXPECT_FALSE(veil().focusWindowEnabled());
    EXPECT_EQ(veil().colorCalm(), 3.0);
    EXPECT_EQ(veil().focusWindowSize(), 0.1);
}

TEST_F(ComfortVeilControllerTest, ConstructionReadsStoredValuesWritesNothingAndShowsNothing)
{
    defaults->set("comfortVeil.enabled", true);
    defaults->set("comfortVeil.peripheral.enabled", QStringLiteral("yes")); // wrong type: default
    defaults->set("comfortVeil.peripheral.amount", 0.5);
    defaults->set("comfortVeil.highlight.amount", QStringLiteral("0.9")); // wrong type: default
    defaults->set("comfortVeil.microtexture.enabled", true);
    defaults->set("comfortVeil.focus.enabled", true);
    const QStringList keysBefore = defaults->storedKeys();

    EXPECT_TRUE(veil().enabled());
    EXPECT_TRUE(veil().peripheralSofteningEnabled());
    EXPECT_EQ(veil().peripheralSoftening(), 0.5);
    EXPECT_EQ(veil().highlightDampening(), 0.22);
    EXPECT_TRUE(veil().microtextureEnabled());
    EXPECT_FALSE(veil().focusWindowEnabled());
    EXPECT_EQ(defaults->storedKeys(), keysBefore);
    EXPECT_FALSE(veil().latestState());
    EXPECT_TRUE(panels().isEmpty());

    // The stored veil reaches the screen when the application has finished launching.
    workspace().finishLaunching();
    EXPECT_EQ(visibleCount(), 2);
}

TEST_F(ComfortVeilControllerTest, OnePanelPerScreenWithTheScreenFrameAndTheState)
{
    veil().setEnabled(true);
    EXPECT_TRUE(panels().isEmpty()) << "nothing is shown before the application runs";
    workspace().finishLaunching();

    ASSERT_EQ(panels().size(), 2);
    for (SimPanel *panel : panels()) {
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->frame(), panel->screen().frame);
        EXPECT_EQ(panel->configuration(), PanelConfiguration{.contentRect = panel->screen().frame});
        EXPECT_EQ(panel->configuration().level, 25);
        EXPECT_EQ(panel->configuration().collectionBehavior, 345u);
        EXPECT_TRUE(panel->configuration().ignoresMouseEvents);
    }
    EXPECT_EQ(veil().windowDisplayIDs(), (QList<DisplayId>{1, 2}));
    ASSERT_TRUE(view(2));
    EXPECT_EQ(view(2)->state(), veil().currentState());
    EXPECT_EQ(view(2)->frame(), QRectF(0, 0, 1920, 1080));
}

TEST_F(ComfortVeilControllerTest, NothingToShowReleasesEveryPanel)
{
    showVeil();
    ASSERT_EQ(panels().size(), 2);

    const struct {
        const char *what;
        std::function<void(ComfortVeilController &)> change;
    } cases[] = {
        {"veil off", [](ComfortVeilController &v) { v.setEnabled(false); }},
        {"every effect off", [](ComfortVeilController &v) {
             v.setPeripheralSofteningEnabled(false);
             v.setHighlightDampeningEnabled(false);
         }},
        {"active amount at 0.01", [](ComfortVeilController &v) {
             v.setPeripheralSoftening(0.0);
             v.setHighlightDampening(0.01);
         }},
        {"colour calm amount only clamps to 2 and shows", [](ComfortVeilController &v) {
             v.setHighlightDampening(0.0);
             v.setPeripheralSoftening(0.0);
             v.setColorCalmEnabled(true);
             v.setColorCalm(0.011);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        veil().setEnabled(true);
        veil().setPeripheralSofteningEnabled(true);
        veil().setPeripheralSoftening(0.32);
        veil().setHighlightDampeningEnabled(true);
        veil().setHighlightDampening(0.22);
        veil().setColorCalmEnabled(false);
        ASSERT_EQ(panels().size(), 2);
        c.change(veil());
        const bool shows = veil().currentState().showsAnything();
        EXPECT_EQ(int(panels().size()), shows ? 2 : 0);
        EXPECT_EQ(veil().windowDisplayIDs().isEmpty(), !shows);
    }
}

TEST_F(ComfortVeilControllerTest, EqualAssignmentStoresAgainButRedrawsNothing)
{
    showVeil();
    const int before = view(1)->displayRequestCount();
    defaults->remove("comfortVeil.enabled");
    veil().setEnabled(true);
    EXPECT_EQ(defaults->boolValue("comfortVeil.enabled"), true);
    EXPECT_EQ(view(1)->displayRequestCount(), before);

    // The focus size changes the state (so the views redraw) though nothing paints it.
    veil().setFocusWindowSize(0.7);
    EXPECT_EQ(view(1)->displayRequestCount(), before + 1);
}

TEST_F(ComfortVeilControllerTest, ScreenshotApplications)
{
    const struct {
        std::optional<QString> bundle;
        std::optional<QString> name;
        bool screenshot;
    } cases[] = {
        {"com.apple.screenshot.launcher", "Screenshot", true},
        {"com.apple.Screenshot.helper", std::nullopt, false}, // the prefix is case-sensitive
        {"com.apple.Screenshot.helper", "Helper", false},
        {"com.example.ScreenCapture", std::nullopt, true},
        {"com.example.SCREENCAPTUREKIT", "Tool", true},
        {std::nullopt, "Screen Capture Pro", true},
        {"com.example.helper", "Screenshots Helper", true},
        {"com.example.screen", "Screen Recorder", false},
        {std::nullopt, std::nullopt, false},
    };
    for (const auto &c : cases) {
        RunningApplication app;
        app.bundleIdentifier = c.bundle;
        app.localizedName = c.name;
        EXPECT_EQ(ComfortVeilController::isScreenshotApplication(app), c.screenshot)
            << qPrintable(c.bundle.value_or("-")) << " " << qPrintable(c.name.value_or("-"));
    }

    // Only an active screenshot tool counts as a session.
    const qint64 tool = workspace().launch(QStringLiteral("com.apple.screenshot.launcher"), {}, false);
    workspace().launch(QStringLiteral("com.example.editor"), QStringLiteral("Editor"), true);
    EXPECT_FALSE(ComfortVeilController::isScreenshotSessionRunning());
    workspace().activate(tool);
    EXPECT_TRUE(ComfortVeilController::isScreenshotSessionRunning());
}

TEST_F(ComfortVeilControllerTest, ScreenshotSessionHidesPanelsUntilTheLastToolLeaves)
{
    showVeil();
    const qint64 first = workspace().launch(QStringLiteral("com.apple.screenshot.launcher"), QStringLiteral("Shot"));
    EXPECT_TRUE(veil().isScreenshotSessionActive());
    EXPECT_EQ(panels().size(), 2) << "kept";
    EXPECT_EQ(visibleCount(), 0) << "hidden at once";

    // Changes during the session update the values but keep the panels hidden.
    veil().setMicrotextureEnabled(true);
    EXPECT_TRUE(veil().latestState()->microtextureEnabled);
    EXPECT_EQ(visibleCount(), 0);

    // The first tool gives way to a second one: still hidden after the re-check.
    const qint64 second = workspace().launch(QStringLiteral("com.example.grabber"), QStringLiteral("Screen Capture"));
    advance(350);
    EXPECT_EQ(visibleCount(), 0);
    EXPECT_TRUE(veil().isScreenshotSessionActive());

    workspace().terminate(second);
    workspace().terminate(first);
    advance(349);
    EXPECT_EQ(visibleCount(), 0);
    advance(1);
    EXPECT_FALSE(veil().isScreenshotSessionActive());
    EXPECT_EQ(visibleCount(), 2);
    EXPECT_TRUE(view(1)->state().microtextureEnabled);

    // A notification without an application changes nothing.
    workspace().postNotificationWithoutApplication();
    advance(400);
    EXPECT_EQ(visibleCount(), 2);
}

TEST_F(ComfortVeilControllerTest, ScreenChangesRefitAfterADelayEachOnItsOwn)
{
    showVeil();
    SimPanel *external = nullptr;
    for (SimPanel *p : panels())
        if (p->screen().displayNumber == 2u)
            external = p;
    ASSERT_TRUE(external);
    const int framesBefore = external->frameChangeCount();

    mac->notifyScreenParametersChanged();
    advance(100);
    mac->notifyScreenParametersChanged();
    advance(250);
    EXPECT_EQ(external->frameChangeCount(), framesBefore + 1);
    advance(100);
    EXPECT_EQ(external->frameChangeCount(), framesBefore + 2);

    // Unplugged: its panel goes 0.35 s after the notification; a new display gets one.
    mac->removeDisplay(2);
    EXPECT_EQ(panels().size(), 2);
    advance(350);
    EXPECT_EQ(veil().windowDisplayIDs(), QList<DisplayId>{1});
    EXPECT_EQ(panels().size(), 1);

    SimDisplay added;
    added.id = 7;
    added.name = QStringLiteral("Projector");
    added.frame = QRectF(-1280, 0, 1280, 800);
    mac->addDisplay(added);
    advance(350);
    EXPECT_EQ(veil().windowDisplayIDs(), (QList<DisplayId>{1, 7}));
    ASSERT_TRUE(veil().window(7));
    EXPECT_EQ(veil().window(7)->frame(), QRectF(-1280, 0, 1280, 800));
}

TEST_F(ComfortVeilControllerTest, RefitAppliesTheStateCurrentWhenItRuns)
{
    showVeil();
    mac->notifyScreenParametersChanged();
    veil().setEnabled(false); // switched off in between
    advance(350);
    EXPECT_TRUE(panels().isEmpty()) << "a veil switched off stays off";

    veil().setEnabled(true);
    mac->notifyScreenParametersChanged();
    veil().setColorCalmEnabled(true);
    veil().setColorCalm(0.4);
    advance(350);
    ASSERT_EQ(visibleCount(), 2);
    EXPECT_EQ(view(1)->state().colorCalm, 0.4);
}

TEST_F(ComfortVeilControllerTest, ScreenChangeBeforeAnyStateSchedulesNothing)
{
    workspace().finishLaunching();
    veil();
    mac->notifyScreenParametersChanged();
    EXPECT_EQ(clock->pendingCount(), 0);
    EXPECT_TRUE(panels().isEmpty());
}

TEST_F(ComfortVeilControllerTest, StoredAmountsThatAreNotFiniteReadAsDefaults)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    defaults->set("comfortVeil.highlight.amount", nan);
    defaults->set("comfortVeil.colorCalm.amount", inf);
    defaults->set("comfortVeil.microtexture.amount", -inf);
    defaults->set("comfortVeil.enabled", true);
    reloadDefaults();

    EXPECT_EQ(veil().highlightDampening(), 0.22);
    EXPECT_EQ(veil().colorCalm(), 0.0);
    EXPECT_EQ(veil().microtexture(), 0.18);
    EXPECT_EQ(logs->count("ComfortVeil", "Stored comfortVeil.highlight.amount is not a finite number (nan); using 0.22"),
              1);
    EXPECT_EQ(logs->count("ComfortVeil", "Stored comfortVeil.colorCalm.amount is not a finite number (inf); using 0"),
              1);
    EXPECT_TRUE(std::isnan(*defaults->doubleValue("comfortVeil.highlight.amount"))) << "nothing is rewritten";

    // An assigned non-number is kept as assigned and shows as nothing.
    workspace().finishLaunching();
    ASSERT_EQ(visibleCount(), 2);
    veil().setPeripheralSoftening(nan);
    veil().setHighlightDampening(inf);
    EXPECT_EQ(veil().latestState()->peripheralSoftening, 0.0);
    EXPECT_EQ(veil().latestState()->highlightDampening, 1.0);
    veil().setHighlightDampening(nan);
    EXPECT_TRUE(panels().isEmpty());
}

TEST_F(ComfortVeilControllerTest, VanishedAndEmptyScreensLoseTheirPanels)
{
    showVeil();
    ASSERT_EQ(visibleCount(), 2);
    mac->removeDisplay(2);
    advance(350);
    EXPECT_EQ(veil().windowDisplayIDs(), QList<DisplayId>{1});
    EXPECT_EQ(logs->count("ComfortVeil", "Removed the veil panel of display 2: its screen is gone"), 1);

    SimDisplay flat;
    flat.id = 9;
    flat.name = QStringLiteral("Broken");
    flat.frame = QRectF(-100, 0, 0, 0);
    mac->addDisplay(flat);
    advance(350);
    veil().setHighlightDampening(0.3);
    EXPECT_EQ(veil().windowDisplayIDs(), QList<DisplayId>{1});
    EXPECT_EQ(logs->count("ComfortVeil", "No veil panel for display 9: its screen has no area (0 x 0)"), 1);
}

// A display numbered anew on the same screen (a twin of its monitor came) keeps its panel.
TEST_F(ComfortVeilControllerTest, ADisplayNumberedAnewKeepsItsPanel)
{
    showVeil();
    Panel *external = veil().window(2);
    ASSERT_TRUE(external);
    SimDisplay renumbered = mac->displays().at(1);
    ASSERT_EQ(renumbered.id, 2u);
    renumbered.id = 8;
    mac->removeDisplay(2);
    mac->addDisplay(renumbered);
    advance(350);
    EXPECT_EQ(veil().windowDisplayIDs(), (QList<DisplayId>{1, 8}));
    EXPECT_EQ(veil().window(8), external);
    EXPECT_EQ(visibleCount(), 2);
    EXPECT_EQ(logs->count("ComfortVeil", "Removed the veil panel of display 2: its screen is gone"), 0);
}

TEST_F(ComfortVeilControllerTest, OneDisplayRequestPerChangedAssignment)
{
    showVeil();
    const int before = view(1)->displayRequestCount();
    int requests = 0;
    QObject::connect(view(1), &ComfortVeilOverlayView::needsDisplay, [&] { ++requests; });
    for (double amount : {0.3, 0.31, 0.31, 0.32})
        veil().setHighlightDampening(amount);
    EXPECT_EQ(requests, 3);
    EXPECT_EQ(view(1)->displayRequestCount(), before + 3);
}
