#include "platform/host/HostIdle.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/XServer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace qv;
using qv::test::XServer;

namespace {

// The X server counts the idle time from the last input of any device: it grows while
// nothing happens and starts again at a pointer move.
TEST(HostIdleTest, TheScreenSaverExtensionCountsFromTheLastInput)
{
    XServer server(false);
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    test::LogCapture logs;
    HostIdle idle(server.display(), QDBusConnection(QString()));
    ASSERT_EQ(idle.source(), HostIdle::Source::xScreenSaver);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() >= 1.0; }, 10000));
    ASSERT_EQ(server.runClient(QStringLiteral("xdotool"), {"mousemove", "200", "200"}), 0);
    EXPECT_LT(idle.secondsSinceLastInputEvent(), 1.0);
    EXPECT_TRUE(logs.messages("Idle").isEmpty());
}

// A private session bus with a stand-in for the session's idle services (python3-dbusmock).
class IdleBus {
public:
    IdleBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForReadyRead(10000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        m_bus = QDBusConnection::connectToBus(m_address, QStringLiteral("idle-test-%1").arg(quintptr(this)));
    }
    ~IdleBus()
    {
        for (QProcess *mock : m_mocks) {
            mock->terminate();
            mock->waitForFinished(5000);
            delete mock;
        }
        QDBusConnection::disconnectFromBus(m_bus.name());
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    bool isConnected() const { return m_bus.isConnected(); }
    const QDBusConnection &bus() const { return m_bus; }

    // Starts a mock of service at path whose method answers with the Python expression.
    bool mock(const QString &service, const QString &path, const QString &method, const QString &outSignature,
              const QString &answer)
    {
        auto *process = new QProcess;
        m_mocks << process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        process->setProcessEnvironment(environment);
        // The system Python has the mock library.
        process->start(QStringLiteral("/usr/bin/python3"), {"-m", "dbusmock", service, path, service});
        if (!QTest::qWaitFor([&] { return m_bus.interface()->isServiceRegistered(service).value(); }, 20000))
            return false;
        QDBusMessage add = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Mock"),
                                                          QStringLiteral("AddMethod"));
        add << service << method << QString() << outSignature << QStringLiteral("ret = %1").arg(answer);
        return m_bus.call(add).type() == QDBusMessage::ReplyMessage;
    }

private:
    QProcess m_daemon;
    QString m_address;
    QDBusConnection m_bus{QString()};
    QList<QProcess *> m_mocks;
};

TEST(HostIdleTest, WithoutTheExtensionTheSessionServicesAnswer)
{
    IdleBus bus;
    if (!bus.isConnected())
        QV_SKIP_WITHOUT("no dbus-daemon");
    const QString monitor = QString::fromLatin1(HostIdle::kIdleMonitorService);
    const QString saver = QString::fromLatin1(HostIdle::kScreenSaverService);

    // The compositor's idle monitor first, in milliseconds.
    ASSERT_TRUE(bus.mock(monitor, HostIdle::kIdleMonitorPath, "GetIdletime", "t", "dbus.UInt64(93500)"));
    test::LogCapture logs;
    {
        HostIdle idle(QStringLiteral(":65000"), bus.bus());
        EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 93.5);
        EXPECT_EQ(idle.source(), HostIdle::Source::idleMonitor);
    }
}

TEST(HostIdleTest, AnswersOfTheWrongTypeAndAbsentServicesGiveZeroWithOneLogLine)
{
    IdleBus bus;
    if (!bus.isConnected())
        QV_SKIP_WITHOUT("no dbus-daemon");
    const QString monitor = QString::fromLatin1(HostIdle::kIdleMonitorService);
    const QString saver = QString::fromLatin1(HostIdle::kScreenSaverService);
    test::LogCapture logs;
    {
        // Nothing on the bus at all.
        HostIdle idle(QStringLiteral(":65000"), bus.bus());
        EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
        EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
        EXPECT_EQ(idle.source(), HostIdle::Source::none);
        EXPECT_EQ(logs.messages("Idle").size(), 1);
    }
    // The idle monitor answers text; the screen saver answers, in milliseconds.
    ASSERT_TRUE(bus.mock(monitor, HostIdle::kIdleMonitorPath, "GetIdletime", "s", "'soon'"));
    ASSERT_TRUE(bus.mock(saver, HostIdle::kScreenSaverPath, "GetSessionIdleTime", "u", "dbus.UInt32(4000)"));
    logs.clear();
    HostIdle idle(QStringLiteral(":65000"), bus.bus());
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 4.0);
    EXPECT_EQ(idle.source(), HostIdle::Source::screenSaver);
    EXPECT_EQ(logs.messages("Idle").size(), 1) << "the monitor's wrong answer, once";
}

} // namespace
