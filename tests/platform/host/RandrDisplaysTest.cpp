// The RandR display services against a real (virtual) X server.

#include "platform/host/GammaRestoreFile.h"
#include "platform/host/HostRegistry.h"
#include "platform/host/HostDisplays.h"
#include "platform/host/ManagerWatch.h"
#include "platform/host/RandrGamma.h"
#include "support/MissingTool.h"
#include "support/XvfbServer.h"
#include "support/LogCapture.h"
#include "support/RandrClient.h"
#include "support/X11SelectionOwner.h"
#include "platform/x11/XConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <xcb/randr.h>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

// The log lines about ramps (Xvfb's mode without timings gives one of its own).
qsizetype rampLines(const test::LogCapture &log)
{
    const QStringList lines = log.messages(QStringLiteral("HostDisplays"));
    // Without the mode timings and the method named at start.
    return std::count_if(lines.begin(), lines.end(), [](const QString &l) {
        return !l.contains(QLatin1String("timings")) && !l.startsWith(QLatin1String("Displays: "));
    });
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
        EXPECT_NEAR(host::RandrGamma::refreshRate(c.clock, c.hTotal, c.vTotal, c.flags), c.rate, 0.01);
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

    std::unique_ptr<HostDisplays> open(bool wayland = false)
    {
        HostDisplays::Options options;
        options.displayName = server.display();
        options.waylandSession = wayland;
        options.restoreFilePath = restorePath();
        return std::make_unique<HostDisplays>(options);
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
    // Xvfb gives no EDID: no identity numbers, no name, an id made from the output's name;
    // the output's own id was the display's id before.
    EXPECT_EQ(id, monitorDisplayId(EdidInfo{}, QStringLiteral("screen")));
    const std::optional<DisplayId> former = displays->formerDisplayId(id);
    ASSERT_TRUE(former);
    EXPECT_NE(*former, id);
    EXPECT_EQ(displays->formerDisplayId(*former), std::nullopt);
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
    EXPECT_EQ(*written, gammaRampOverOriginal(formula, *original)); // a calibration shines through
    // The original is kept on disk while the ramp is changed.
    EXPECT_TRUE(QFile::exists(restorePath()));

    // A second change keeps the first original.
    ASSERT_EQ(displays->setTransferFormula(id, TransferFormula::identity()), 0);
    displays->restoreColorSyncSettings();
    EXPECT_EQ(displays->currentGammaRamp(id), original);
    EXPECT_FALSE(QFile::exists(restorePath()));
}

// A window manager that takes over resets the ramps (as KWin does): the formula is back
// over the original kept before, which stays the original; a ramp that holds what was
// written is not written again.
TEST_F(RandrDisplaysTest, AWindowManagerThatTakesOverAndResetsTheRampsGetsTheFormulaBack)
{
    VirtualScheduler clock;
    Scheduler::setCurrent(&clock);
    const auto realClock = qScopeGuard([] { Scheduler::setCurrent(nullptr); });
    x11::XConnection x(server.display(), Logger("X11"));
    HostDisplays::Options options;
    options.connection = &x;
    options.restoreFilePath = restorePath();
    HostDisplays displays(options);
    host::ManagerWatch managers(x);
    ASSERT_TRUE(managers.isWatching());
    QObject::connect(&managers, &host::ManagerWatch::managerChanged, &displays, &HostDisplays::managersChanged);
    test::RandrClient client(server.display());
    const QString output = client.litOutputs().value(0);
    const GammaRamp original = test::startingRamp(2, client.ramp(output)->size());
    ASSERT_TRUE(client.setRamp(output, original));
    TransferFormula evening;
    evening.blueMax = 0.55f;
    evening.greenMax = 0.8f;
    ASSERT_EQ(displays.setTransferFormula(displays.mainDisplay(), evening), 0);
    const GammaRamp written = gammaRampOverOriginal(evening, original);
    ASSERT_EQ(client.ramp(output), written);

    const test::LogCapture log;
    for (const char *selection : {"WM_S0", "_NET_WM_CM_S0"}) {
        SCOPED_TRACE(selection);
        test::X11SelectionOwner manager(selection, qPrintable(server.display()));
        manager.own();
        ASSERT_TRUE(client.setRamp(output, gammaRampForFormula(TransferFormula::identity(), original.size())));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                clock.advance(100);
                return client.ramp(output) == written;
            },
            3000));
    }
    clock.advance(5000);
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("as a window manager took over")).size(), 2);
    displays.restoreColorSyncSettings();
    EXPECT_EQ(client.ramp(output), original);
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

TEST_F(RandrDisplaysTest, AKeptRampThatDoesNotMatchIsNeverWritten)
{
    // The server's name and mark, from a file the display services wrote.
    const QString serverName = GammaRestoreFile::serverOfDisplay(server.display());
    QString mark;
    std::optional<GammaRamp> original;
    int size = 0;
    {
        auto d = open();
        original = d->currentGammaRamp(d->mainDisplay());
        size = d->gammaRampSize(d->mainDisplay());
        TransferFormula f;
        f.redMax = 0.8f;
        ASSERT_EQ(d->setTransferFormula(d->mainDisplay(), f), 0);
        QList<SavedGammaRamp> kept;
        ASSERT_EQ(GammaRestoreFile(restorePath()).read(serverName, &mark, &kept, nullptr),
                  GammaRestoreFile::State::read);
        d->restoreColorSyncSettings();
    }
    ASSERT_FALSE(mark.isEmpty());

    const GammaRamp zero{QList<quint16>(size, 0), QList<quint16>(size, 0), QList<quint16>(size, 0)};
    const GammaRamp halfSize{QList<quint16>(size / 2, 0), QList<quint16>(size / 2, 0), QList<quint16>(size / 2, 0)};
    const QString screen = QStringLiteral("screen");
    const struct {
        const char *name;
        SavedGammaRamp saved;
        QString server, mark;
        bool stillKept;
        int lines; // the case's own, and the count of what was put back where it gets that far
    } cases[] = {
        {"an output that is not lit", {QStringLiteral("HDMI-1"), {}, zero, 0, {}}, serverName, mark, true, 2},
        {"another monitor on the output", {screen, QStringLiteral("10ac-200b-01010101"), zero, 0, {}}, serverName, mark, true, 2},
        {"another ramp size", {screen, {}, halfSize, 0, {}}, serverName, mark, false, 2},
        {"another server", {screen, {}, zero, 0, {}}, QStringLiteral("4242"), mark, false, 1},
        {"the server started again since", {screen, {}, zero, 0, {}}, serverName, QStringLiteral("1"), false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(GammaRestoreFile(restorePath()).write(c.server, c.mark, {c.saved}, nullptr));
        test::LogCapture log;
        auto displays = open();
        EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
        EXPECT_EQ(QFile::exists(restorePath()), c.stillKept);
        EXPECT_EQ(rampLines(log), c.lines);
        QFile::remove(restorePath());
    }
}

TEST_F(RandrDisplaysTest, AHostileRestoreFileIsNeitherReadNorFollowed)
{
    auto probe = open();
    const auto original = probe->currentGammaRamp(probe->mainDisplay());
    probe.reset();
    const QString precious = folder.filePath(QStringLiteral("precious.txt"));
    const auto plant = [&](const char *kind) {
        const QByteArray path = QFile::encodeName(restorePath());
        if (kind == std::string("link")) {
            QFile file(precious);
            file.open(QIODevice::WriteOnly);
            file.write("the user's own");
            file.close();
            QFile::link(precious, restorePath());
        } else if (kind == std::string("fifo")) {
            ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
        } else if (kind == std::string("folder")) {
            ASSERT_TRUE(QDir().mkdir(restorePath()));
        } else if (kind == std::string("1 GB")) {
            QFile file(restorePath());
            file.open(QIODevice::WriteOnly);
            file.resize(qint64(1) << 30);
        } else if (kind == std::string("another user's")) {
            QFile file(restorePath());
            file.open(QIODevice::WriteOnly);
            file.write("{}");
            file.close();
            ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
        }
    };
    for (const char *kind : {"link", "fifo", "folder", "1 GB", "another user's"}) {
        SCOPED_TRACE(kind);
        QDir(folder.path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder.path()));
        plant(kind);
        test::LogCapture log;
        auto displays = open();
        EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
        EXPECT_EQ(rampLines(log), 1);
        // The place is free again: the next original is kept there, in a file of ours.
        TransferFormula dim;
        dim.redMax = 0.5f;
        EXPECT_EQ(displays->setTransferFormula(displays->mainDisplay(), dim), 0);
        EXPECT_TRUE(QFileInfo(restorePath()).isFile() && !QFileInfo(restorePath()).isSymLink());
        displays->restoreColorSyncSettings();
        EXPECT_EQ(displays->currentGammaRamp(displays->mainDisplay()), original);
        if (kind == std::string("link")) {
            QFile file(precious);
            file.open(QIODevice::ReadOnly);
            EXPECT_EQ(file.readAll(), QByteArray("the user's own"));
        }
    }
}

TEST_F(RandrDisplaysTest, NoRampChangesWhereItsOriginalCannotBeKept)
{
    auto displays = open();
    const DisplayId id = displays->mainDisplay();
    const auto original = displays->currentGammaRamp(id);
    // A folder where the file goes: it cannot be written.
    ASSERT_TRUE(QDir().mkdir(restorePath()));
    test::LogCapture log;
    TransferFormula dim;
    for (int step = 0; step < 10; ++step) {
        dim.redMax = 0.5f + 0.01f * float(step);
        EXPECT_NE(displays->setTransferFormula(id, dim), 0);
    }
    EXPECT_EQ(displays->currentGammaRamp(id), original);
    EXPECT_FALSE(displays->transferFormulasReachScreens());
    EXPECT_TRUE(displays->transferFormulaNote().contains(QLatin1String("could not be kept")));
    EXPECT_EQ(rampLines(log), 1);
    // Switching the formulas off and on tries again, once the place is free.
    QDir().rmdir(restorePath());
    displays->restoreColorSyncSettings();
    EXPECT_TRUE(displays->transferFormulasReachScreens());
    EXPECT_EQ(displays->setTransferFormula(id, dim), 0);
    displays->restoreColorSyncSettings();
}

TEST(GammaRestoreFolder, IsPrivateToTheUserAndNeverALink)
{
    QTemporaryDir temporary;
    const QString base = temporary.filePath(QStringLiteral("quellvista-runtime-%1").arg(::getuid()));
    const QString elsewhere = temporary.filePath(QStringLiteral("elsewhere"));
    QDir().mkdir(elsewhere);
    const struct {
        const char *what;
        std::function<void()> plant;
        bool usable;
    } cases[] = {
        {"created when missing", [] {}, true},
        {"a link planted in its place", [&] { QFile::link(elsewhere, base); }, false},
        {"a folder others may enter", [&] { ::mkdir(QFile::encodeName(base).constData(), 0755); ::chmod(QFile::encodeName(base).constData(), 0755); }, false},
        {"a folder of another user", [&] { QDir().mkdir(base); ::chmod(QFile::encodeName(base).constData(), 0700); ::chown(QFile::encodeName(base).constData(), 65534, 65534); }, false},
        {"a file in its place", [&] { QFile f(base); f.open(QIODevice::WriteOnly); }, false},
    };
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(base);
        QDir(base).removeRecursively();
        c.plant();
        QString error;
        const QString folder = GammaRestoreFile::privateFolder(&error);
        EXPECT_EQ(!folder.isEmpty(), c.usable) << qPrintable(error);
        if (c.usable) {
            struct stat status {};
            ASSERT_EQ(::lstat(QFile::encodeName(base).constData(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, 0700u);
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", tmpdir);
}

TEST(GammaRestoreFile, NamesTheServerNotTheDisplayText)
{
    const struct {
        const char *display, *server;
    } cases[] = {{":0", "0"}, {":0.0", "0"}, {"unix:0", "0"}, {":0.1", "0"}, {":12", "12"},
                 {"remote:3.0", "remote/3"}, {"no display", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.display);
        EXPECT_EQ(GammaRestoreFile::serverOfDisplay(QString::fromLatin1(c.display)), QString::fromLatin1(c.server));
    }
}

// A file that lists one output many times puts its ramp back and names the output once.
TEST_F(RandrDisplaysTest, AnOutputKeptManyTimesIsNamedOnce)
{
    const QString serverName = GammaRestoreFile::serverOfDisplay(server.display());
    QString mark;
    GammaRamp original;
    {
        auto d = open();
        original = d->currentGammaRamp(d->mainDisplay()).value_or(GammaRamp{});
        TransferFormula f;
        f.redMax = 0.8f;
        d->setTransferFormula(d->mainDisplay(), f);
        QList<SavedGammaRamp> kept;
        GammaRestoreFile(restorePath()).read(serverName, &mark, &kept, nullptr);
        d->restoreColorSyncSettings();
    }
    const QList<SavedGammaRamp> many(500, SavedGammaRamp{QStringLiteral("screen"), {}, original, 0, {}});
    ASSERT_TRUE(GammaRestoreFile(restorePath()).write(serverName, mark, many, nullptr));
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
        {"{\"format\":\"quellvista-gamma-ramps\",\"version\":1,\"display\":\"" + server.display().toLatin1()
             + "\",\"crtcs\":[]}",
         ": it is of another format"},
        {"{\"format\":\"quellvista-gamma-ramps\",\"version\":2,\"server\":\""
             + GammaRestoreFile::serverOfDisplay(server.display()).toLatin1()
             + "\",\"outputs\":[{\"output\":\"screen\",\"red\":\"AAA=\",\"green\":\"\",\"blue\":\"\"}]}",
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

    HostDisplays::Options options;
    options.displayName = QStringLiteral(":4242"); // no server there
    options.restoreFilePath = restorePath();
    HostDisplays none(options);
    EXPECT_TRUE(none.limitationText().startsWith(QStringLiteral("No X server")));
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
    EXPECT_EQ(registry.setProperty(id, QStringLiteral("enableDither"), RegistryValue::boolean(false)).result,
              RegistryWrite::Result::notHeld);
    EXPECT_EQ(registry.setProperty(id + 1000, QStringLiteral("enableDither"), RegistryValue::boolean(false)).result,
              RegistryWrite::Result::noSuchService);
    EXPECT_EQ(registry.entryName(id + 1000), std::nullopt);
}

} // namespace
} // namespace qv
