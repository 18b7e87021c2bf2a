// The RandR display services against a real (virtual) X server.

#include "platform/host/GammaRestoreFile.h"
#include "platform/host/HostRegistry.h"
#include "platform/host/RandrDisplays.h"
#include "support/MissingTool.h"
#include "support/XvfbServer.h"
#include "support/LogCapture.h"

#include <QFile>

#include <xcb/randr.h>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace qv {
namespace {

// The log lines about ramps (Xvfb's mode without timings gives one of its own).
qsizetype rampLines(const test::LogCapture &log)
{
    const QStringList lines = log.messages(QStringLiteral("HostDisplays"));
    return std::count_if(lines.begin(), lines.end(), [](const QString &l) { return !l.contains(QLatin1String("timings")); });
}

TEST(RandrModeTimings, TheRefreshRateComesFromTheClockAndTotals)
{
    const struct {
        const char *what;
        quint32 clock;
        int hTotal, vTotal;
        quint32 flags;
        double rate;
    } cases[] = {
        {"1080p60", 148500000, 2200, 1125, 0, 60.0},
        {"1080i60 counts fields", 74250000, 2200, 1125, XCB_RANDR_MODE_FLAG_INTERLACE, 60.0},
        {"double scan counts lines twice", 25175000, 800, 525, XCB_RANDR_MODE_FLAG_DOUBLE_SCAN, 29.97},
        {"zero clock", 0, 2200, 1125, 0, 0},
        {"zero horizontal total", 148500000, 0, 1125, 0, 0},
        {"zero vertical total", 148500000, 2200, 0, 0, 0},
        {"beyond any real display", 148500000, 10, 10, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(RandrDisplays::refreshRate(c.clock, c.hTotal, c.vTotal, c.flags), c.rate, 0.01);
    }
}

class RandrDisplaysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (server.display().isEmpty())
            QV_SKIP_WITHOUT("Xvfb could not be started");
        ASSERT_TRUE(folder.isValid());
    }

    std::unique_ptr<RandrDisplays> open(bool wayland = false)
    {
        RandrDisplays::Options options;
        options.displayName = server.display();
        options.waylandSession = wayland;
        options.restoreFilePath = restorePath();
        return std::make_unique<RandrDisplays>(options);
    }
    QString restorePath() const { return folder.filePath(QStringLiteral("gamma.json")); }

    test::XvfbServer server;
    QTemporaryDir folder;
};

TEST_F(RandrDisplaysTest, ListsTheServersOutputWithItsModeAndRamp)
{
    auto displays = open();
    const QList<DisplayId> active = displays->activeDisplays();
    ASSERT_EQ(active.size(), 1);
    const DisplayId id = active.first();
    EXPECT_EQ(displays->mainDisplay(), id);
    EXPECT_EQ(displays->displayForOutputName(QStringLiteral("screen")), id);
    EXPECT_EQ(displays->pixelsWide(id), 1920);
    EXPECT_EQ(displays->pixelsHigh(id), 1200);
    EXPECT_FALSE(displays->isBuiltin(id));
    EXPECT_FALSE(displays->isInMirrorSet(id));
    // Xvfb gives no EDID: no identity numbers, no name.
    EXPECT_EQ(displays->vendorNumber(id), 0u);
    EXPECT_TRUE(displays->monitorName(id).isEmpty());
    const auto mode = displays->currentMode(id);
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ(mode->pixelWidth, 1920);
    // Xvfb's mode has a zero clock and totals: the rate is unknown, not a division by zero.
    EXPECT_EQ(mode->refreshRate, 0);
    EXPECT_GE(displays->gammaRampSize(id), 2);
    EXPECT_TRUE(displays->transferFormulasReachScreens());
}

TEST_F(RandrDisplaysTest, FormulaBecomesTheRampAndRestoreGivesBackTheOriginal)
{
    auto displays = open();
    const DisplayId id = displays->mainDisplay();
    const auto original = displays->currentGammaRamp(id);
    ASSERT_TRUE(original.has_value());

    TransferFormula formula;
    formula.redMax = 0.9f;
    formula.greenMax = 0.7f;
    formula.blueMin = 0.05f;
    formula.blueMax = 0.5f;
    formula.blueGamma = 1.2f;
    ASSERT_EQ(displays->setTransferFormula(id, formula), 0);
    const auto written = displays->currentGammaRamp(id);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, gammaRampForFormula(formula, displays->gammaRampSize(id)));
    // The original is kept on disk while the ramp is changed.
    EXPECT_TRUE(QFile::exists(restorePath()));

    // A second change keeps the first original.
    ASSERT_EQ(displays->setTransferFormula(id, TransferFormula::identity()), 0);
    displays->restoreColorSyncSettings();
    EXPECT_EQ(displays->currentGammaRamp(id), original);
    EXPECT_FALSE(QFile::exists(restorePath()));
}

TEST_F(RandrDisplaysTest, ANewInstancePutsBackWhatAKilledOneLeftChanged)
{
    std::optional<GammaRamp> original;
    {
        auto displays = open();
        original = displays->currentGammaRamp(displays->mainDisplay());
        TransferFormula dim;
        dim.redMax = dim.greenMax = dim.blueMax = 0.5f;
        ASSERT_EQ(displays->setTransferFormula(displays->mainDisplay(), dim), 0);
        // Gone without restoring, as a killed process is.
    }
    auto displays = open();
    EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
    EXPECT_FALSE(QFile::exists(restorePath()));
}

TEST_F(RandrDisplaysTest, AKeptRampThatDoesNotMatchTheLayoutIsNotWritten)
{
    auto probe = open();
    const DisplayId id = probe->mainDisplay();
    const auto original = probe->currentGammaRamp(id);
    const int size = probe->gammaRampSize(id);
    probe.reset();
    const auto crtcOf = [&] {
        // The one CRTC of Xvfb: find it through a ramp we write and keep.
        auto d = open();
        TransferFormula f;
        f.redMax = 0.8f;
        d->setTransferFormula(d->mainDisplay(), f);
        QList<SavedGammaRamp> kept;
        GammaRestoreFile(restorePath()).read(server.display(), &kept, nullptr);
        d->restoreColorSyncSettings();
        return kept.value(0).crtc;
    };
    const quint32 crtc = crtcOf();
    ASSERT_NE(crtc, 0u);

    GammaRamp zero{QList<quint16>(size, 0), QList<quint16>(size, 0), QList<quint16>(size, 0)};
    GammaRamp halfSize{QList<quint16>(size / 2, 0), QList<quint16>(size / 2, 0), QList<quint16>(size / 2, 0)};
    const struct {
        const char *name;
        QList<SavedGammaRamp> ramps;
        QString display;
    } cases[] = {
        {"another output", {{crtc, {QStringLiteral("HDMI-1")}, zero}}, server.display()},
        {"another ramp size", {{crtc, {QStringLiteral("screen")}, halfSize}}, server.display()},
        {"another CRTC", {{crtc + 1000, {QStringLiteral("screen")}, zero}}, server.display()},
        {"another display", {{crtc, {QStringLiteral("screen")}, zero}}, QStringLiteral(":4242")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(GammaRestoreFile(restorePath()).write(c.display, c.ramps, nullptr));
        test::LogCapture log;
        auto displays = open();
        EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
        EXPECT_FALSE(QFile::exists(restorePath()));
        EXPECT_EQ(rampLines(log), c.display == server.display() ? 2 : 1);
    }
}

// A file that lists one CRTC many times puts its ramp back and names its output once.
TEST_F(RandrDisplaysTest, ACrtcKeptManyTimesIsNamedOnce)
{
    quint32 crtc = 0;
    GammaRamp original;
    {
        auto d = open();
        original = d->currentGammaRamp(d->mainDisplay()).value_or(GammaRamp{});
        TransferFormula f;
        f.redMax = 0.8f;
        d->setTransferFormula(d->mainDisplay(), f);
        QList<SavedGammaRamp> kept;
        GammaRestoreFile(restorePath()).read(server.display(), &kept, nullptr);
        d->restoreColorSyncSettings();
        crtc = kept.value(0).crtc;
    }
    ASSERT_NE(crtc, 0u);
    const QList<SavedGammaRamp> many(500, SavedGammaRamp{crtc, {QStringLiteral("screen")}, original});
    ASSERT_TRUE(GammaRestoreFile(restorePath()).write(server.display(), many, nullptr));
    test::LogCapture log;
    auto displays = open();
    EXPECT_TRUE(log.contains(QStringLiteral("HostDisplays"),
                             QStringLiteral("Put back the gamma ramp a previous run left changed on screen")))
        << qPrintable(log.messages(QStringLiteral("HostDisplays")).join(u'\n'));
}

TEST_F(RandrDisplaysTest, ACorruptRestoreFileIsLoggedAndIgnored)
{
    auto probe = open();
    const auto original = probe->currentGammaRamp(probe->mainDisplay());
    probe.reset();
    // Each cause is told in a sentence of its own after the file's name.
    const QList<std::pair<QByteArray, QString>> cases = {
        {"{\"format\":", ": it is not JSON ("},
        {"[]", ": it is not a JSON object"},
        {"{\"format\":\"quellvista-gamma-ramps\",\"version\":1,\"display\":\"" + server.display().toLatin1() +
             "\",\"crtcs\":[{\"crtc\":1,\"red\":\"AAA=\",\"green\":\"\",\"blue\":\"\"}]}",
         ": a ramp has 1 red, 0 green and 0 blue entries"},
    };
    for (const auto &[bytes, cause] : cases) {
        SCOPED_TRACE(bytes.constData());
        QFile file(restorePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        test::LogCapture log;
        auto displays = open();
        EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
        EXPECT_EQ(rampLines(log), 1);
        EXPECT_TRUE(log.containsPart(QStringLiteral("HostDisplays"), restorePath() + cause))
            << qPrintable(log.messages(QStringLiteral("HostDisplays")).join(u'\n'));
    }
}

TEST_F(RandrDisplaysTest, WhereFormulasCannotReachTheScreensNothingIsWritten)
{
    auto wayland = open(true);
    const DisplayId id = wayland->mainDisplay();
    const auto original = wayland->currentGammaRamp(id);
    EXPECT_FALSE(wayland->transferFormulasReachScreens());
    TransferFormula dim;
    dim.redMax = 0.5f;
    EXPECT_NE(wayland->setTransferFormula(id, dim), 0);
    EXPECT_EQ(wayland->currentGammaRamp(id), original);

    RandrDisplays::Options options;
    options.displayName = QStringLiteral(":4242"); // no server there
    options.restoreFilePath = restorePath();
    RandrDisplays none(options);
    EXPECT_EQ(none.limitation(), RandrDisplays::Limitation::noServer);
    EXPECT_TRUE(none.activeDisplays().isEmpty());
    EXPECT_NE(none.setTransferFormula(1, dim), 0);
}

TEST_F(RandrDisplaysTest, ADisplayThatIsGoneGetsAnErrorAndOneLogLine)
{
    auto displays = open();
    test::LogCapture log;
    for (int step = 0; step < 28; ++step)
        EXPECT_EQ(displays->setTransferFormula(0x7fff, TransferFormula::identity()), 1001);
    EXPECT_EQ(rampLines(log), 1);
    EXPECT_FALSE(QFile::exists(restorePath()));
}

TEST_F(RandrDisplaysTest, TheRegistryListsEachDisplayAsAFramebufferWithoutProtections)
{
    auto displays = open();
    HostRegistry registry(displays.get());
    const DisplayId id = displays->mainDisplay();
    EXPECT_EQ(registry.matchingServices(QStringLiteral("IOMobileFramebufferAP")), QList<ServiceHandle>{id});
    EXPECT_EQ(registry.matchingServices(QStringLiteral("AppleSPUVD6286")), QList<ServiceHandle>{});
    EXPECT_EQ(registry.entryName(id), QStringLiteral("screen"));
    EXPECT_EQ(registry.property(id, QStringLiteral("external")), RegistryValue::boolean(true));
    EXPECT_TRUE(registry.property(id, QStringLiteral("enableDither")).isAbsent());
    EXPECT_TRUE(registry.property(id, QStringLiteral("uniformity2D")).isAbsent());
    const ResultCode code =
        registry.setProperty(id, QStringLiteral("enableDither"), RegistryValue::boolean(false));
    EXPECT_EQ(registry.errorText(code), QStringLiteral("(iokit/common) not found"));
    EXPECT_NE(registry.setProperty(id + 1000, QStringLiteral("enableDither"), RegistryValue::boolean(false)), 0);
    EXPECT_EQ(registry.entryName(id + 1000), std::nullopt);
}

} // namespace
} // namespace qv
