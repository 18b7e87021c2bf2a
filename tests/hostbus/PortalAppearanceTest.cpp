#include "HostBusTest.h"

#include "platform/host/PortalAppearance.h"

#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

const QString kPortal = QString::fromLatin1(PortalAppearance::kService);
const QString kPortalPath = QString::fromLatin1(PortalAppearance::kPath);
const QString kSettings = QString::fromLatin1(PortalAppearance::kInterface);
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");

class PortalAppearanceTest : public test::HostBusTest {
protected:
    // A portal whose method answers with the Python expression given.
    void startPortal(const QString &method, const QString &answer)
    {
        ASSERT_TRUE(bus->startMock(kPortal, {QStringLiteral("--session"), kPortal, kPortalPath, kSettings}));
        ASSERT_EQ(bus->call(kPortal, kPortalPath, kMock, QStringLiteral("AddMethod"),
                            {kSettings, method, QStringLiteral("ss"), QStringLiteral("v"),
                             QStringLiteral("ret = ") + answer}),
                  QString());
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
