#include "platform/desktop/DesktopNotifications.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace qv;

namespace {

// A notification service of our own, on its own connection to the private bus.
class FakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        uint replacesId;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    QList<Call> calls;
    QString errorName; // answer every call with this error when set
    uint nextId = 41;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int)
    {
        calls.append({appName, replacesId, summary, body, hints});
        if (!errorName.isEmpty()) {
            sendErrorReply(errorName, QStringLiteral("the service is unwell"));
            return 0;
        }
        return replacesId ? replacesId : ++nextId;
    }
    QStringList GetCapabilities()
    {
        if (!errorName.isEmpty())
            sendErrorReply(errorName, QStringLiteral("the service is unwell"));
        return {QStringLiteral("body"), QStringLiteral("sound")};
    }
};

class NotificationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QV_SKIP_WITHOUT("no session bus (the test runs under dbus-run-session)");
    }
    void TearDown() override
    {
        if (m_serviceBus) {
            m_serviceBus->unregisterObject(QLatin1String(DesktopNotifications::kPath));
            m_serviceBus->unregisterService(QLatin1String(DesktopNotifications::kService));
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-notification-service"));
        }
    }

    void startService()
    {
        m_serviceBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notification-service")));
        ASSERT_TRUE(m_serviceBus->registerService(QLatin1String(DesktopNotifications::kService)));
        ASSERT_TRUE(m_serviceBus->registerObject(QLatin1String(DesktopNotifications::kPath), &service,
                                                 QDBusConnection::ExportAllSlots));
    }

    FakeNotificationService service;
    test::LogCapture logs;

private:
    std::unique_ptr<QDBusConnection> m_serviceBus;
};

} // namespace

TEST_F(NotificationsTest, PostsToTheServiceAndReplacesByIdentifier)
{
    startService();
    DesktopNotifications notifications(QDBusConnection::sessionBus());
    std::optional<bool> granted;
    notifications.requestAuthorization([&](bool answer) { granted = answer; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return granted.has_value(); }));
    EXPECT_TRUE(*granted);

    notifications.post("breakReminder", "Time to look away", "Look at something 20 feet away for 20 seconds.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }));
    const auto &first = service.calls.at(0);
    EXPECT_EQ(first.appName, "Quellvista");
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.summary, "Time to look away");
    EXPECT_EQ(first.body, "Look at something 20 feet away for 20 seconds.");
    EXPECT_TRUE(first.hints.contains("sound-name"));

    // The same identifier replaces the notification shown; another one stands beside it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.shownId("breakReminder") == 42u; }));
    notifications.post("breakReminder", "Time to look away", "again");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 2; }));
    EXPECT_EQ(service.calls.at(1).replacesId, 42u);
    notifications.post("other", "Other", "text");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 3; }));
    EXPECT_EQ(service.calls.at(2).replacesId, 0u);
    EXPECT_TRUE(logs.messages("Notifications").isEmpty());
}

TEST_F(NotificationsTest, ErrorAnswerIsLoggedWithTheText)
{
    startService();
    service.errorName = QStringLiteral("org.freedesktop.Notifications.Error.Unwell");
    DesktopNotifications notifications(QDBusConnection::sessionBus());
    std::optional<bool> granted;
    notifications.requestAuthorization([&](bool answer) { granted = answer; });
    notifications.post("breakReminder", "Time to look away", "Look at something");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs.containsPart("Notifications", "not shown"); }));
    EXPECT_TRUE(logs.containsPart("Notifications", "org.freedesktop.Notifications.Error.Unwell"));
    EXPECT_TRUE(logs.containsPart("Notifications", "Time to look away — Look at something"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return granted.has_value(); }));
    EXPECT_FALSE(*granted);
}

TEST_F(NotificationsTest, AbsentServiceIsLoggedAndNothingBreaks)
{
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QLatin1String(DesktopNotifications::kService)));
    DesktopNotifications notifications(QDBusConnection::sessionBus());
    notifications.post("breakReminder", "Time to look away", "body");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs.containsPart("Notifications", "not shown"); }));
    EXPECT_TRUE(logs.containsPart("Notifications", "org.freedesktop.DBus.Error.ServiceUnknown"));
}

TEST(DesktopNotificationsWithoutBus, WritesToTheLog)
{
    test::LogCapture logs;
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/quellvista-bus"), QStringLiteral("no-bus"));
    ASSERT_FALSE(none.isConnected());
    DesktopNotifications notifications(none);
    std::optional<bool> granted;
    notifications.requestAuthorization([&](bool answer) { granted = answer; });
    EXPECT_EQ(granted, false);
    notifications.post("breakReminder", "Time to look away", "Look at something");
    EXPECT_TRUE(logs.contains("Notifications", "Notification \"breakReminder\": Time to look away — Look at something"));
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

#include "NotificationsTest.moc"
