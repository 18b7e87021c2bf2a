// The RandR display services on an X server with several outputs (the dummy video driver),
// real EDIDs and a starting ramp of its own on each CRTC.

#include "platform/host/HostDisplays.h"
#include "support/DummyXorg.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/RandrClient.h"
#include "support/RealEdids.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace qv {
namespace {

class RandrMonitorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isRunning())
            QV_SKIP_WITHOUT(qPrintable(server.failure()));
        ASSERT_TRUE(folder.isValid());
        client = std::make_unique<test::RandrClient>(server.display());
        // Three monitors side by side, probed as a desktop does at login.
        ASSERT_TRUE(server.enable(QStringLiteral("DUMMY1"), QStringLiteral("1920x1080"), {2048, 0}));
        ASSERT_TRUE(server.enable(QStringLiteral("DUMMY2"), QStringLiteral("1600x1200"), {3968, 0}));
        ASSERT_EQ(server.xrandr({}), 0);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(client->publishEdid(output(i), test::kRealEdids[i]));
            ASSERT_TRUE(client->setRamp(output(i), test::startingRamp(i + 1, 256)));
        }
    }

    static QString output(int index) { return QStringLiteral("DUMMY%1").arg(index); }

    std::unique_ptr<HostDisplays> open(const QString &display = {})
    {
        HostDisplays::Options options;
        options.displayName = display.isEmpty() ? server.display() : display;
        options.restoreFilePath = folder.filePath(QStringLiteral("gamma.json"));
        return std::make_unique<HostDisplays>(options);
    }

    test::DummyXorg server;
    QTemporaryDir folder;
    std::unique_ptr<test::RandrClient> client;
};

TEST_F(RandrMonitorsTest, ListsEveryLitMonitorWithItsEdid)
{
    auto displays = open();
    const QList<DisplayId> active = displays->activeDisplays();
    ASSERT_EQ(active.size(), 3);
    QStringList names;
    for (const DisplayId id : active)
        names << displays->monitorName(id);
    EXPECT_EQ(names, (QStringList{QStringLiteral("LP140WH2-TLA2"), QStringLiteral("D3218HN"), QStringLiteral("1619w")}));
    EXPECT_EQ(displays->pixelsWide(displays->displayForOutputName(output(2)).value_or(0)), 1600);
}

TEST_F(RandrMonitorsTest, EveryChangeReachesTheCallbacksThoughRepliesAreReadBetween)
{
    auto displays = open();
    QList<quint32> flags;
    displays->registerReconfigurationCallback([&](DisplayId, quint32 f) { flags << f; });
    const DisplayId main = displays->mainDisplay();
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const bool on = round % 2 == 1;
        ASSERT_TRUE(on ? server.enable(output(2), QStringLiteral("1600x1200"), {3968, 0}) : server.disable(output(2)));
        // A reply read now takes the change's events off the socket.
        ASSERT_TRUE(displays->currentGammaRamp(main).has_value());
        const quint32 expected = on ? kDisplayAddFlag : kDisplayRemoveFlag;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !flags.isEmpty() && (flags.last() & expected); }, 2000));
        flags.clear();
    }
}

TEST_F(RandrMonitorsTest, OriginalsAreKeptByCrtcAcrossAKillAndAnOutputSwitchedOff)
{
    QList<GammaRamp> originals;
    for (int i = 0; i < 3; ++i)
        originals << *client->ramp(output(i));
    {
        auto displays = open();
        TransferFormula evening;
        evening.blueMax = 0.6f;
        evening.greenMax = 0.8f;
        for (const DisplayId id : displays->activeDisplays())
            ASSERT_TRUE(displays->setTransferFormula(id, evening).ok());
        // Killed: gone without putting anything back.
    }
    ASSERT_TRUE(server.disable(output(1)));
    {
        // The next start puts back every CRTC, the one switched off too (it keeps its ramp).
        auto displays = open();
        EXPECT_EQ(client->ramp(output(0)), originals[0]);
        EXPECT_EQ(client->ramp(output(2)), originals[2]);
        TransferFormula dim;
        dim.redMax = dim.greenMax = dim.blueMax = 0.7f;
        ASSERT_TRUE(displays->setTransferFormula(displays->mainDisplay(), dim).ok());
        displays->restoreColorSyncSettings();
        EXPECT_EQ(client->ramp(output(0)), originals[0]);
        EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("gamma.json"))));
    }
    ASSERT_TRUE(server.enable(output(1), QStringLiteral("1920x1080"), {2048, 0}));
    {
        // Lit again, with no copy of ours running: its original.
        EXPECT_EQ(client->ramp(output(1)), originals[1]);
        auto displays = open();
        EXPECT_EQ(client->ramp(output(1)), originals[1]);
        EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("gamma.json"))));
    }
}

TEST_F(RandrMonitorsTest, AnOutputLitAgainWhileRunningGetsItsOriginalBack)
{
    const GammaRamp original = *client->ramp(output(2));
    auto displays = open();
    const DisplayId id = *displays->displayForOutputName(output(2));
    TransferFormula dim;
    dim.redMax = dim.greenMax = dim.blueMax = 0.6f;
    ASSERT_TRUE(displays->setTransferFormula(id, dim).ok());
    ASSERT_TRUE(server.disable(output(2)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return displays->activeDisplays().size() == 2; }, 2000));
    displays->restoreColorSyncSettings(); // quit with the output off: its original stays kept
    ASSERT_TRUE(server.enable(output(2), QStringLiteral("1600x1200"), {3968, 0}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return displays->activeDisplays().size() == 3; }, 2000));
    EXPECT_EQ(client->ramp(output(2)), original);
}

TEST_F(RandrMonitorsTest, TheKeptRampsFollowTheServerWhateverTheDisplayText)
{
    const GammaRamp original = *client->ramp(output(0));
    const QString number = server.display().mid(1);
    for (const QString &again : {server.display() + QStringLiteral(".0"), QStringLiteral("unix:") + number}) {
        SCOPED_TRACE(qPrintable(again));
        {
            auto displays = open(server.display());
            TransferFormula dim;
            dim.redMax = 0.5f;
            ASSERT_TRUE(displays->setTransferFormula(displays->mainDisplay(), dim).ok());
        }
        // The default file of each display text: the same for one server.
        EXPECT_EQ(GammaRestoreFile::serverOfDisplay(again), GammaRestoreFile::serverOfDisplay(server.display()));
        auto displays = open(again);
        EXPECT_EQ(client->ramp(output(0)), original);
    }
}

TEST_F(RandrMonitorsTest, AResetOrAQuitPutsBackEachOutputsOriginalAndLeavesAForeignRamp)
{
    auto displays = open();
    TransferFormula dim;
    dim.redMax = dim.greenMax = dim.blueMax = 0.6f;
    for (const DisplayId id : displays->activeDisplays())
        ASSERT_TRUE(displays->setTransferFormula(id, dim).ok());
    const auto display = [&](int index) { return *displays->displayForOutputName(output(index)); };
    // One display reset gets its own original, not a linear ramp; the others keep the formula.
    ASSERT_TRUE(displays->resetTransferFormula(display(0)).ok());
    EXPECT_EQ(client->ramp(output(0)), test::startingRamp(1, 256));
    EXPECT_EQ(client->ramp(output(2)), gammaRampOverOriginal(dim, test::startingRamp(3, 256)));
    ASSERT_TRUE(displays->setTransferFormula(display(0), dim).ok());
    ASSERT_TRUE(displays->resetTransferFormula(display(0)).ok());
    EXPECT_EQ(client->ramp(output(0)), test::startingRamp(1, 256));

    const GammaRamp foreign = test::startingRamp(4, 256);
    ASSERT_TRUE(client->setRamp(output(1), foreign));
    test::LogCapture log;
    EXPECT_TRUE(displays->resetTransferFormula(display(1)).ok());
    EXPECT_EQ(client->ramp(output(1)), foreign);
    displays->restoreColorSyncSettings();
    EXPECT_EQ(client->ramp(output(1)), foreign);
    EXPECT_EQ(client->ramp(output(2)), test::startingRamp(3, 256));
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).size(), 2);
}

TEST_F(RandrMonitorsTest, AnOutputThatDrivesACrtcIsActiveWhateverItsConnectionState)
{
    auto displays = open();
    // Lit without a probe: RandR still reports it disconnected.
    ASSERT_TRUE(server.enable(QStringLiteral("DUMMY3"), QStringLiteral("1024x768"), {5568, 0}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return displays->displayForOutputName(QStringLiteral("DUMMY3")).has_value(); },
                                2000));
    const DisplayId id = *displays->displayForOutputName(QStringLiteral("DUMMY3"));
    EXPECT_EQ(displays->pixelsWide(id), 1024);
    TransferFormula dim;
    dim.redMax = 0.5f;
    const auto original = client->ramp(QStringLiteral("DUMMY3"));
    ASSERT_TRUE(original);
    ASSERT_TRUE(displays->setTransferFormula(id, dim).ok());
    EXPECT_EQ(client->ramp(QStringLiteral("DUMMY3")), gammaRampOverOriginal(dim, *original));
    displays->restoreColorSyncSettings();
}

TEST_F(RandrMonitorsTest, OutputsShowingTheSameAreaAreMirrored)
{
    ASSERT_TRUE(server.xrandr({QStringLiteral("--current"), QStringLiteral("--output"), output(2),
                               QStringLiteral("--mode"), QStringLiteral("1920x1080"), QStringLiteral("--pos"),
                               QStringLiteral("2048x0")})
                == 0);
    auto displays = open();
    const auto id = [&](int i) { return *displays->displayForOutputName(output(i)); };
    EXPECT_FALSE(displays->isInMirrorSet(id(0)));
    EXPECT_TRUE(displays->isInMirrorSet(id(1)));
    EXPECT_TRUE(displays->isInMirrorSet(id(2)));
}

// While running: the monitors of two ports swap, a third port gets another monitor, a
// fourth is switched off. At quit every CRTC written holds the original of the monitor on
// it now, or its own, and the one switched off shows its own when lit with nothing running.
TEST_F(RandrMonitorsTest, AtQuitEveryCrtcWrittenGetsAnOriginalWhateverMovedMeanwhile)
{
    ASSERT_TRUE(server.enable(output(3), QStringLiteral("1024x768"), {5568, 0}));
    ASSERT_TRUE(client->setRamp(output(3), test::startingRamp(4, 256)));
    QList<GammaRamp> originals;
    for (int i = 0; i < 4; ++i)
        originals << *client->ramp(output(i));
    auto displays = open();
    TransferFormula evening;
    evening.blueMax = 0.55f;
    evening.greenMax = 0.8f;
    const auto writeAll = [&] {
        for (const DisplayId id : displays->activeDisplays())
            ASSERT_TRUE(displays->setTransferFormula(id, evening).ok());
    };
    writeAll();

    QByteArray another = test::kOlderMonitor; // another serial, the same checksum
    another[12] = char(another[12] + 1);
    another[127] = char(another[127] - 1);
    ASSERT_TRUE(client->publishEdid(output(0), test::kRealEdids[1]));
    ASSERT_TRUE(client->publishEdid(output(1), test::kRealEdids[0]));
    ASSERT_TRUE(client->publishEdid(output(2), another));
    ASSERT_TRUE(server.disable(output(3)));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return displays->activeDisplays().size() == 3
                   && displays->monitorName(*displays->displayForOutputName(output(0))) == QLatin1String("D3218HN");
        },
        5000));
    writeAll(); // the application's re-apply
    displays->restoreColorSyncSettings();
    displays.reset();

    EXPECT_EQ(client->ramp(output(0)), originals[1]);
    EXPECT_EQ(client->ramp(output(1)), originals[0]);
    EXPECT_EQ(client->ramp(output(2)), originals[2]);
    ASSERT_TRUE(server.enable(output(3), QStringLiteral("1024x768"), {5568, 0}));
    EXPECT_EQ(client->ramp(output(3)), originals[3]);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("gamma.json"))));
}

// A restore file of an earlier version, which kept ramps by output, names an output that is
// off at start: lit while running, it gets the ramp kept for it back at once (the tint on it
// is no original), and the file keeps it no longer.
TEST_F(RandrMonitorsTest, ARampKeptByOutputGoesBackWhenItsOutputIsLitWhileRunning)
{
    const GammaRamp original = *client->ramp(output(2));
    const GammaRestoreFile file(folder.filePath(QStringLiteral("gamma.json")));
    const QString serverName = GammaRestoreFile::serverOfDisplay(server.display());
    QString mark;
    QList<SavedGammaRamp> kept;
    {
        auto displays = open();
        TransferFormula dim;
        dim.redMax = dim.greenMax = dim.blueMax = 0.6f;
        ASSERT_TRUE(displays->setTransferFormula(*displays->displayForOutputName(output(2)), dim).ok());
        ASSERT_EQ(file.read(serverName, &mark, &kept, nullptr), GammaRestoreFile::State::read);
    } // killed; the file as an earlier version wrote it:
    ASSERT_TRUE(file.write(serverName, mark, {{output(2), kept.value(0).monitor, original, 0, {}}}, nullptr));
    ASSERT_TRUE(server.disable(output(2)));
    auto displays = open();
    ASSERT_TRUE(server.enable(output(2), QStringLiteral("1600x1200"), {3968, 0}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return displays->activeDisplays().size() == 3; }, 2000));
    EXPECT_EQ(client->ramp(output(2)), original);
    EXPECT_FALSE(QFile::exists(file.path()));
}

// Two copies on one server: the second keeps the first's original, not its tint, and
// neither start nor quit of one undoes the other.
TEST_F(RandrMonitorsTest, TwoCopiesOnOneServerShareTheOriginals)
{
    const GammaRamp original = *client->ramp(output(0));
    TransferFormula first, second;
    first.blueMax = 0.5f;
    second.redMax = 0.7f;
    auto a = open();
    ASSERT_TRUE(a->setTransferFormula(a->mainDisplay(), first).ok());
    auto b = open();
    EXPECT_EQ(client->ramp(output(0)), gammaRampOverOriginal(first, original));
    ASSERT_TRUE(b->setTransferFormula(b->mainDisplay(), second).ok());
    a->restoreColorSyncSettings(); // the tint on the screen is the other copy's: left
    a.reset();
    EXPECT_EQ(client->ramp(output(0)), gammaRampOverOriginal(second, original));
    b->restoreColorSyncSettings();
    EXPECT_EQ(client->ramp(output(0)), original);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("gamma.json"))));

    // One killed while the other runs: what it left on the screen goes back at the next start.
    auto c = open();
    auto d = open();
    ASSERT_TRUE(d->setTransferFormula(d->mainDisplay(), second).ok());
    ASSERT_TRUE(c->setTransferFormula(c->mainDisplay(), first).ok());
    c.reset();
    d->restoreColorSyncSettings();
    EXPECT_EQ(client->ramp(output(0)), gammaRampOverOriginal(first, original));
    d.reset();
    open();
    EXPECT_EQ(client->ramp(output(0)), original);
}

// Twins (one EDID on three lit ports and on a fourth that is switched off): each has an
// id of its own and its own original under the formula, after a kill, at quit, and in a
// restore file of an earlier version (which named twins alike); one left alone when the
// others are unplugged takes its monitor's own id, and keeps its original.
TEST_F(RandrMonitorsTest, TwinsAreToldApartByTheirPorts)
{
    ASSERT_TRUE(server.enable(output(3), QStringLiteral("1024x768"), {5568, 0}));
    ASSERT_EQ(server.xrandr({}), 0);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(client->publishEdid(output(i), test::kRealEdids[1]));
    ASSERT_TRUE(server.disable(output(3)));
    QList<GammaRamp> originals;
    for (int i = 0; i < 3; ++i)
        originals << *client->ramp(output(i));
    TransferFormula evening;
    evening.blueMax = 0.55f;
    evening.greenMax = 0.8f;
    const auto applyAndCheck = [&](HostDisplays &displays) {
        QSet<DisplayId> ids;
        for (int i = 0; i < 3; ++i) {
            const DisplayId id = displays.displayForOutputName(output(i)).value_or(0);
            ids << id;
            EXPECT_NE(displays.loneDisplayId(id), std::nullopt);
            EXPECT_EQ(displays.screenName(id), QStringLiteral("D3218HN (DUMMY%1)").arg(i));
            ASSERT_TRUE(displays.setTransferFormula(id, evening).ok());
            EXPECT_EQ(client->ramp(output(i)), gammaRampOverOriginal(evening, originals[i])) << i;
        }
        EXPECT_EQ(ids.size(), 3);
    };
    const QString file = folder.filePath(QStringLiteral("gamma.json"));
    {
        auto displays = open();
        applyAndCheck(*displays);
        // Killed; the file as an earlier version wrote it, every twin under one name.
        QFile kept(file);
        ASSERT_TRUE(kept.open(QIODevice::ReadWrite));
        QByteArray text = kept.readAll();
        ASSERT_TRUE(text.contains(" on DUMMY2"));
        for (int i = 0; i < 3; ++i)
            text.replace(" on DUMMY" + QByteArray::number(i), "");
        ASSERT_TRUE(kept.resize(0) && kept.write(text) == text.size());
    }
    {
        auto displays = open();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(client->ramp(output(i)), originals[i]) << i;
        applyAndCheck(*displays);
        displays->restoreColorSyncSettings();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(client->ramp(output(i)), originals[i]) << i;
    }
    // The others unplugged while it runs: DUMMY0 keeps its id while the twin switched off
    // is connected, and takes its monitor's own id when that one is unplugged too.
    auto displays = open();
    applyAndCheck(*displays);
    const DisplayId twin = *displays->displayForOutputName(output(0));
    const DisplayId lone = *displays->loneDisplayId(twin);
    for (int i = 1; i < 3; ++i)
        ASSERT_TRUE(client->publishEdid(output(i), {}));
    ASSERT_TRUE(server.disable(output(1)));
    ASSERT_TRUE(server.disable(output(2)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return displays->activeDisplays() == QList<DisplayId>{twin}; }, 5000));
    ASSERT_TRUE(client->publishEdid(output(3), {}));
    displays->reloadConfiguration();
    ASSERT_EQ(displays->activeDisplays(), QList<DisplayId>{lone});
    EXPECT_EQ(displays->loneDisplayId(lone), std::nullopt);
    EXPECT_EQ(displays->screenName(lone), QStringLiteral("D3218HN"));
    ASSERT_TRUE(displays->setTransferFormula(lone, evening).ok());
    EXPECT_EQ(client->ramp(output(0)), gammaRampOverOriginal(evening, originals[0]));
    displays->restoreColorSyncSettings();
    EXPECT_EQ(client->ramp(output(0)), originals[0]);
    ASSERT_TRUE(server.enable(output(1), QStringLiteral("1920x1080"), {2048, 0}));
    EXPECT_EQ(client->ramp(output(1)), originals[1]);
    EXPECT_FALSE(QFile::exists(file));
}

// A twin of a monitor plugged in while it runs, and that monitor unplugged later: the
// monitor's id takes its port and says which it had, each twin's formula lies over its own
// original, and the twin left alone, known by its monitor's id again, keeps its own (not
// the one kept for that id before the twin arrived) under the formula and at quit.
TEST_F(RandrMonitorsTest, ATwinPluggedInWhileRunningKeepsEachMonitorsOriginal)
{
    QList<GammaRamp> originals;
    for (int i = 0; i < 3; ++i)
        originals << *client->ramp(output(i));
    TransferFormula evening;
    evening.blueMax = 0.55f;
    evening.greenMax = 0.8f;
    auto displays = open();
    const DisplayId alone = displays->displayForOutputName(output(1)).value_or(0);
    ASSERT_TRUE(displays->setTransferFormula(alone, evening).ok());

    ASSERT_TRUE(client->publishEdid(output(2), test::kRealEdids[1]));
    displays->reloadConfiguration();
    const DisplayId first = displays->displayForOutputName(output(1)).value_or(0);
    const DisplayId second = displays->displayForOutputName(output(2)).value_or(0);
    ASSERT_NE(first, alone);
    EXPECT_EQ(displays->previousDisplayId(first), std::optional<DisplayId>(alone));
    EXPECT_EQ(displays->loneDisplayId(first), std::optional<DisplayId>(alone));
    EXPECT_EQ(displays->previousDisplayId(second), std::nullopt);
    for (const DisplayId id : {first, second})
        ASSERT_TRUE(displays->setTransferFormula(id, evening).ok());
    EXPECT_EQ(client->ramp(output(1)), gammaRampOverOriginal(evening, originals[1]));
    EXPECT_EQ(client->ramp(output(2)), gammaRampOverOriginal(evening, originals[2]));

    ASSERT_TRUE(client->publishEdid(output(1), {}));
    ASSERT_TRUE(server.disable(output(1)));
    displays->reloadConfiguration();
    ASSERT_EQ(displays->displayForOutputName(output(2)), std::optional<DisplayId>(alone));
    EXPECT_EQ(displays->previousDisplayId(alone), std::optional<DisplayId>(second));
    ASSERT_TRUE(displays->setTransferFormula(alone, evening).ok());
    EXPECT_EQ(client->ramp(output(2)), gammaRampOverOriginal(evening, originals[2]));
    displays->restoreColorSyncSettings();
    EXPECT_EQ(client->ramp(output(2)), originals[2]);
    ASSERT_TRUE(server.enable(output(1), QStringLiteral("1920x1080"), {2048, 0}));
    EXPECT_EQ(client->ramp(output(1)), originals[1]);
}

// A monitor's original kept by output, put back on a CRTC whose own original a copy of ours
// keeps: that copy puts the monitor's back there, not the CRTC's; a CRTC no copy relies on
// keeps nothing.
TEST(GammaOriginalsTest, AMonitorsOriginalFoundByOutputGoesBackOnACrtcKeptForAnother)
{
    const GammaRamp crtcOwn = test::startingRamp(1, 256), monitorOwn = test::startingRamp(2, 256);
    GammaOriginals originals({{"DUMMY1", "a", crtcOwn, 7, {"me"}}});
    const ShownMonitor now{"DUMMY2", "b"};
    originals.keepFor(7, now, monitorOwn);
    EXPECT_TRUE(originals.covers(7, {now}, "me"));
    EXPECT_EQ(originals.rampFor(7, {now}, 256), monitorOwn);
    originals.keepFor(8, ShownMonitor{"DUMMY3", "c"}, monitorOwn);
    EXPECT_EQ(originals.crtcs(), QList<quint32>{7});
}

} // namespace
} // namespace qv
