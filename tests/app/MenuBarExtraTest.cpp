#include "app/AppScenes.h"
#include "app/MenuBarExtra.h"
#include "app/QuellvistaApp.h"

#include "platform/desktop/XdgAutostartLoginItem.h"
#include "runtime/Files.h"
#include "runtime/StoredSetting.h"
#include "support/MissingTool.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"
#include "support/TestEnvironment.h"
#include "support/X11SelectionOwner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QGuiApplication>
#include <QDBusConnection>
#include <QTest>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

using namespace qv;

namespace {

class MenuBarExtraTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        app = std::make_unique<QuellvistaApp>();
        label = std::make_unique<MenuBarLabel>(*app);
    }
    void TearDown() override
    {
        label.reset();
        app.reset();
        QvTest::TearDown();
    }

    std::unique_ptr<QuellvistaApp> app;
    std::unique_ptr<MenuBarLabel> label;
};

// Reminders on: no pulse at 61 s, the pulse from 60 s; the break shows "eye.slash" and
// stops the pulse.
TEST_F(MenuBarExtraTest, TheEyePulsesInTheLastMinuteAndClosesDuringTheBreak)
{
    BreakReminder &reminder = app->breakReminder();
    reminder.setIsEnabled(true);
    reminder.setSecondsUntilBreak(61);
    EXPECT_FALSE(app->menuBarBlinker().active());
    EXPECT_EQ(label->countdownText(), "1:01");
    EXPECT_EQ(label->toolTip(), "Quellvista — 1:01");
    advance(1'000);
    EXPECT_TRUE(app->menuBarBlinker().active()) << "60 s before the break";
    advance(500);
    EXPECT_LT(label->opacity(), 1.0);
    EXPECT_EQ(label->symbolName(), "eye");

    reminder.startBreak();
    EXPECT_EQ(label->symbolName(), "eye.slash");
    EXPECT_FALSE(app->menuBarBlinker().isPulsing());
    EXPECT_DOUBLE_EQ(label->opacity(), 1.0);
    EXPECT_FALSE(MenuBarBlinker::shouldBlink(true, false, 0));
}

TEST_F(MenuBarExtraTest, TheCountdownShowsOnlyWithItsSwitchAndReminders)
{
    BreakReminder &reminder = app->breakReminder();
    reminder.setIsEnabled(false);
    EXPECT_EQ(label->countdownText(), QString());
    EXPECT_EQ(label->toolTip(), "Quellvista");
    reminder.setIsEnabled(true);
    EXPECT_EQ(label->countdownText(), "20:00");
    app->showBreakTimer()->setValue(false);
    EXPECT_EQ(label->countdownText(), QString()) << "the symbol alone";
}

// The blinking minute: the tray gets a picture at most ten times a second, and the
// pictures come from a small cache instead of being painted per tick.
TEST_F(MenuBarExtraTest, TheBlinkingMinuteReusesCachedPicturesAtMostTenTimesASecond)
{
    QList<qint64> handOvers;
    MenuBarIconUpdater updater(*label, [] { return TrayEyeStyle::choose(std::nullopt, false); },
                               [&handOvers](const QIcon &, const QString &) { handOvers << scheduler().monotonicMs(); });
    updater.refresh();
    BreakReminder &reminder = app->breakReminder();
    reminder.setIsEnabled(true);
    reminder.setSecondsUntilBreak(60);
    handOvers.clear();
    for (int i = 0; i < 590; ++i)
        advance(100);
    ASSERT_TRUE(app->menuBarBlinker().active());
    EXPECT_GE(handOvers.size(), 400) << "the pulse is shown";
    for (qsizetype i = 1; i < handOvers.size(); ++i)
        ASSERT_GE(handOvers[i] - handOvers[i - 1], MenuBarIconUpdater::kMinimumGapMs) << i;
    EXPECT_LE(updater.cache().paintCount(), MenuBarIconCache::kOpacitySteps + 1)
        << "one picture per opacity step";
}

// Without a tray host the application runs on and says so.
TEST_F(MenuBarExtraTest, WithoutATrayHostTheExtraLogsAndStaysHidden)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "a tray host runs here";
    MenuBarExtra extra(*app);
    EXPECT_FALSE(extra.isShown());
    const bool watching = QGuiApplication::platformName() == QLatin1String("xcb") || QDBusConnection::sessionBus().isConnected();
    EXPECT_TRUE(logs->contains("MenuBar", watching
                                              ? "No system tray is available yet; the icon is added when one starts "
                                                "(start Quellvista again to bring up its window)"
                                              : "No system tray is available; start Quellvista again to bring up its "
                                                "window"));
}

// A tray host that starts after the application (the usual order at login, the autostart
// entry may run first) gets the icon, as does one that replaces it.
TEST_F(MenuBarExtraTest, ATrayHostThatStartsLaterGetsTheIcon)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X server");
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "a tray host runs here";
    MenuBarExtra extra(*app);
    EXPECT_FALSE(extra.isShown());
    {
        test::X11SelectionOwner tray("_NET_SYSTEM_TRAY_S0");
        tray.own();
        EXPECT_TRUE(QTest::qWaitFor([&] { return extra.isShown(); }));
        EXPECT_TRUE(logs->contains("MenuBar", "A system tray started: the icon is added to it"));
    }
    // One that asks for a colour of its own: the eye takes it.
    test::X11SelectionOwner another("_NET_SYSTEM_TRAY_S0");
    another.setCardinals("_NET_SYSTEM_TRAY_COLORS", {0xffff, 0x8080, 0, 0xffff, 0, 0, 0xffff, 0xffff, 0, 0, 0xffff, 0});
    another.own();
    EXPECT_TRUE(QTest::qWaitFor([&] { return extra.eyeStyle().fill == QColor(255, 128, 0); }));
    EXPECT_FALSE(extra.eyeStyle().outline.isValid());
    EXPECT_TRUE(extra.isShown());
    // It changes them later.
    another.setCardinals("_NET_SYSTEM_TRAY_COLORS", {0, 0, 0xffff, 0xffff, 0, 0, 0xffff, 0xffff, 0, 0, 0xffff, 0});
    another.sync();
    EXPECT_TRUE(QTest::qWaitFor([&] { return extra.eyeStyle().fill == QColor(0, 0, 255); }));
}

TEST(TrayEyeStyleTest, TheTrayHostsColourElseTheDesktopSchemeElseAnOutline)
{
    const QColor light(0xF5, 0xF5, 0xF7), dark(0x1A, 0x1A, 0x1A), orange(255, 128, 0);
    const struct {
        std::optional<QColor> tray;
        std::optional<bool> desktopDark;
        QColor fill, outline;
    } cases[] = {
        {orange, true, orange, QColor()},
        {orange, std::nullopt, orange, QColor()},
        {std::nullopt, true, light, QColor()},
        {std::nullopt, false, dark, QColor()},
        {QColor(), false, dark, QColor()}, // an invalid colour is none
        {std::nullopt, std::nullopt, light, dark},
    };
    for (const auto &c : cases) {
        const TrayEyeStyle style = TrayEyeStyle::choose(c.tray, c.desktopDark);
        EXPECT_EQ(style.fill, c.fill) << qPrintable(c.fill.name());
        EXPECT_EQ(style.outline, c.outline) << qPrintable(c.fill.name());
    }
}

// The outlined eye has light and dark pixels: it reads on a light panel and on a dark one.
TEST(TrayEyeStyleTest, TheOutlinedEyeIsLightInsideADarkRim)
{
    MenuBarIconCache cache;
    const auto extremes = [&](const TrayEyeStyle &style) {
        const QImage image = cache.icon("eye", 1, style).pixmap(MenuBarIconCache::kPixels).toImage();
        int lightest = 0, darkest = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 250)
                    continue;
                lightest = std::max(lightest, pixel.lightness());
                darkest = std::min(darkest, pixel.lightness());
            }
        return std::pair(lightest, darkest);
    };
    const auto [outlinedLight, outlinedDark] = extremes(TrayEyeStyle::choose(std::nullopt, std::nullopt));
    EXPECT_GT(outlinedLight, 220);
    EXPECT_LT(outlinedDark, 40);
    const auto [plainLight, plainDark] = extremes(TrayEyeStyle::choose(std::nullopt, false));
    EXPECT_LT(plainLight, 40) << "a dark eye only";
}

TEST(MenuBarIconCacheTest, OpacityStepsShareOnePicture)
{
    MenuBarIconCache cache;
    const TrayEyeStyle plain = TrayEyeStyle::choose(std::nullopt, false);
    const TrayEyeStyle outlined = TrayEyeStyle::choose(std::nullopt, std::nullopt);
    const qint64 a = cache.icon("eye", 0.701, plain).cacheKey();
    EXPECT_EQ(cache.icon("eye", 0.699, plain).cacheKey(), a);
    EXPECT_NE(cache.icon("eye", 0.8, plain).cacheKey(), a);
    EXPECT_NE(cache.icon("eye", 0.701, outlined).cacheKey(), a) << "the styles differ";
    EXPECT_NE(cache.icon("eye.slash", 0.701, plain).cacheKey(), a);
    EXPECT_EQ(cache.paintCount(), 4);
}

TEST(PopoverPlacementTest, ByTheIconOrTheCursorAndInsideTheScreen)
{
    const QRect screen(0, 0, 1920, 1200);
    const QSize size(300, 500);
    struct Case {
        const char *name;
        QRect icon;
        QPoint cursor;
        QPoint expected;
    };
    const Case cases[] = {
        {"icon in a top bar, centred below", QRect(1000, 0, 24, 28), {}, QPoint(862, 32)},
        {"icon at the right edge, kept inside", QRect(1896, 0, 24, 28), {}, QPoint(1620, 32)},
        {"icon in a bottom bar, above it", QRect(1000, 1172, 24, 28), {}, QPoint(862, 668)},
        {"no geometry: by the cursor", QRect(), QPoint(500, 100), QPoint(350, 104)},
        {"cursor near the bottom: above it", QRect(), QPoint(10, 1150), QPoint(0, 646)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(AppScenes::popoverPosition(c.icon, size, screen, c.cursor), c.expected) << c.name;
}

TEST(XdgAutostartLoginItemTest, RegistersUnregistersAndReadsItsEntry)
{
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path() + "/autostart", "/opt/Quell vista/bin/quellvista");
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    QString error;
    ASSERT_TRUE(item.registerItem(&error)) << qPrintable(error);
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    QFile file(item.entryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/Quell vista/bin/quellvista\"\n")) << text.constData();
    file.close();

    ASSERT_TRUE(item.unregisterItem(&error));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_TRUE(item.unregisterItem(&error)) << "nothing to remove is no failure";

    // An entry the user switched off in the desktop's settings.
    QDir().mkpath(dir.path() + "/autostart");
    QFile hidden(item.entryPath());
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.write("[Desktop Entry]\nType=Application\nHidden=true\n");
    hidden.close();
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
}

TEST(XdgAutostartLoginItemTest, ExecArgumentsAreQuoted)
{
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"/usr/bin/quellvista", R"("/usr/bin/quellvista")"},
        {"/a \"b\"/q", R"("/a \\"b\\"/q")"},
        {"/$HOME/`x`", R"("/\\$HOME/\\`x\\`")"},
        {"/100%/q", R"("/100%%/q")"},
        {"/back\\slash", R"("/back\\\\slash")"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(XdgAutostartLoginItem::quoteExecArgument(c.in), c.out) << c.in;
}

TEST(XdgAutostartLoginItemTest, AFolderThatCannotBeWrittenFailsWithItsCause)
{
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    XdgAutostartLoginItem item(dir.path() + "/autostart", "/usr/bin/quellvista");
    QString error;
    EXPECT_FALSE(item.registerItem(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
}

// Whatever program an entry is written for, its Exec reads back as that program.
TEST(XdgAutostartLoginItemTest, ExecReadsBackAsTheProgramWritten)
{
    for (const char *program : {"quellvista", "/opt/Quell vista/bin/quellvista", "/a \"b\"/q", "/$HOME/`x`",
                                "/100%/q", "/back\\slash"})
        EXPECT_EQ(XdgAutostartLoginItem::execProgramOf(XdgAutostartLoginItem::entryFor(program)), program);
    EXPECT_EQ(XdgAutostartLoginItem::execProgramOf("[Desktop Entry]\nExec=quellvista --machine x\n"), "quellvista");
    EXPECT_EQ(XdgAutostartLoginItem::execProgramOf("[Desktop Entry]\nExec=\"/opt/a\\sb/q\"\n"), "/opt/a b/q");
    EXPECT_EQ(XdgAutostartLoginItem::execProgramOf("[Desktop Entry]\nExec=/opt/a\\sb/q\n"), "/opt/a");
    EXPECT_EQ(XdgAutostartLoginItem::execProgramOf("[Desktop Action x]\nExec=q\n"), "");
}

// An entry naming a program that is gone is renewed, and so is one naming a build folder's
// copy once the installed program runs; an installed one is kept by a build folder's copy,
// and neither a switched-off entry nor a link is ever touched.
TEST(XdgAutostartLoginItemTest, AnEntryForAProgramThatIsGoneOrNotInstalledIsRenewed)
{
    QTemporaryDir dir;
    const QString prefix = dir.path() + "/pre fix";
    const QString installed = prefix + "/bin/quellvista";
    const QString build = dir.path() + "/build/quellvista";
    const QString other = dir.path() + "/other/quellvista";
    for (const QString &path : {installed, build, other,
                                prefix + "/share/applications/com.tebrix.Quellvista.desktop"}) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_TRUE(XdgAutostartLoginItem::isInstalledProgram(installed));
    EXPECT_FALSE(XdgAutostartLoginItem::isInstalledProgram(build));
    const QByteArray hidden = "Hidden=true\n";
    const struct {
        const char *name;
        QString running;
        QString named;
        QByteArray extra;
        bool link;
        bool renew;
    } cases[] = {
        {"gone", build, dir.path() + "/gone/quellvista", {}, false, true},
        {"a name nothing finds", build, "no-such-quellvista", {}, false, true},
        {"a name PATH finds", build, "sh", {}, false, false},
        {"installed, by a build copy", build, installed, {}, false, false},
        {"another build copy, by a build copy", build, other, {}, false, false},
        {"a build copy, by the installed one", installed, build, {}, false, true},
        {"installed, by the installed one", installed, installed, {}, false, false},
        {"gone but switched off", build, dir.path() + "/gone/quellvista", hidden, false, false},
        {"gone, through a link", build, dir.path() + "/gone/quellvista", {}, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.path() + "/autostart";
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        XdgAutostartLoginItem item(folder, c.running);
        const QString target = c.link ? dir.path() + "/elsewhere.desktop" : item.entryPath();
        ASSERT_TRUE(files::writeAtomically(target, XdgAutostartLoginItem::entryFor(c.named) + c.extra));
        if (c.link) {
            ASSERT_TRUE(QFile::link(target, item.entryPath()));
        }
        EXPECT_EQ(item.needsRenewal(), c.renew);
    }
}

// The installed program is named by name when PATH leads to it, by its path otherwise.
TEST(XdgAutostartLoginItemTest, TheInstalledProgramIsNamedByNameWhenPathFindsIt)
{
    QTemporaryDir dir;
    const QString installed = dir.path() + "/bin/quellvista";
    QDir().mkpath(dir.path() + "/bin");
    QDir().mkpath(dir.path() + "/share/applications");
    QFile(dir.path() + "/share/applications/com.tebrix.Quellvista.desktop").open(QIODevice::WriteOnly);
    QFile program(installed);
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    XdgAutostartLoginItem item(dir.path() + "/autostart", installed);
    qputenv("PATH", QFile::encodeName(dir.path() + "/bin:/usr/bin"));
    EXPECT_EQ(item.execProgram(), "quellvista");
    qputenv("PATH", "/usr/bin");
    EXPECT_EQ(item.execProgram(), installed);
    qputenv("PATH", path);
    EXPECT_EQ(XdgAutostartLoginItem(dir.path(), "/somewhere/else/quellvista").execProgram(),
              "/somewhere/else/quellvista");
}

// What is in the entry's place and cannot be read, or is a link, is never written over:
// a switched-off entry larger than the stored-file limit, a folder, a link.
TEST(XdgAutostartLoginItemTest, AnEntryThatCannotBeReadIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/autostart";
    const QString elsewhere = dir.path() + "/elsewhere.desktop";
    for (const char *kind : {"large", "folder", "link", "dangling link"}) {
        SCOPED_TRACE(kind);
        QDir(folder).removeRecursively();
        QFile::remove(elsewhere);
        QDir().mkpath(folder);
        XdgAutostartLoginItem item(folder, "/usr/bin/quellvista");
        const QString kindText = kind;
        if (kindText == "large") {
            QFile big(item.entryPath());
            ASSERT_TRUE(big.open(QIODevice::WriteOnly));
            big.write("[Desktop Entry]\nType=Application\nHidden=true\n");
            ASSERT_TRUE(big.resize(files::kMaxStoredFileBytes + 1)); // sparse
        } else if (kindText == "folder") {
            QDir().mkpath(item.entryPath());
        } else {
            if (kindText == "link") {
                ASSERT_TRUE(files::writeAtomically(elsewhere, "[Desktop Entry]\nHidden=true\n"));
            }
            ASSERT_TRUE(QFile::link(elsewhere, item.entryPath()));
        }
        const QFileInfo before(item.entryPath());
        QString error;
        EXPECT_FALSE(item.registerItem(&error));
        EXPECT_TRUE(error.contains(item.entryPath())) << qPrintable(error);
        const QFileInfo after(item.entryPath());
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(QFileInfo(item.entryPath()).size(), before.size());
        EXPECT_EQ(QFileInfo::exists(elsewhere), kindText == "link");
    }
}

} // namespace
