#include "platform/host/DesktopEntries.h"
#include "platform/host/HostIdle.h"
#include "platform/host/HostWorkspace.h"
#include "platform/x11/XConnection.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/XServer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qv;
using qv::test::XServer;

namespace {

TEST(DesktopEntriesTest, ParsesWhatTheDesktopWritesAndRefusesTheRest)
{
    const struct {
        const char *text;
        bool parses;
        const char *name;
        const char *wmClass;
        bool hidden;
    } table[] = {
        {"[Desktop Entry]\nType=Application\nName=Visual Studio Code\nStartupWMClass=Code\n", true,
         "Visual Studio Code", "Code", false},
        {"# comment\n\n[Desktop Entry]\nName = Spaced \nType=Application\n[Desktop Action new]\nName=New Window\n",
         true, "Spaced", "", false},
        {"[Desktop Entry]\nType=Link\nName=Home page\n", true, "Home page", "", true},
        {"[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", true, "Gone", "", true},
        {"[Desktop Entry]\nName=No type\n", true, "No type", "", true},
        {"", false, "", "", false},
        {"Name=Before any group\n[Desktop Entry]\n", false, "", "", false},
        {"[Other Group]\nName=x\n[Desktop Entry]\nName=y\n", false, "", "", false},
        {"[Desktop Entry\nName=x\n", false, "", "", false},
        {"[Desktop Entry]\nthis line has no equals sign\n", false, "", "", false},
        {"[Desktop Entry]\nName=\xff\xfe broken\n", false, "", "", false},
        {"[Desktop Entry]\nType=Application\nName=Caf\xe9", false, "", "", false}, // cut off at the end
    };
    for (const auto &row : table) {
        QString error;
        const std::optional<DesktopEntries::Entry> entry = DesktopEntries::parse(QByteArray(row.text), &error);
        ASSERT_EQ(entry.has_value(), row.parses) << row.text;
        if (!entry) {
            EXPECT_FALSE(error.isEmpty()) << row.text;
            continue;
        }
        EXPECT_EQ(entry->name, QString::fromUtf8(row.name)) << row.text;
        EXPECT_EQ(entry->startupWmClass, QString::fromUtf8(row.wmClass)) << row.text;
        EXPECT_EQ(entry->hidden, row.hidden) << row.text;
    }
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// The key-file parser's escapes and localised names, and whether the entry is shown in
// this desktop's menus; a helper left out of the menus does not take its application's
// window class.
TEST(DesktopEntriesTest, EscapesLocalesAndMenuVisibility)
{
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    const QLocale locale;
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const QByteArray app = "[Desktop Entry]\nType=Application\nName=Files\n";
    const struct {
        QByteArray more;
        const char *name;
        bool shown;
    } table[] = {
        {"", "Files", true},
        {"Name[de]=Dateien\n", "Dateien", true},
        {"Name=Two\\sWords\\\\\n", "Two Words\\", true},
        {"NoDisplay=true\n", "Files", false},
        {"OnlyShowIn=KDE;XFCE;\n", "Files", false},
        {"OnlyShowIn=KDE;GNOME;\n", "Files", true},
        {"NotShowIn=GNOME;\n", "Files", false},
    };
    for (const auto &row : table) {
        const std::optional<DesktopEntries::Entry> entry = DesktopEntries::parse(app + row.more);
        ASSERT_TRUE(entry) << row.more.constData();
        EXPECT_EQ(entry->name, QString::fromUtf8(row.name)) << row.more.constData();
        EXPECT_EQ(entry->shown, row.shown) << row.more.constData();
    }
    QLocale::setDefault(locale);

    QTemporaryDir home, system;
    writeFile(home.filePath("applications/files-helper.desktop"), app + "NoDisplay=true\nStartupWMClass=Files\n");
    writeFile(system.filePath("applications/org.files.desktop"), app + "StartupWMClass=Files\n");
    const DesktopEntries entries({home.path(), system.path()});
    EXPECT_EQ(entries.idForWindowClass("files", "Files"), "org.files");
    qputenv("XDG_CURRENT_DESKTOP", desktop);
}

TEST(DesktopEntriesTest, MatchesWindowClassesToInstalledApplications)
{
    QTemporaryDir home, system;
    const QByteArray app = "[Desktop Entry]\nType=Application\n";
    writeFile(home.filePath("applications/code.desktop"), app + "Name=Code (mine)\nStartupWMClass=Code\n");
    writeFile(system.filePath("applications/code.desktop"), app + "Name=Code (system)\n");
    writeFile(system.filePath("applications/google-chrome.desktop"), app + "Name=Google Chrome\n");
    writeFile(system.filePath("applications/kde4/dolphin.desktop"), app + "Name=Dolphin\nStartupWMClass=dolphin\n");
    writeFile(system.filePath("applications/broken.desktop"), "garbage\n");

    test::LogCapture logs;
    DesktopEntries entries({home.path(), system.path()});
    EXPECT_EQ(entries.size(), 3);
    EXPECT_EQ(logs.messages("Workspace").size(), 1) << "one line for the file that does not parse";
    EXPECT_EQ(entries.nameForId("code"), "Code (mine)") << "the first data folder wins";

    const struct {
        const char *instance;
        const char *cls;
        std::optional<QString> id;
    } table[] = {
        {"code", "Code", "code"},
        {"", "Code", "code"},
        {"google-chrome", "Google-chrome", "google-chrome"}, // the file name, letter case aside
        {"dolphin", "Dolphin", "kde4-dolphin"},              // StartupWMClass names the instance
        {"xmessage", "Xmessage", std::nullopt},
        {"", "", std::nullopt},
    };
    for (const auto &row : table)
        EXPECT_EQ(entries.idForWindowClass(row.instance, row.cls), row.id) << row.instance << " " << row.cls;

    // An application installed while running is found once its folder changes.
    writeFile(home.filePath("applications/obsidian.desktop"), app + "Name=Obsidian\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return entries.idForWindowClass("obsidian", "obsidian").has_value(); }, 10000));
}

TEST(DesktopEntriesTest, OnlyRegularFilesAreReadAndFoldersMadeLaterAreWatched)
{
    QTemporaryDir home, system;
    const QByteArray app = "[Desktop Entry]\nType=Application\n";
    writeFile(system.filePath("applications/code.desktop"), app + "Name=Code\n");
    // Links to a device that never ends and to a pipe nobody writes, and a folder so named.
    ASSERT_TRUE(QFile::link("/dev/zero", system.filePath("applications/zero.desktop")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(system.filePath("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(system.filePath("pipe"), system.filePath("applications/pipe.desktop")));
    QDir().mkpath(system.filePath("applications/folder.desktop"));
    writeFile(system.filePath("applications/large.desktop"), app + "Name=" + QByteArray(300 * 1024, 'x') + "\n");

    test::LogCapture logs;
    const QString userData = home.filePath("share"); // no applications folder yet
    QDir().mkpath(userData);
    DesktopEntries entries({userData, system.path()});
    EXPECT_EQ(entries.size(), 1);
    EXPECT_EQ(logs.messages("Workspace").size(), 3) << "the device, the pipe and the large file";
    for (const QString &line : logs.messages("Workspace"))
        EXPECT_EQ(line.count(system.path()), 1) << "the path once: " << qPrintable(line);

    // The user's first own application: its folder and its sub-folder come while running.
    QSignalSpy changed(&entries, &DesktopEntries::changed);
    writeFile(userData + "/applications/wine/notepad.desktop", app + "Name=Notepad\nStartupWMClass=notepad.exe\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return entries.idForWindowClass("notepad.exe", "Notepad.exe").has_value(); }, 10000));
    EXPECT_EQ(entries.idForWindowClass("notepad.exe", "Notepad.exe"), "wine-notepad");
    writeFile(userData + "/applications/wine/winemine.desktop", app + "Name=Minesweeper\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return entries.nameForId("wine-winemine").has_value(); }, 10000));
    EXPECT_LE(changed.size(), 4);
}

// Notices one a line, for a failure's message.
std::string lines(const QStringList &notices)
{
    return notices.join(QLatin1Char('\n')).toStdString();
}

class HostWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<XServer>(true);
        if (!server->isRunning())
            QV_SKIP_WITHOUT(qPrintable(server->failure()));
        const QByteArray app = "[Desktop Entry]\nType=Application\n";
        writeFile(data.filePath("applications/code.desktop"), app + "Name=Visual Studio Code\nStartupWMClass=Code\n");
        writeFile(data.filePath("applications/org.gnome.Terminal.desktop"), app + "Name=Terminal\n");
        entries = std::make_shared<DesktopEntries>(QStringList{data.path()});
    }

    // Waits until the server says the window is active and the workspace followed.
    bool activate(HostWorkspace &workspace, quint32 window, const QString &id)
    {
        server->activate(window);
        return QTest::qWaitFor([&] {
            const auto front = workspace.frontmostApplication();
            return server->activeWindow() == window && front && front->bundleIdentifier == id;
        }, 10000);
    }

    QTemporaryDir data;
    std::unique_ptr<XServer> server;
    std::shared_ptr<DesktopEntries> entries;
};

TEST_F(HostWorkspaceTest, FollowsTheActiveWindowAndTheRunningApplications)
{
    HostWorkspace workspace(server->display(), entries);
    ASSERT_TRUE(workspace.isConnected());
    EXPECT_FALSE(workspace.frontmostApplication());

    QStringList notices;
    const auto record = [&](const char *what) {
        return [&notices, what](const std::optional<RunningApplication> &app) {
            notices << QStringLiteral("%1 %2").arg(QLatin1String(what), app ? app->bundleIdentifier.value_or("-") : "none");
        };
    };
    QObject::connect(&workspace, &Workspace::applicationLaunched, record("launched"));
    QObject::connect(&workspace, &Workspace::applicationActivated, record("activated"));
    QObject::connect(&workspace, &Workspace::applicationDeactivated, record("deactivated"));
    QObject::connect(&workspace, &Workspace::applicationTerminated, record("terminated"));

    const quint32 editor = server->createWindow({XServer::wmClass("code", "Code"), std::nullopt, 4242});
    const quint32 terminal = server->createWindow(
        {XServer::wmClass("gnome-terminal-server", "Gnome-terminal"), QByteArray("org.gnome.Terminal"), 4343});
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.runningApplications().size() == 2; }, 10000))
        << server->windowManagerOutput().constData();

    ASSERT_TRUE(activate(workspace, editor, "code"));
    const RunningApplication front = *workspace.frontmostApplication();
    EXPECT_EQ(front.localizedName, "Visual Studio Code");
    EXPECT_EQ(front.processIdentifier, 4242);
    EXPECT_TRUE(front.isActive);

    notices.clear();
    ASSERT_TRUE(activate(workspace, terminal, "org.gnome.Terminal"));
    EXPECT_EQ(notices, (QStringList{"deactivated code", "activated org.gnome.Terminal"}));
    const QList<RunningApplication> running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 2);
    EXPECT_EQ(running.at(0).bundleIdentifier, "code");
    EXPECT_FALSE(running.at(0).isActive);
    EXPECT_TRUE(running.at(1).isActive);

    // The active application's last window goes: deactivated, then terminated (the window
    // manager may activate the editor before it lists the window gone, or after).
    notices.clear();
    server->destroyWindow(terminal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices.contains("terminated org.gnome.Terminal"); }, 10000)) << lines(notices);
    EXPECT_EQ(notices.count("deactivated org.gnome.Terminal"), 1) << lines(notices);
    EXPECT_LT(notices.indexOf("deactivated org.gnome.Terminal"), notices.indexOf("terminated org.gnome.Terminal"))
        << lines(notices);
    EXPECT_EQ(workspace.runningApplications().size(), 1);

    // No window active, and it lasts (the last one minimised): nothing is in front.
    ASSERT_TRUE(activate(workspace, editor, "code"));
    notices.clear();
    server->minimize(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !workspace.frontmostApplication(); }, 10000)) << lines(notices);
    EXPECT_EQ(server->activeWindow(), 0u);
    EXPECT_EQ(lines(notices), "deactivated code");
    ASSERT_EQ(workspace.runningApplications().size(), 1);
    EXPECT_FALSE(workspace.runningApplications().first().isActive);
}

TEST_F(HostWorkspaceTest, WindowsThatNameNoApplicationHaveADefinedAnswer)
{
    test::LogCapture logs;
    HostWorkspace workspace(server->display(), entries);
    const struct {
        const char *what;
        XServer::WindowTraits traits;
        std::optional<QString> id;
        std::optional<QString> name;
        qint64 pid;
        int logLines;
    } table[] = {
        {"no class", {std::nullopt, std::nullopt, 100}, std::nullopt, std::nullopt, 100, 1},
        {"a class of 10,000 characters",
         {XServer::wmClass("long", QByteArray(10000, 'x')), std::nullopt, 101}, std::nullopt, std::nullopt, 101, 1},
        {"an empty class", {QByteArray(), std::nullopt, 102}, std::nullopt, std::nullopt, 102, 1},
        {"no pid", {XServer::wmClass("code", "Code"), std::nullopt, std::nullopt}, "code", "Visual Studio Code", 0, 0},
        {"a class without a desktop entry", {XServer::wmClass("xmessage", "Xmessage"), std::nullopt, 103},
         "Xmessage", "Xmessage", 103, 0},
        {"an application id of control characters", {XServer::wmClass("code", "Code"), QByteArray("a\tb"), 104},
         "code", "Visual Studio Code", 104, 0},
        {"a class in Latin-1", {XServer::wmClass("caf\xe9", "Caf\xe9"), std::nullopt, 105}, "Caf\u00e9", "Caf\u00e9", 105, 0},
        {"a class in UTF-8", {XServer::wmClass("caf\xc3\xa9", "Caf\xc3\xa9"), std::nullopt, 106}, "Caf\u00e9", "Caf\u00e9",
         106, 0},
    };
    for (const auto &row : table) {
        logs.clear();
        const quint32 window = server->createWindow(row.traits);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(window); }, 10000)) << row.what;
        server->activate(window);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const auto front = workspace.frontmostApplication();
            return server->activeWindow() == window && front && front->processIdentifier == row.pid;
        }, 10000)) << row.what;
        const RunningApplication front = *workspace.frontmostApplication();
        EXPECT_EQ(front.bundleIdentifier, row.id) << row.what;
        EXPECT_EQ(front.localizedName, row.name) << row.what;
        EXPECT_EQ(logs.messages("Workspace").size(), row.logLines) << row.what;
        server->destroyWindow(window);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server->isManaged(window); }, 10000)) << row.what;
    }
}

// Window ids are reused: a client that connects after another closed may get its ids. The
// new client's window is its own application, not the one that had the id before.
TEST_F(HostWorkspaceTest, ANewClientThatReusesAClosedWindowsIdIsItself)
{
    HostWorkspace workspace(server->display(), entries);
    const quint32 editor = server->createWindowOfNewClient({XServer::wmClass("code", "Code"), std::nullopt, 4242});
    ASSERT_NE(editor, 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(editor); }, 10000));
    ASSERT_TRUE(activate(workspace, editor, "code"));

    server->closeClient(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server->isManaged(editor); }, 10000));
    quint32 browser = 0;
    for (int attempt = 0; attempt < 20 && browser != editor; ++attempt) {
        server->closeClient(browser);
        browser = server->createWindowOfNewClient({XServer::wmClass("Navigator", "firefox"), std::nullopt, 5151});
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(browser); }, 10000));
    }
    ASSERT_EQ(browser, editor) << "no client was given the closed window's id";
    ASSERT_TRUE(activate(workspace, browser, "firefox"));
    const RunningApplication front = *workspace.frontmostApplication();
    EXPECT_EQ(front.processIdentifier, 5151);
    EXPECT_EQ(front.localizedName, "firefox");
    const QList<RunningApplication> running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running.first().bundleIdentifier, "firefox");
}

// A window of this process (its _NET_WM_PID) is never in front nor listed: while it is
// active the application before it stays in front, and nothing is announced, also where
// the window manager passes through "no active window" between the two (openbox often
// does). The terminal's activation at the end is heard after everything before it.
TEST_F(HostWorkspaceTest, OwnWindowsAreNeverTheFrontApplication)
{
    HostWorkspace workspace(server->display(), entries);
    const quint32 editor = server->createWindow({XServer::wmClass("code", "Code"), std::nullopt, 4242});
    const quint32 own = server->createWindow(
        {XServer::wmClass("quellvista", "Quellvista"), std::nullopt, quint32(QCoreApplication::applicationPid())});
    const quint32 terminal = server->createWindow(
        {XServer::wmClass("gnome-terminal-server", "Gnome-terminal"), QByteArray("org.gnome.Terminal"), 4343});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(editor) && server->isManaged(own) && server->isManaged(terminal); },
                                10000));
    ASSERT_TRUE(activate(workspace, editor, "code"));
    QStringList notices;
    const auto record = [&](const char *what) {
        return [&notices, &workspace, what](const std::optional<RunningApplication> &app) {
            const auto front = workspace.frontmostApplication();
            notices << QStringLiteral("%1 %2, front %3")
                           .arg(QLatin1String(what), app ? app->bundleIdentifier.value_or("-") : "none",
                                front ? front->bundleIdentifier.value_or("-") : "none");
        };
    };
    QObject::connect(&workspace, &Workspace::applicationActivated, record("activated"));
    QObject::connect(&workspace, &Workspace::applicationDeactivated, record("deactivated"));

    for (int i = 0; i < 300 && notices.isEmpty(); ++i) {
        server->activate(own);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->activeWindow() == own; }, 10000)) << i;
        ASSERT_TRUE(activate(workspace, editor, "code")) << i;
    }
    server->activate(own);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->activeWindow() == own; }, 10000));
    ASSERT_TRUE(activate(workspace, terminal, "org.gnome.Terminal"));
    EXPECT_EQ(lines(notices), "deactivated code, front org.gnome.Terminal\n"
                              "activated org.gnome.Terminal, front org.gnome.Terminal");
    const QList<RunningApplication> running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 2);
    EXPECT_EQ(running.first().bundleIdentifier, "code");
    EXPECT_EQ(running.last().bundleIdentifier, "org.gnome.Terminal");
}

// A window whose application was installed after it was first seen is named anew.
TEST_F(HostWorkspaceTest, AnApplicationInstalledWhileRunningIsKnownByItsId)
{
    HostWorkspace workspace(server->display(), entries);
    const quint32 window = server->createWindow({XServer::wmClass("obsidian", "obsidian"), std::nullopt, 777});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(window); }, 10000));
    ASSERT_TRUE(activate(workspace, window, "obsidian"));
    writeFile(data.filePath("applications/md.obsidian.Obsidian.desktop"),
              "[Desktop Entry]\nType=Application\nName=Obsidian\nStartupWMClass=obsidian\n");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto front = workspace.frontmostApplication();
        return front && front->bundleIdentifier == "md.obsidian.Obsidian";
    }, 10000));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, "Obsidian");
}

// The workspace and the idle time on one connection each hear the events of their types:
// the window manager's properties and the screen saver's notices.
TEST_F(HostWorkspaceTest, SharesOneConnectionWithTheIdleTime)
{
    x11::XConnection x(server->display(), Logger("X11"));
    HostWorkspace workspace(x, entries);
    HostIdle idle(x, QDBusConnection(QString()));
    ASSERT_EQ(idle.source(), HostIdle::Source::xScreenSaver);
    const quint32 window = server->createWindow({XServer::wmClass("code", "Code"), std::nullopt, 4242});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->isManaged(window); }, 10000));
    ASSERT_TRUE(activate(workspace, window, "code"));
    ASSERT_EQ(server->runClient(QStringLiteral("xset"), {"s", "activate"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle.screenBlanked(); }, 5000));
    ASSERT_EQ(server->runClient(QStringLiteral("xdotool"), {"mousemove", "300", "300"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !idle.screenBlanked(); }, 5000));
}

TEST(HostWorkspaceAbsentTest, NoServerGivesNoApplicationsAndOneLogLine)
{
    test::LogCapture logs;
    HostWorkspace workspace(QStringLiteral(":65000"), nullptr);
    EXPECT_FALSE(workspace.isConnected());
    EXPECT_FALSE(workspace.frontmostApplication());
    EXPECT_TRUE(workspace.runningApplications().isEmpty());
    EXPECT_EQ(logs.messages("Workspace").size(), 1);
    workspace.finishLaunching();
    EXPECT_TRUE(workspace.isApplicationRunning()) << "the application's own life cycle needs no server";
}

} // namespace
