#include "HostBusTest.h"

#include "platform/host/HostDisplays.h"
#include "platform/host/HostScreens.h"
#include "platform/host/MutterGamma.h"
#include "pages/display_comfort/DisplayTuningPanelModel.h"
#include "support/wayland/WlrTestFormula.h"

#include <QDBusArgument>
#include <QSignalSpy>
#include <QTest>

using namespace qv;
using host::GnomeNightLight;
using host::MutterGamma;

namespace {

const QString kDisplayConfig = QString::fromLatin1(MutterGamma::kService);
const QString kDisplayConfigControl = QStringLiteral("org.quellvista.Test.DisplayConfig");
const QStringList kConnectors = {QStringLiteral("DP-1"), QStringLiteral("eDP-1")};

// The display back-end over GNOME's display configuration, against the stand-in compositor.
class HostDisplaysGnomeTest : public test::HostBusTest {
protected:
    void SetUp() override
    {
        HostBusTest::SetUp();
        ASSERT_TRUE(folder.isValid());
    }
    void startConfig()
    {
        ASSERT_TRUE(bus->startService(kDisplayConfig, QStringLiteral(QV_TEST_SERVICES "/display_config.py")));
    }
    QDBusMessage control(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kDisplayConfig, QString::fromLatin1(MutterGamma::kPath), kDisplayConfigControl, method);
        message.setArguments(arguments);
        return bus->connection().call(message);
    }
    GammaRamp rampOf(const QString &connector)
    {
        const QVariantList answer = control(QStringLiteral("Ramp"), {connector}).arguments();
        GammaRamp ramp;
        qvariant_cast<QDBusArgument>(answer.value(0)) >> ramp.red;
        qvariant_cast<QDBusArgument>(answer.value(1)) >> ramp.green;
        qvariant_cast<QDBusArgument>(answer.value(2)) >> ramp.blue;
        return ramp;
    }
    // The back-end, once the compositor's displays are in.
    std::unique_ptr<HostDisplays> open(int displays = 2, int callTimeoutMs = 2'000)
    {
        auto host = std::make_unique<HostDisplays>(
            std::make_unique<MutterGamma>(bus->connection(), MutterGamma::Options{callTimeoutMs}), QStringLiteral("gnome-test"),
            folder.filePath(QStringLiteral("gamma.json")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == displays; }, 10'000));
        return host;
    }
    // Every display gets the formula over the ramp it holds (its original); true once the
    // compositor holds each ramp.
    bool tint(HostDisplays &host, const TransferFormula &formula)
    {
        const QHash<QString, GammaRamp> originals = ramps();
        for (const DisplayId id : host.activeDisplays())
            EXPECT_TRUE(host.setTransferFormula(id, formula).ok());
        return QTest::qWaitFor([&] {
            return std::all_of(kConnectors.begin(), kConnectors.end(), [&](const QString &connector) {
                return rampOf(connector) == gammaRampOverOriginal(formula, originals.value(connector));
            });
        }, 5'000);
    }
    // How many ramps the compositor was given.
    int writes()
    {
        int count = 0;
        const QDBusArgument answer = qvariant_cast<QDBusArgument>(control(QStringLiteral("Writes")).arguments().value(0));
        answer.beginArray();
        while (!answer.atEnd()) {
            quint32 serial = 0, crtc = 0;
            QString connector;
            GammaRamp ramp;
            answer.beginStructure();
            answer >> serial >> crtc >> connector >> ramp.red >> ramp.green >> ramp.blue;
            answer.endStructure();
            ++count;
        }
        answer.endArray();
        return count;
    }
    QHash<QString, GammaRamp> ramps()
    {
        QHash<QString, GammaRamp> all;
        for (const QString &connector : kConnectors)
            all.insert(connector, rampOf(connector));
        return all;
    }

    QTemporaryDir folder;
};

} // namespace

// Every CRTC gets its formula after its original was kept on disk; quitting puts every
// original back and leaves nothing kept.
TEST_F(HostDisplaysGnomeTest, TheFormulaReachesEveryCrtcAndQuitPutsTheOriginalsBack)
{
    startConfig();
    const QHash<QString, GammaRamp> originals = ramps();
    auto host = open();
    EXPECT_TRUE(host->transferFormulasReachScreens());
    EXPECT_TRUE(host->transferFormulaNote().isEmpty());
    ASSERT_TRUE(tint(*host, test::kWarmFormula));
    EXPECT_TRUE(QFile::exists(host->restoreFile().path()));
    host->restoreColorSyncSettings();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals; }, 5'000))
        << logs->messages(QStringLiteral("HostDisplays")).join(u'\n').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(host->restoreFile().path()); }, 5'000))
        << "dropped once a read shows the originals";
    EXPECT_TRUE(logs->containsPart(QStringLiteral("HostDisplays"),
                                   QStringLiteral("Displays: gamma through GNOME display configuration")));
}

// A run that ended without putting the originals back (killed): the next start puts them
// back before anything else is written, once the compositor's layout is in.
TEST_F(HostDisplaysGnomeTest, ANewStartPutsBackWhatAKilledRunLeft)
{
    startConfig();
    const QHash<QString, GammaRamp> originals = ramps();
    {
        auto killed = open();
        ASSERT_TRUE(tint(*killed, test::kWarmFormula));
    } // gone without restoreColorSyncSettings()
    ASSERT_NE(ramps(), originals);
    auto next = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals; }, 5'000));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("HostDisplays"), QStringLiteral("Put back the gamma ramp")));
}

// A monitor plugged in is a new display with its own CRTC, announced to the callbacks;
// its formula keeps its original first. CRTCs trading ids under a write: the write is
// refused as stale, the layout read again, and the formula reaches the right CRTC.
TEST_F(HostDisplaysGnomeTest, ANewCrtcGetsItsFormulaAndAStaleSerialNeverHitsTheWrongCrtc)
{
    startConfig();
    auto host = open();
    QList<QPair<DisplayId, quint32>> changes;
    host->registerReconfigurationCallback([&](DisplayId id, quint32 flags) { changes << qMakePair(id, flags); });
    const GammaRamp hdmiOriginal = [&] {
        control(QStringLiteral("PlugMonitor"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == 3; }, 5'000));
        return rampOf(QStringLiteral("HDMI-1"));
    }();
    const std::optional<DisplayId> hdmi = host->displayForOutputName(QStringLiteral("HDMI-1"));
    ASSERT_TRUE(hdmi);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].first, *hdmi);
    EXPECT_TRUE(changes[0].second & kDisplayAddFlag);
    ASSERT_TRUE(host->setTransferFormula(*hdmi, test::kWarmFormula).ok());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rampOf(QStringLiteral("HDMI-1")) == gammaRampOverOriginal(test::kWarmFormula, hdmiOriginal); },
        5'000));

    const GammaRamp panel = rampOf(QStringLiteral("eDP-1"));
    const GammaRamp dpOriginal = rampOf(QStringLiteral("DP-1"));
    control(QStringLiteral("SwapCrtcs"));
    TransferFormula dim = TransferFormula::identity();
    dim.redMax = dim.greenMax = dim.blueMax = 0.6f;
    const DisplayId dp = *host->displayForOutputName(QStringLiteral("DP-1"));
    EXPECT_TRUE(host->setTransferFormula(dp, dim).ok()) << "the back-end cannot know yet";
    EXPECT_TRUE(QTest::qWaitFor([&] { return rampOf(QStringLiteral("DP-1")) == gammaRampOverOriginal(dim, dpOriginal); },
                                5'000));
    EXPECT_EQ(rampOf(QStringLiteral("eDP-1")), panel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->transferFormulaNote().isEmpty(); }, 5'000))
        << "a refusal that was mended is not the page's";

    host->restoreColorSyncSettings();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rampOf(QStringLiteral("HDMI-1")) == hdmiOriginal; }, 5'000));
}

// The compositor stalls (stopped) across an animated change from a tint to the originals:
// at most one write per CRTC is under way, nothing unanswered counts as set, the kept
// originals stay, and the stall is one line. Once it answers, the originals shown by a
// read let the kept ones go; the next tint is laid over the originals, and quitting puts
// them back. A stall at quit, with a step of a fade under way, still sends the originals
// behind it and keeps them for the next start.
TEST_F(HostDisplaysGnomeTest, AStalledCompositorLosesNothing)
{
    startConfig();
    const QHash<QString, GammaRamp> originals = ramps();
    auto host = open(2, 300);
    ASSERT_TRUE(tint(*host, test::kWarmFormula));
    const QString kept = host->restoreFile().path();

    bus->pauseMock(kDisplayConfig, true);
    for (int step = 1; step <= 28; ++step) {
        TransferFormula f = test::kWarmFormula;
        const float t = float(step) / 28;
        f.redMax += (1 - f.redMax) * t;
        f.greenMax += (1 - f.greenMax) * t;
        f.blueMax += (1 - f.blueMax) * t;
        for (const DisplayId id : host->activeDisplays())
            EXPECT_TRUE(host->setTransferFormula(id, f).ok());
    }
    host->restoreColorSyncSettings();
    QTest::qWait(1'000); // more than two calls' time
    EXPECT_TRUE(QFile::exists(kept)) << "nothing unanswered shows the originals back";
    EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("did not answer")).size(), 1);
    bus->pauseMock(kDisplayConfig, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals; }, 5'000));
    EXPECT_LE(writes(), 2 * 4) << "a tint, the first step and the latest, then the originals, per CRTC";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(kept); }, 5'000));

    ASSERT_TRUE(tint(*host, test::kWarmFormula)) << "laid over the originals, not over the tint";
    QCoreApplication::processEvents(); // the tint's answers, in before the compositor's: nothing is under way
    bus->pauseMock(kDisplayConfig, true);
    TransferFormula step = test::kWarmFormula; // a fade's step, under way when the quit comes
    step.blueMax = (1 + step.blueMax) / 2;
    for (const DisplayId id : host->activeDisplays())
        EXPECT_TRUE(host->setTransferFormula(id, step).ok());
    host->restoreColorSyncSettings();
    QSignalSpy unanswered(&host->method(), &qv::host::GammaMethod::writeFailed);
    host.reset();
    EXPECT_EQ(unanswered.size(), 1) << "nothing is waited for after the first call that goes unanswered";
    EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("not seen on the screens")).size(), 1);
    EXPECT_TRUE(QFile::exists(kept)) << "kept for the next start";
    bus->pauseMock(kDisplayConfig, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals; }, 5'000))
        << "the originals were sent behind the step under way";
    auto next = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals && !QFile::exists(kept); }, 5'000))
        << logs->messages(QStringLiteral("HostDisplays")).join(u'\n').toStdString();
}

// GNOME stalls at start: busy from the first call, stopped right after GetResources, or
// right after telling the layout (before the ramps). The stall is one line of the log and
// the page says why once; the calls stay under way, so that as soon as it answers the
// displays are there and take the tuning (given in the stall, or right after it) over the
// originals, with no wait for a retry: the clock moves no further than a call's time.
// Quitting puts the originals back.
TEST_F(HostDisplaysGnomeTest, AStallAtStartEndsWithTheTuningOnTheScreens)
{
    startConfig();
    const QHash<QString, GammaRamp> originals = ramps();
    // The stand-in is stopped once a call to it, sent behind the layout's, goes unanswered
    // for a call's time (so the layout's calls outlast theirs too).
    const auto stopped = [&] {
        QDBusMessage probe = QDBusMessage::createMethodCall(kDisplayConfig, QString::fromLatin1(MutterGamma::kPath),
                                                            kDisplayConfigControl, QStringLiteral("Writes"));
        return bus->connection().call(probe, QDBus::Block, 300).type() == QDBusMessage::ErrorMessage;
    };
    for (const QString &stall : {QString(), QStringLiteral("GetResources"), QStringLiteral("GetCurrentState")}) {
        SCOPED_TRACE(stall.toStdString());
        logs->clear();
        const bool layoutKnown = stall == QLatin1String("GetCurrentState");
        if (stall.isEmpty())
            bus->pauseMock(kDisplayConfig, true);
        else
            control(QStringLiteral("StallAfter"), {stall});
        auto host = open(layoutKnown ? 2 : 0, 300);
        ASSERT_TRUE(QTest::qWaitFor(stopped, 5'000));
        advance(300); // the layout's calls outlast a call's time
        const QString note = host->transferFormulaNote();
        EXPECT_EQ(note.count(QLatin1String("GNOME's display configuration does not answer")), 1) << note.toStdString();
        for (const DisplayId id : host->activeDisplays())
            EXPECT_FALSE(host->setTransferFormula(id, test::kWarmFormula).ok());
        bus->pauseMock(kDisplayConfig, false);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return host->activeDisplays().size() == 2 && host->transferFormulaNote().isEmpty(); }, 5'000));
        if (!layoutKnown)
            for (const DisplayId id : host->activeDisplays())
                EXPECT_TRUE(host->setTransferFormula(id, test::kWarmFormula).ok());
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return std::all_of(kConnectors.begin(), kConnectors.end(), [&](const QString &connector) {
                return rampOf(connector) == gammaRampOverOriginal(test::kWarmFormula, originals.value(connector));
            });
        }, 5'000));
        EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("did not answer")).size(), 1);
        host->restoreColorSyncSettings();
        host.reset();
        EXPECT_EQ(ramps(), originals);
    }
}

// Answers that come in another order than the writes, originals put back while the layout
// is read again, and a compositor that goes in the middle of a write: the ramps end as
// written last, and the originals stay kept until they are back.
TEST_F(HostDisplaysGnomeTest, AnswersOutOfOrderOrAServiceThatGoesMidWrite)
{
    startConfig();
    const QHash<QString, GammaRamp> originals = ramps();
    auto host = open();
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QStringLiteral("reverse")});
    TransferFormula dim = TransferFormula::identity();
    dim.redMax = dim.greenMax = dim.blueMax = 0.6f;
    for (const TransferFormula &f : {test::kWarmFormula, dim})
        for (const DisplayId id : host->activeDisplays())
            EXPECT_TRUE(host->setTransferFormula(id, f).ok());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return rampOf(QStringLiteral("DP-1")) == gammaRampOverOriginal(dim, originals.value(QStringLiteral("DP-1")))
               && rampOf(QStringLiteral("eDP-1")) == gammaRampOverOriginal(dim, originals.value(QStringLiteral("eDP-1")));
    }, 5'000));

    // The originals meet a layout being read again: they are written once it is in.
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QString()});
    control(QStringLiteral("BumpSerial"), {true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<MutterGamma &>(host->method()).isReading(); }, 5'000));
    host->restoreColorSyncSettings();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ramps() == originals && !QFile::exists(host->restoreFile().path()); },
                                5'000));

    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QStringLiteral("silent")});
    for (const DisplayId id : host->activeDisplays())
        EXPECT_TRUE(host->setTransferFormula(id, test::kWarmFormula).ok());
    bus->stopMock(kDisplayConfig);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->transferFormulasReachScreens(); }, 5'000));
    EXPECT_TRUE(QFile::exists(host->restoreFile().path()));
    host->restoreColorSyncSettings();
    EXPECT_TRUE(QFile::exists(host->restoreFile().path())) << "nothing could be put back";
}

// A session without CRTCs (remote or virtual): said once in the log and on the page, and
// no formula is written; CRTCs that come later take formulas again. The page says the
// comfort veil is left only where it is shown: not without a monitor listed for it to
// cover, nor where the desktop keeps overlays out.
TEST_F(HostDisplaysGnomeTest, ASessionWithoutCrtcsSaysSoOnce)
{
    startConfig();
    control(QStringLiteral("RemoveCrtcs"));
    auto host = open(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->transferFormulasReachScreens(); }, 5'000));
    EXPECT_TRUE(host->transferFormulaNote().contains(QLatin1String("lists no CRTCs")));
    {
        HostScreens screens(host.get());
        struct NoOverlays final : Panels {
            std::unique_ptr<Panel> createPanel(const PanelConfiguration &, const ScreenInfo &, QObject *content) override
            {
                delete content;
                return nullptr;
            }
            QString overlayLimitation() const override { return QStringLiteral("This desktop does not let it draw"); }
        } noOverlays;
        const QString nothing = QStringLiteral("Nothing carries the tuning here");
        const QString veil = QStringLiteral("The comfort veil can still soften the screen");
        PlatformServices services = mac->services();
        services.displays = host.get();
        services.screens = &screens;
        installPlatform(services);
        EXPECT_TRUE(DisplayTuningPanelModel::formulaNote().contains(nothing)) << "no monitor for the veil";
        services.screens = mac->services().screens;
        installPlatform(services);
        EXPECT_TRUE(DisplayTuningPanelModel::formulaNote().contains(veil)) << "screens the veil covers";
        services.panels = &noOverlays;
        installPlatform(services);
        EXPECT_TRUE(DisplayTuningPanelModel::formulaNote().contains(nothing)) << "overlays kept out";
        EXPECT_FALSE(DisplayTuningPanelModel::formulaNote().contains(QLatin1String("veil can")));
        installPlatform(mac->services());
    }
    control(QStringLiteral("BumpSerial"), {true});
    QTest::qWait(300);
    EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("no CRTCs")).size(), 1);
    EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("Displays: no gamma through GNOME")).size(), 1);
    EXPECT_FALSE(host->setTransferFormula(1, test::kWarmFormula).ok());
    EXPECT_EQ(writes(), 0);
}

// CRTCs that go while their originals are kept: the log names them by the compositor's
// own ids, and their originals wait for the next start.
TEST_F(HostDisplaysGnomeTest, CrtcsThatGoAreNamedByTheCompositorsIds)
{
    startConfig();
    auto host = open();
    ASSERT_TRUE(tint(*host, test::kWarmFormula));
    control(QStringLiteral("RemoveCrtcs"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().isEmpty(); }, 5'000));
    host->restoreColorSyncSettings();
    const QStringList gone = logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral(" is gone"));
    EXPECT_EQ(gone.size(), 2);
    EXPECT_TRUE(gone.join(u'\n').contains(QLatin1String("CRTC 0 is gone")));
    EXPECT_TRUE(gone.join(u'\n').contains(QLatin1String("CRTC 1 is gone")));
    EXPECT_TRUE(QFile::exists(host->restoreFile().path()));
}

// The page says so while GNOME's Night Light is on, when the compositor cannot be reached,
// and when it refuses to tell its layout; none waits on the main thread nor writes anything.
TEST_F(HostDisplaysGnomeTest, ThePageSaysWhatHoldsTheFormulaBack)
{
    auto host = open(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->transferFormulasReachScreens(); }, 5'000));
    EXPECT_FALSE(host->transferFormulaNote().isEmpty());
    EXPECT_FALSE(host->setTransferFormula(1, test::kWarmFormula).ok());
    EXPECT_EQ(logs->messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("Displays: ")).size(), 1);

    startConfig();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == 2; }, 5'000));
    EXPECT_TRUE(host->transferFormulaNote().isEmpty());
    // A layout refused is asked for again at the user's next change (with no display known,
    // the tuning's change puts back the colours), not only after a while.
    control(QStringLiteral("SetFault"), {QStringLiteral("GetResources"), QStringLiteral("refuse")});
    control(QStringLiteral("BumpSerial"), {true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->transferFormulaNote().contains(QLatin1String("refused")); }, 5'000));
    control(QStringLiteral("SetFault"), {QStringLiteral("GetResources"), QString()});
    advance(1'000);
    host->restoreColorSyncSettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == 2; }, 5'000));
    ASSERT_TRUE(bus->startMock(QString::fromLatin1(GnomeNightLight::kService),
                               {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/gsd_color.py"),
                                QStringLiteral("-p"), QStringLiteral("{\"active\": true}")}));
    QSignalSpy noteChanged(host.get(), &HostDisplays::transferFormulaNoteChanged);
    host->followNightLight(std::make_unique<GnomeNightLight>(bus->connection()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return host->transferFormulaNote() == QString::fromLatin1(GnomeNightLight::kText); }, 5'000));
    EXPECT_GE(noteChanged.size(), 2);
    EXPECT_TRUE(host->transferFormulasReachScreens()) << "both tint the screens; ours is still written";
}

// The session chooses: GNOME's display configuration where it is on the session bus (its
// kept ramps named by the bus), else a compositor's socket, else none with the reason.
TEST_F(HostDisplaysGnomeTest, TheSessionChoosesTheMethod)
{
    using Method = HostDisplays::Method;
    EXPECT_EQ(HostDisplays::chooseMethod(false, true, true), Method::randr);
    EXPECT_EQ(HostDisplays::chooseMethod(true, true, true), Method::gnome);
    EXPECT_EQ(HostDisplays::chooseMethod(true, false, true), Method::wlroots);
    EXPECT_EQ(HostDisplays::chooseMethod(true, false, false), Method::none);

    startConfig();
    HostDisplays::Session session{QStringLiteral("wayland"), QString(), QStringLiteral(":4242"), bus->connection()};
    auto gnome = HostDisplays::forSession(session);
    EXPECT_EQ(gnome->method().methodName(), QStringLiteral("GNOME display configuration"));
    EXPECT_TRUE(gnome->restoreFile().path().contains(QStringLiteral("gamma-ramps-gnome_")))
        << gnome->restoreFile().path().toStdString();
    gnome.reset();

    bus->stopMock(kDisplayConfig);
    session.waylandDisplay = QStringLiteral("no-compositor-here");
    auto none = HostDisplays::forSession(session);
    EXPECT_TRUE(none->method().isNone());
    EXPECT_TRUE(none->restoreFile().path().isEmpty()) << "nothing is changed, so nothing is kept";
    EXPECT_FALSE(none->transferFormulasReachScreens());
    EXPECT_TRUE(none->transferFormulaNote().startsWith(
        QStringLiteral("This desktop does not let applications set the screens' gamma")));
    EXPECT_FALSE(none->setTransferFormula(1, test::kWarmFormula).ok());
}
