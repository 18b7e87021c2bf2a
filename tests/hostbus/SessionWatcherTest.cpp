#include "HostBusTest.h"

#include "app/QuellvistaApp.h"
#include "display/DisplayTuning.h"
#include "display/PipelineMonitor.h"
#include "platform/host/HostBusServices.h"
#include "platform/host/HostDisplays.h"
#include "platform/host/SessionWatcher.h"
#include "platform/sim/SimWorkspace.h"
#include "support/DummyXorg.h"
#include "support/MissingTool.h"
#include "support/RandrClient.h"
#include "support/TimeZoneGuard.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kTimedate = QStringLiteral("org.freedesktop.timedate1");
const QString kTimedatePath = QStringLiteral("/org/freedesktop/timedate1");

class SessionWatcherTest : public test::HostBusTest {
protected:
    void sleepSignal(const QString &signature, const QVariant &value)
    {
        ASSERT_EQ(bus->emitSignal(kLogind, kLogindPath, QStringLiteral("org.freedesktop.login1.Manager"),
                                  QStringLiteral("PrepareForSleep"), signature, {value}),
                  QString());
    }
    void setZone(const QString &zone)
    {
        ASSERT_EQ(bus->call(kTimedate, kTimedatePath, kTimedate, QStringLiteral("SetTimezone"), {zone, false}), QString());
    }
    // A POSIX zone in which the current virtual time falls at the given hour.
    QByteArray zoneAtHour(int hour) const
    {
        const int utcHour = clock->now().toUTC().time().hour();
        const int east = ((hour - utcHour) % 24 + 24) % 24;
        return QByteArrayLiteral("QVZ-") + QByteArray::number(east);
    }
};

} // namespace

// Waking from sleep reaches the workspace, and the pipeline watch looks again (which
// re-applies the display settings); going to sleep does not.
TEST_F(SessionWatcherTest, WakingFromSleepReappliesThroughTheWorkspace)
{
    ASSERT_TRUE(bus->startMock(kLogind, {QStringLiteral("--template"), QStringLiteral("logind")}));
    HostBusServices host(bus->connection(), bus->connection());
    installPlatform(host.over(mac->services()));
    QSignalSpy woke(&mac->workspace(), &Workspace::screensDidWake);

    QuellvistaApp app;
    app.performLaunchSetup();
    advance(2'000);
    const int looked = app.pipelineMonitor().refreshCount();

    sleepSignal(QStringLiteral("b"), true);
    sleepSignal(QStringLiteral("b"), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return woke.size() == 1; }));
    advance(2'000);
    EXPECT_EQ(app.pipelineMonitor().refreshCount(), looked + 1);
    EXPECT_EQ(app.pipelineMonitor().lastRefreshReason(), "wake");

    // A sleep signal that carries no yes or no: one line, no wake.
    sleepSignal(QStringLiteral("s"), QStringLiteral("false"));
    sleepSignal(QStringLiteral("s"), QStringLiteral("false"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->containsPart(QStringLiteral("SessionWatcher"), QStringLiteral("PrepareForSleep")); }));
    QTest::qWait(0);
    EXPECT_EQ(woke.size(), 1);
    EXPECT_EQ(logs->messages(QStringLiteral("SessionWatcher")).size(), 1);
}

// A bus that goes away is said once for each bus, not passed over in silence.
TEST_F(SessionWatcherTest, ABusThatGoesIsLogged)
{
    HostBusServices host(bus->connection(), bus->connection());
    bus->stopDaemon();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->messages(QStringLiteral("Bus")).size() == 2; }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Bus"), QStringLiteral("The session bus has gone")));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Bus"), QStringLiteral("The system bus has gone")));
}

// A ramp reset while the system slept, or while another virtual terminal had the screen
// (as drivers do), gets the formula again on the wake and on the return to our session.
TEST_F(SessionWatcherTest, AWakeOrAReturnToTheSessionWritesTheFormulaAgain)
{
    test::DummyXorg server;
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    test::RandrClient client(server.display());
    ASSERT_TRUE(bus->startMock(kLogind, {QStringLiteral("--template"), QStringLiteral("logind")}));
    ASSERT_EQ(bus->call(kLogind, kLogindPath, kMock, QStringLiteral("AddSession"),
                        {QStringLiteral("c7"), QStringLiteral("seat0"), 1000u, QStringLiteral("user"), true}),
              QString());
    const QByteArray sessionBefore = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_SESSION_ID", "c7");
    HostDisplays::Options options;
    options.displayName = server.display();
    options.restoreFilePath = dir->filePath(QStringLiteral("gamma.json"));
    HostDisplays randr(options);
    HostBusServices host(bus->connection(), bus->connection());
    PlatformServices services = host.over(mac->services());
    services.displays = &randr;
    installPlatform(services);
    QObject::connect(&mac->workspace(), &Workspace::screensDidWake, &randr, &HostDisplays::screensDidWake);
    qputenv("XDG_SESSION_ID", sessionBefore);

    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setEnabled(true);
    tuning.setWarmth(0.9);
    const std::optional<GammaRamp> evening = client.ramp(QStringLiteral("DUMMY0"));
    const GammaRamp linear = gammaRampForFormula(TransferFormula::identity(), 256);
    ASSERT_NE(evening, linear);
    const QString session = QStringLiteral("/org/freedesktop/login1/session/c7");
    const auto active = [&](bool on) {
        ASSERT_EQ(bus->setProperty(kLogind, session, QStringLiteral("org.freedesktop.login1.Session"),
                                   QStringLiteral("Active"), on),
                  QString());
    };
    const std::function<void()> ways[] = {
        [&] { sleepSignal(QStringLiteral("b"), true), sleepSignal(QStringLiteral("b"), false); },
        [&] { active(false), active(true); },
    };
    for (const auto &wake : ways) {
        ASSERT_TRUE(client.setRamp(QStringLiteral("DUMMY0"), linear));
        QTest::qWait(200); // the session's object is followed once logind has answered
        wake();
        EXPECT_TRUE(QTest::qWaitFor([&] { runPending(); return client.ramp(QStringLiteral("DUMMY0")) == evening; }, 5000));
    }
    randr.restoreColorSyncSettings();
    installPlatform(mac->services()); // the tuning outlives these displays
}

// A new zone from timedated moves the circadian schedule to the phase of the new local
// hour at once.
TEST_F(SessionWatcherTest, ATimeZoneChangeMovesTheCircadianPhase)
{
    test::TimeZoneGuard zone(zoneAtHour(12).constData());
    ASSERT_TRUE(bus->startMock(kTimedate, {QStringLiteral("--template"), QStringLiteral("timedated")}));
    HostBusServices host(bus->connection(), bus->connection());
    installPlatform(host.over(mac->services()));
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setCircadianScheduleEnabled(true);
    advance(2'000);
    EXPECT_DOUBLE_EQ(tuning.brightness(), 0.96) << "daylight";
    EXPECT_FALSE(tuning.noBlueModeEnabled());

    // The system moves to a zone where it is one in the morning.
    QSignalSpy changed(&mac->workspace(), &Workspace::timeZoneChanged);
    test::TimeZoneGuard::use(zoneAtHour(1).constData());
    setZone(QStringLiteral("Pacific/Kiritimati"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    advance(2'000);
    EXPECT_DOUBLE_EQ(tuning.brightness(), 0.40) << "no blue";
    EXPECT_TRUE(tuning.noBlueModeEnabled());
}

// timedated's reports, as they arrive: a zone is announced once, and not when it is the
// zone already; a report of another shape reads the zone file or is left alone.
TEST_F(SessionWatcherTest, ZoneReportsAreAnnouncedOnce)
{
    const QString zoneFile = sysfs.filePath(QStringLiteral("localtime"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/zoneinfo/Europe/Berlin"), zoneFile));
    EXPECT_EQ(SessionWatcher::zoneOfFile(zoneFile), "Europe/Berlin");
    SessionWatcher watcher(QDBusConnection(QStringLiteral("no bus")), zoneFile);
    QSignalSpy changed(&watcher, &SessionWatcher::timeZoneChanged);
    logs->clear();

    struct Case {
        const char *name;
        QVariantList arguments;
        int announced; // in all, so far
        const char *logged;
    };
    const QString timedate = QStringLiteral("org.freedesktop.timedate1");
    const auto zone = [](const QVariant &value) { return QVariantMap{{QStringLiteral("Timezone"), value}}; };
    const QList<Case> cases = {
        {"the zone already", {timedate, zone(QStringLiteral("Europe/Berlin")), QStringList()}, 0, ""},
        {"a new zone", {timedate, zone(QStringLiteral("Asia/Tokyo")), QStringList()}, 1, ""},
        {"the same again", {timedate, zone(QStringLiteral("Asia/Tokyo")), QStringList()}, 1, ""},
        {"another interface", {QStringLiteral("org.example"), zone(QStringLiteral("America/Lima")), QStringList()}, 1, ""},
        {"other properties", {timedate, QVariantMap{{QStringLiteral("NTP"), true}}, QStringList()}, 1, ""},
        // Told only that the zone changed, or given a number: the zone file says (Berlin).
        {"invalidated", {timedate, QVariantMap(), QStringList{QStringLiteral("Timezone")}}, 2, ""},
        {"a number", {timedate, zone(7), QStringList()}, 2, "gives a value of signature i as the time zone"},
        {"another shape", {timedate, QStringLiteral("Asia/Tokyo")}, 2, "reports a change with a value of signature s in place"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDBusMessage message = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/timedate1"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        message.setArguments(c.arguments);
        ASSERT_TRUE(QMetaObject::invokeMethod(&watcher, "timedatePropertiesChanged", Q_ARG(QDBusMessage, message)));
        EXPECT_EQ(changed.size(), c.announced);
        if (*c.logged) {
            EXPECT_TRUE(logs->containsPart(QStringLiteral("SessionWatcher"), QString::fromLatin1(c.logged)));
        }
    }
}

// A zone file replaced by hand is seen without timedated.
TEST_F(SessionWatcherTest, AReplacedZoneFileIsAnnounced)
{
    const QString zoneFile = sysfs.filePath(QStringLiteral("etc/localtime"));
    QDir().mkpath(sysfs.filePath(QStringLiteral("etc")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/zoneinfo/Europe/Berlin"), zoneFile));
    SessionWatcher watcher(bus->connection(), zoneFile);
    QSignalSpy changed(&watcher, &SessionWatcher::timeZoneChanged);

    const QString next = zoneFile + QStringLiteral(".new");
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/zoneinfo/America/Lima"), next));
    ASSERT_EQ(::rename(QFile::encodeName(next).constData(), QFile::encodeName(zoneFile).constData()), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(SessionWatcher::zoneOfFile(zoneFile), "America/Lima");
}

// Without a system bus only the zone file is followed, after one line.
TEST_F(SessionWatcherTest, WithoutASystemBusOneLineIsLogged)
{
    SessionWatcher watcher(QDBusConnection(QStringLiteral("no bus")), sysfs.filePath(QStringLiteral("localtime")));
    EXPECT_EQ(logs->messages(QStringLiteral("SessionWatcher")).size(), 1);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("SessionWatcher"), QStringLiteral("No system bus")));
}
