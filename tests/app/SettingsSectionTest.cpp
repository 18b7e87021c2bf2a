#include "app/DeepDisplayDiagnostics.h"
#include "app/QuellvistaApp.h"
#include "app/SettingsSectionModel.h"
#include "platform/HotKeyAvailability.h"
#include "platform/Panels.h"

#include "comfort/BatteryMonitor.h"
#include "design/Theme.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayTuning.h"
#include "display/FontSmoothingController.h"
#include "platform/Platform.h"
#include "platform/host/GsettingsFontSmoothing.h"
#include "platform/sim/SimPower.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

using namespace qv;

namespace {

class SettingsSectionTest : public test::QvTest {
protected:
    static DisplayIdentity identity(const QString &name, DisplayIdentity::Kind kind, std::optional<QString> connection,
                                    std::optional<QString> resolution = {}, std::optional<QString> rate = {})
    {
        DisplayIdentity id;
        id.name = name;
        id.kind = kind;
        id.connection = connection;
        id.resolution = resolution;
        id.refreshRate = rate;
        return id;
    }
    // Adds a display with a framebuffer of the given kind; returns its id.
    DisplayId addFramebuffer(DisplayId id, bool builtIn, const QString &name = QStringLiteral("Panel"))
    {
        SimDisplay d;
        d.id = id;
        d.name = name;
        d.builtIn = builtIn;
        d.frame = QRectF(4000 + 100 * id, 0, 100, 100);
        mac->addDisplay(d);
        return id;
    }
    QString serviceName(DisplayId id) const { return mac->display(id)->entryName; }
};

TEST_F(SettingsSectionTest, RowDetailRules)
{
    const struct {
        bool changed, disabled;
        const char *text;
    } smoothing[] = {{true, true, "Restart apps to see change"},
                     {true, false, "Restart apps to see change"},
                     {false, true, "Applies to newly opened apps"},
                     {false, false, "System default"}};
    for (const auto &row : smoothing)
        EXPECT_EQ(SettingsSectionModel::fontSmoothingStatus(row.changed, row.disabled), row.text);
    // A switch that did not take says so, whatever came before.
    EXPECT_EQ(SettingsSectionModel::fontSmoothingStatus(true, false, true, "The desktop did not keep the change"),
              "The desktop did not keep the change");

    const struct {
        bool dim, onBattery;
        int percent;
        const char *text;
    } battery[] = {{true, true, 42, "Dim on low battery"},
                   {true, false, 100, "Dim on low battery"},
                   {false, true, 42, "42% battery"},
                   {false, true, 0, "0% battery"},
                   {false, false, 42, "Off"}};
    for (const auto &row : battery)
        EXPECT_EQ(SettingsSectionModel::batteryDetail(row.dim, row.onBattery, row.percent), row.text);
}

TEST_F(SettingsSectionTest, TheRowsFollowTheirModels)
{
    QuellvistaApp app;
    SettingsSectionModel settings;

    SettingsToggleRow *ambient = settings.ambientRow();
    EXPECT_FALSE(ambient->isOn());
    EXPECT_EQ(ambient->detail(), "Manual");
    EXPECT_EQ(ambient->symbolColor(), Theme::shared().textTertiary());

    // The battery row: its symbol follows the power source, its detail the switch.
    SettingsToggleRow *battery = settings.batteryRow();
    EXPECT_EQ(battery->symbol(), "bolt.fill");
    EXPECT_EQ(battery->detail(), "Off");
    mac->setPowerSources(RegistryValue::array({SimPower::batteryDescription(QStringLiteral("Battery Power"), 42, 100)}));
    advance(BatteryMonitor::kIntervalMs);
    EXPECT_EQ(battery->symbol(), "battery.50");
    EXPECT_EQ(battery->detail(), "42% battery");
    battery->setOn(true);
    EXPECT_TRUE(app.batteryAwareDimEnabled()->value().toBool());
    EXPECT_EQ(battery->detail(), "Dim on low battery");
    EXPECT_EQ(battery->symbolColor(), Theme::shared().accentTint());

    // Crisper text: after one change during the run, the detail asks for a restart.
    SettingsToggleRow *crisper = settings.crisperTextRow();
    EXPECT_EQ(crisper->detail(), "System default");
    crisper->setOn(true);
    EXPECT_TRUE(crisper->isOn());
    EXPECT_EQ(mac->globalDefault(FontSmoothingController::kKey), "1");
    crisper->setOn(false);
    EXPECT_EQ(crisper->detail(), "Restart apps to see change");
}

// On a Linux desktop without the desktop's font setting the row says so and its switch
// does nothing.
TEST_F(SettingsSectionTest, CrisperTextOnADesktopWithoutTheSettingCannotBeSwitched)
{
    GsettingsFontSmoothing desktop(dir->filePath(QStringLiteral("no-gsettings-here")));
    PlatformServices services = mac->services();
    services.fontSmoothing = &desktop;
    installPlatform(services);
    SettingsSectionModel settings;
    settings.pageShown();
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.isIdle(); }, 10000));
    SettingsToggleRow *crisper = settings.crisperTextRow();
    EXPECT_EQ(crisper->detail(), "Not available on this desktop");
    EXPECT_FALSE(crisper->isSwitchable());
    crisper->setOn(true);
    EXPECT_TRUE(desktop.isIdle()) << "nothing is tried";
    EXPECT_FALSE(crisper->isOn());
}

// Where the desktop does not let overlays draw over other windows (Qt's own Wayland
// platform), the veil's rows say so in the desktop's words and cannot be switched.
TEST_F(SettingsSectionTest, OverlayRowsSayWhenTheDesktopKeepsOverlaysOut)
{
    struct NoOverlays final : Panels {
        std::unique_ptr<Panel> createPanel(const PanelConfiguration &, const ScreenInfo &, QObject *content) override
        {
            delete content;
            return nullptr;
        }
        QString overlayLimitation() const override { return QStringLiteral("This desktop does not let it draw"); }
    } panels;
    PlatformServices services = mac->services();
    services.panels = &panels;
    installPlatform(services);
    SettingsSectionModel settings;
    for (SettingsToggleRow *row : {settings.textureRow(), settings.sidecarRow()}) {
        EXPECT_EQ(row->detail(), "This desktop does not let it draw") << qPrintable(row->title());
        EXPECT_FALSE(row->isSwitchable()) << qPrintable(row->title());
    }
    settings.textureRow()->setOn(true);
    EXPECT_FALSE(ComfortVeilController::shared().microtextureEnabled());
}

// The hot keys' row says how they reach the application here, and which cannot be pressed.
TEST_F(SettingsSectionTest, TheHotKeysRowSaysHowTheKeysWorkHere)
{
    SettingsSectionModel settings;
    QSignalSpy changed(&settings, &SettingsSectionModel::hotKeysChanged);
    EXPECT_EQ(settings.hotKeysDetail(), "Asking the desktop how it passes hot keys on");
    HotKeyAvailability::shared().publish(HotKeyWay::xwaylandKeyGrabs, {{45, kHotKeyNoSuchKey}});
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(settings.hotKeysDetail(),
              "Key grabs of XWayland: they act only while an X11 window has the keyboard. 1 of the 6 hot keys are not "
              "available: \u2318\u21E7N (the keyboard's map has no such key)");
    EXPECT_EQ(SettingsSectionModel::hotKeysDetail(HotKeyWay::keyGrabs, {}),
              "Key grabs of the X server, whichever app is in front");
    EXPECT_EQ(SettingsSectionModel::hotKeysDetail(HotKeyWay::none, {{11, kHotKeyNoWay}}),
              "This desktop passes no hot keys to applications");
}

// On: the microtexture at 0.55 and the veil on, whatever amount was chosen before. Off:
// only the texture's own switch.
TEST_F(SettingsSectionTest, SurfaceTextureRule)
{
    SettingsSectionModel settings;
    ComfortVeilController &veil = ComfortVeilController::shared();
    veil.setMicrotexture(0.3);
    ASSERT_FALSE(veil.enabled());

    settings.textureRow()->setOn(true);
    EXPECT_TRUE(veil.microtextureEnabled());
    EXPECT_DOUBLE_EQ(veil.microtexture(), 0.55);
    EXPECT_TRUE(veil.enabled());
    EXPECT_EQ(settings.textureRow()->detail(), "On");

    settings.textureRow()->setOn(false);
    EXPECT_FALSE(veil.microtextureEnabled());
    EXPECT_DOUBLE_EQ(veil.microtexture(), 0.55);
    EXPECT_TRUE(veil.enabled());
    EXPECT_EQ(settings.textureRow()->detail(), "Off");
}

TEST_F(SettingsSectionTest, AppearanceReadsUnknownValuesAsSystemAndWritesRawValues)
{
    const struct {
        QVariant stored;
        int index;
        const char *symbol;
    } table[] = {{QStringLiteral("dark"), 2, "moon.fill"},   {QStringLiteral("light"), 1, "sun.max.fill"},
                 {QStringLiteral("sepia"), 0, "sun.max.fill"}, {QStringLiteral("Dark"), 0, "sun.max.fill"},
                 {QVariant(7), 0, "sun.max.fill"}};
    for (const auto &row : table) {
        if (row.stored.typeId() == QMetaType::Int)
            defaults->setInteger(QStringLiteral("appAppearanceMode"), row.stored.toInt());
        else
            defaults->setString(QStringLiteral("appAppearanceMode"), row.stored.toString());
        SettingsSectionModel settings;
        EXPECT_EQ(settings.appearanceIndex(), row.index) << qPrintable(row.stored.toString());
        EXPECT_EQ(settings.appearanceSymbol(), row.symbol) << qPrintable(row.stored.toString());
    }
    SettingsSectionModel settings;
    settings.chooseAppearance(2);
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("appAppearanceMode")), "dark");
    EXPECT_EQ(settings.appearanceSymbol(), "moon.fill");
    settings.chooseAppearance(0);
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("appAppearanceMode")), "system");
    settings.chooseAppearance(3); // no such segment
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("appAppearanceMode")), "system");
}

TEST_F(SettingsSectionTest, ValueFormatting)
{
    using V = RegistryValue;
    const QString longText(100'000, u'x');
    const struct {
        RegistryValue value;
        QString text;
    } table[] = {
        {V::boolean(true), "Yes"},
        {V::boolean(false), "No"},
        {V::number(1), "Yes"},
        {V::number(0), "No"},
        {V::number(-0.0), "No"},
        {V::number(2), "2"},
        {V::number(-3), "-3"},
        {V::number(1600), "1600"},
        {V::number(3276800), "3276800"},
        {V::number(0.5), "0.5"},
        {V::number(1e20), "1e+20"},
        {V::number(std::nan("")), "nan"},
        {V::number(std::numeric_limits<double>::infinity()), "inf"},
        {V::string(""), "Empty"},
        {V::string("<b>bold</b> &amp;"), "<b>bold</b> &amp;"},
        {V::string(longText), longText},
        {V::data({}), "0 bytes"},
        {V::data(QByteArray(1, '\0')), "1 bytes"},
        {V::data(QByteArray(1 << 20, 'x')), "1048576 bytes"},
        {V::array({}), "0 items"},
        {V::array({V::number(0)}), "1 item"},
        {V::array({V::array({}), V::dictionary({})}), "2 items"},
        {V::dictionary({}), "0 fields"},
        {V::dictionary({{"a", V::number(1)}}), "1 field"},
        {V::dictionary({{"a", V::dictionary({{"b", V::string("c")}})}, {"d", V::data({})}}), "2 fields"},
    };
    for (const auto &row : table)
        EXPECT_EQ(DeepDisplayDiagnosticProperty::format(row.value), row.text) << qPrintable(row.value.description().left(60));
}

TEST_F(SettingsSectionTest, SubtitleComposition)
{
    using K = DisplayIdentity::Kind;
    const struct {
        std::optional<DisplayIdentity> identity;
        bool external;
        const char *subtitle;
    } table[] = {
        {identity("A", K::builtIn, "Internal", "3456 x 2234", "120 Hz"), false, "Built-in display - Internal - 3456 x 2234 @ 120 Hz"},
        {identity("A", K::builtIn, "Internal", "3456 x 2234"), false, "Built-in display - Internal - 3456 x 2234"},
        {identity("A", K::builtIn, "", "3456 x 2234"), false, "Built-in display - 3456 x 2234"},
        {identity("A", K::external, std::nullopt, std::nullopt, "60 Hz"), true, "External monitor"},
        {identity("A", K::sidecar, "AirPlay", ""), true, "Sidecar / iPad - AirPlay"},
        {identity("A", K::unknown, "HDMI"), true, "Display - HDMI"},
        {std::nullopt, true, "External display - dispext1"},
        {std::nullopt, false, "Built-in display - dispext1"},
    };
    for (const auto &row : table)
        EXPECT_EQ(DeepDisplayDiagnosticDisplay::composeSubtitle(row.identity, row.external, QStringLiteral("dispext1")),
                  row.subtitle);
}

// Framebuffers take the identities of their own list in order; the ones left over get the
// product name or the kind's fallback, and the subtitle names the service.
TEST_F(SettingsSectionTest, IdentitiesAreAssignedByCountersPerList)
{
    using K = DisplayIdentity::Kind;
    addFramebuffer(3, true);
    addFramebuffer(4, false, QStringLiteral("Second Monitor"));
    addFramebuffer(5, false);
    mac->removeFramebufferProperty(5, QStringLiteral("DisplayProductName"));
    mac->setEntryNameUnreadable(mac->display(5)->service, true);
    const QList<DisplayIdentity> identities{
        identity("Studio Display", K::external, "Thunderbolt"),
        identity("Laptop", K::unknown, "Internal"), // built-in by its connection
        identity("Projector", K::projector, "HDMI", "1920 x 1080", "60 Hz"),
    };
    const DeepDisplayDiagnosticsSnapshot snapshot =
        DeepDisplayDiagnosticsSnapshot::capture(*mac->services().registry, identities);

    const struct {
        const char *name;
        QString subtitle;
        bool external;
    } expected[] = {
        {"Laptop", "Display - Internal", false},
        {"Studio Display", "External monitor - Thunderbolt", true},
        {"Built-in Display", "Built-in display - " + serviceName(3), false},
        {"Projector", "Projector - HDMI - 1920 x 1080 @ 60 Hz", true},
        {"External Display", "External display - Display framebuffer", true},
    };
    ASSERT_EQ(snapshot.displays.size(), 5);
    // The standard machine's two displays come first, then the three added here.
    for (int i = 0; i < 5; ++i) {
        const DeepDisplayDiagnosticDisplay &d = snapshot.displays[i];
        EXPECT_EQ(d.name, expected[i].name) << i;
        EXPECT_EQ(d.subtitle, expected[i].subtitle) << i;
        EXPECT_EQ(d.isExternal, expected[i].external) << i;
        EXPECT_EQ(d.properties.size(), 20);
    }

    // With no identities at all the external framebuffer shows its product name.
    const DeepDisplayDiagnosticsSnapshot bare = DeepDisplayDiagnosticsSnapshot::capture(*mac->services().registry, {});
    EXPECT_EQ(bare.displays[3].name, "Second Monitor");
    EXPECT_EQ(bare.displays[0].name, "Built-in Display");
}

TEST_F(SettingsSectionTest, AnUnavailableOrEmptyRegistryGivesNoDisplays)
{
    mac->setMatchingFails(true);
    EXPECT_TRUE(DeepDisplayDiagnosticsSnapshot::capture().displays.isEmpty());
    useMachine(SimulatedMac::empty());
    SettingsSectionModel settings;
    settings.refreshDiagnostics();
    EXPECT_EQ(settings.framebufferCount(), "0");
    EXPECT_TRUE(settings.diagnosticDisplays().isEmpty());
    EXPECT_EQ(settings.snapshot().capturedAt, clock->now());
}

// Refresh replaces the snapshot: new ids and time, the same values. Redrawing the rows
// does not capture.
TEST_F(SettingsSectionTest, RefreshGivesNewIdsAndTimeAndOnlyRefreshCaptures)
{
    SettingsSectionModel settings;
    EXPECT_TRUE(settings.snapshot().displays.isEmpty()) << "nothing is captured before the page shows";
    settings.pageShown();
    const DeepDisplayDiagnosticsSnapshot first = settings.snapshot();
    ASSERT_EQ(first.displays.size(), 2);
    EXPECT_EQ(first.displays[1].properties[1].value, "Not exposed");
    EXPECT_FALSE(first.displays[1].properties[1].isExposed);

    advance(1'000);
    settings.textureRow()->setOn(true);
    settings.batteryRow()->setOn(true);
    EXPECT_EQ(settings.snapshot().capturedAt, first.capturedAt);

    settings.refreshDiagnostics();
    const DeepDisplayDiagnosticsSnapshot second = settings.snapshot();
    EXPECT_EQ(second.capturedAt, first.capturedAt.addMSecs(1'000));
    ASSERT_EQ(second.displays.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(second.displays[i].id, first.displays[i].id);
        EXPECT_EQ(second.displays[i].name, first.displays[i].name);
        for (int k = 0; k < 20; ++k)
            EXPECT_EQ(second.displays[i].properties[k].value, first.displays[i].properties[k].value);
    }
}

TEST_F(SettingsSectionTest, TheSidecarRowShowsOnlyWithASidecarDisplay)
{
    SettingsSectionModel settings;
    settings.pageShown();
    EXPECT_FALSE(settings.sidecarRow()->isShown());

    SimDisplay sidecar;
    sidecar.id = 9;
    sidecar.name = QStringLiteral("Sidecar Display (iPad)");
    sidecar.isVirtual = true;
    sidecar.hasFramebuffer = false;
    sidecar.frame = QRectF(5000, 0, 1180, 820);
    mac->addDisplay(sidecar);
    settings.refreshDiagnostics();
    EXPECT_TRUE(settings.sidecarRow()->isShown());
    EXPECT_EQ(settings.sidecarRow()->detail(), "On");
    settings.sidecarRow()->setOn(false);
    EXPECT_FALSE(DisplayTuning::shared().sidecarOverlayEnabled());
    EXPECT_EQ(settings.sidecarRow()->detail(), "Off");
}

// What the cells show is one line of bounded plain text, whatever the registry holds.
TEST_F(SettingsSectionTest, ShownValuesAreSingleLinesOfBoundedLength)
{
    mac->setFramebufferProperty(1, QStringLiteral("PixelEncoding"), RegistryValue::string(QString(1 << 20, u'y')));
    mac->setFramebufferProperty(1, QStringLiteral("ColorModes"), RegistryValue::string(QStringLiteral("a\nb\tc\u2028d")));
    SettingsSectionModel settings;
    settings.refreshDiagnostics();
    const QVariantList properties = settings.diagnosticDisplays().at(0).toMap().value("properties").toList();
    const QString huge = properties.at(13).toMap().value("value").toString();
    EXPECT_LE(huge.size(), 241);
    EXPECT_TRUE(huge.contains(u'\u2026'));
    EXPECT_EQ(properties.at(18).toMap().value("value").toString(), "a b c d");
    EXPECT_EQ(settings.snapshot().displays[0].properties[13].value.size(), 1 << 20) << "the snapshot keeps the value";
}

} // namespace

#include "app/AppEngine.h"
#include "render/ViewRenderer.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <functional>

namespace {

// The page with hostile registry contents: values of every type at their edges, a
// framebuffer without a name, more framebuffers than identities. It draws without a
// warning in both appearances, and no two property cells overlap.
TEST_F(SettingsSectionTest, ThePageDrawsHostileValuesWithoutWarningsOrOverlaps)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    using V = RegistryValue;
    const QList<std::pair<const char *, RegistryValue>> hostile{
        {"enableDither", V::data({})},
        {"uniformity2D", V::data(QByteArray(1 << 20, 'z'))},
        {"forcePixelBacklightModulation", V::array({})},
        {"requestPixelBacklightModulation", V::array({V::array({V::dictionary({})})})},
        {"DisableDisplayOptimize", V::dictionary({})},
        {"GCPBypassesEDRPixels", V::string(QString(200'000, u'w'))},
        {"IOMFBBrightnessCompensationEnable", V::string(QStringLiteral("<img src=x onerror=alert(1)><b>bold</b>"))},
        {"IOMFBTemperatureCompensationEnable", V::number(std::nan(""))},
        {"limit_max_physical_brightness", V::string(QStringLiteral("line\nbreak\r\nand\ttab"))},
    };
    for (const auto &[key, value] : hostile)
        mac->setFramebufferProperty(2, QString::fromLatin1(key), value);
    addFramebuffer(3, false, QStringLiteral("<i>Markup</i> monitor"));
    mac->setEntryNameUnreadable(mac->display(3)->service, true);

    for (const char *appearance : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", appearance);
        test::WarningRecorder warnings;
        QQmlEngine engine;
        prepareAppEngine(engine);
        QQmlComponent component(&engine, QUrl("qrc:/Quellvista/App/qml/SettingsSection.qml"));
        std::unique_ptr<QObject> root(component.create());
        auto *page = qobject_cast<QQuickItem *>(root.get());
        ASSERT_TRUE(page) << qPrintable(component.errorString());
        QQuickWindow window;
        page->setParentItem(window.contentItem());
        page->setSize(QSizeF(860, 760));
        window.resize(860, 760);
        window.show();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();

        QList<QQuickItem *> cells;
        const std::function<void(QQuickItem *)> collect = [&](QQuickItem *item) {
            if (item->objectName() == QLatin1String("diagnosticCell"))
                cells << item;
            for (QQuickItem *child : item->childItems())
                collect(child);
        };
        collect(page);
        ASSERT_EQ(cells.size(), 60) << "three framebuffers of twenty cells";
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QRectF a = cells[i]->mapRectToScene(cells[i]->boundingRect());
            EXPECT_GT(a.width(), 100) << i;
            for (qsizetype j = i + 1; j < cells.size(); ++j) {
                const QRectF b = cells[j]->mapRectToScene(cells[j]->boundingRect());
                EXPECT_FALSE(a.intersects(b)) << appearance << " cells " << i << " and " << j;
            }
        }
        window.close();
        EXPECT_EQ(warnings.warnings(), QStringList()) << appearance;
    }
}

} // namespace
