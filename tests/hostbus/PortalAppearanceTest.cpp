#include "HostBusTest.h"

#include "platform/host/PortalAppearance.h"

#include <QDBusVariant>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

const QString kPortalPath = QString::fromLatin1(PortalAppearance::kPath);
const QString kSettings = QString::fromLatin1(PortalAppearance::kInterface);

class PortalAppearanceTest : public test::HostBusTest {
protected:
    // A portal whose method answers with the Python expression given.
    static QStringList portal(const QString &method, const QString &answer)
    {
        const QJsonObject parameters{{QStringLiteral("method"), method}, {QStringLiteral("answer"), answer}};
        return {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/portal_settings.py"), QStringLiteral("-p"),
                QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))};
    }
    void startPortal(const QString &method, const QString &answer)
    {
        ASSERT_TRUE(bus->startMock(kPortal, portal(method, answer)));
    }
    void announce(const QVariant &scheme)
    {
        ASSERT_EQ(bus->emitSignal(kPortal, kPortalPath, kSettings, QStringLiteral("SettingChanged"), QStringLiteral("ssv"),
                                  {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                                   QVariant::fromValue(QDBusVariant(scheme))}),
                  QString());
    }
};

} // namespace

// The desktop prefers dark, then light through the change signal.
TEST_F(PortalAppearanceTest, FollowsTheDesktopsColourScheme)
{
    startPortal(QStringLiteral("ReadOne"), QStringLiteral("dbus.UInt32(1)"));
    PortalAppearance appearance(bus->connection());
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::aqua) << "light until the portal answers";
    QSignalSpy changed(&appearance, &Appearance::systemAppearanceChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::darkAqua);

    announce(2u); // prefers light
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 2; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::aqua);
    EXPECT_TRUE(logs->messages(QStringLiteral("Appearance")).isEmpty());
}

// A portal with only the older read answers through it.
TEST_F(PortalAppearanceTest, AnOlderPortalIsReadThroughRead)
{
    startPortal(QStringLiteral("Read"), QStringLiteral("dbus.UInt32(1, variant_level=1)"));
    PortalAppearance appearance(bus->connection());
    QSignalSpy changed(&appearance, &Appearance::systemAppearanceChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::darkAqua);
}

// A scheme of the wrong type keeps the appearance, with one line; no portal is light.
TEST_F(PortalAppearanceTest, UnusableAnswersKeepTheAppearance)
{
    {
        PortalAppearance appearance(bus->connection());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("Appearance")).isEmpty(); }));
        EXPECT_TRUE(logs->containsPart(QStringLiteral("Appearance"), QStringLiteral("ServiceUnknown")));
        EXPECT_EQ(appearance.systemAppearanceName(), Appearance::aqua);
    }
    logs->clear();
    startPortal(QStringLiteral("ReadOne"), QStringLiteral("'dark'"));
    PortalAppearance appearance(bus->connection());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("Appearance")).isEmpty(); }));
    EXPECT_EQ(logs->messages(QStringLiteral("Appearance")),
              QStringList{"the portal's answer gives a value of signature s as the colour scheme; the appearance stays "
                          "as it was"});
    announce(QStringLiteral("dark"));
    announce(1u);
    QSignalSpy changed(&appearance, &Appearance::systemAppearanceChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::darkAqua);
    EXPECT_EQ(logs->messages(QStringLiteral("Appearance")).size(), 2);
}

// A portal that starts five seconds after the program is read when it comes, and the
// tray reads the same answer: no preference (0) is light for the appearance and nothing
// for the tray. One that goes leaves the appearance, with a line, and is asked again: the
// bus starts another on demand.
TEST_F(PortalAppearanceTest, ALatePortalIsFollowed)
{
    QElapsedTimer started;
    started.start();
    PortalAppearance appearance(bus->connection());
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->containsPart(QStringLiteral("Appearance"), QStringLiteral("ServiceUnknown")); }));
    QTest::qWait(int(std::max<qint64>(0, 5'000 - started.elapsed())));
    QSignalSpy changed(&appearance, &Appearance::systemAppearanceChanged);
    startPortal(QStringLiteral("ReadOne"), QStringLiteral("dbus.UInt32(1)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 1; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::darkAqua);
    EXPECT_EQ(appearance.desktopPreference(), true);

    announce(0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 2; }));
    EXPECT_EQ(appearance.systemAppearanceName(), Appearance::aqua);
    EXPECT_EQ(appearance.desktopPreference(), std::nullopt);
    announce(2u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.size() == 3; }));
    EXPECT_EQ(appearance.desktopPreference(), false);

    ASSERT_TRUE(bus->makeActivatable(kPortal, portal(QStringLiteral("ReadOne"), QStringLiteral("dbus.UInt32(1)"))));
    bus->stopMock(kPortal);
    EXPECT_TRUE(QTest::qWaitFor([&] { return appearance.desktopPreference() == true; }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Appearance"), QStringLiteral("has gone: the appearance stays as it was")));
}
