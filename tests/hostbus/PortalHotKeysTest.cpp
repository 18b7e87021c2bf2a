#include "HostBusTest.h"

#include "platform/desktop/PortalHotKeys.h"

#include <QDBusObjectPath>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

const QString kShortcutsPortal = QString::fromLatin1(PortalHotKeys::kService);
constexpr quint32 kCommandShift = kHotKeyCommand | kHotKeyShift;

// The key grabs the keys go to where the portal has no global shortcuts.
struct RecordingHotKeys : HotKeys {
    QList<HotKeyID> registered;
    QList<HotKeyRef> unregistered;
    QSet<int> missing; // key codes the keyboard lacks
    PressHandler handler;
    std::function<void()> changed;
    ResultCode installPressHandler(PressHandler h) override
    {
        handler = std::move(h);
        return 0;
    }
    ResultCode registerHotKey(int keyCode, quint32, HotKeyID id, HotKeyRef *ref) override
    {
        if (missing.contains(keyCode))
            return kHotKeyNoSuchKey;
        registered << id;
        *ref = registered.size();
        return 0;
    }
    void unregisterHotKey(HotKeyRef ref) override { unregistered << ref; }
    void setChangeHandler(std::function<void()> h) override { changed = std::move(h); }
};

class PortalHotKeysTest : public test::HostBusTest {
protected:
    static QStringList portal(int version, int response = 0)
    {
        const QJsonObject parameters{{QStringLiteral("version"), version}, {QStringLiteral("response"), response}};
        return {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/global_shortcuts.py"), QStringLiteral("-p"),
                QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))};
    }
    void startPortal(int version, int response = 0)
    {
        ASSERT_TRUE(bus->startMock(kShortcutsPortal, portal(version, response)));
    }
    bool settles(PortalHotKeys &hotKeys, HotKeyWay way)
    {
        return QTest::qWaitFor([&] { return hotKeys.way() == way; }, 20'000);
    }
    void press(const QString &session, HotKeyID id)
    {
        ASSERT_EQ(bus->call(kShortcutsPortal, QString::fromLatin1(PortalHotKeys::kPath), kMock,
                            QStringLiteral("Activate"),
                            {QVariant::fromValue(QDBusObjectPath(session)), PortalHotKeys::shortcutId(id)}),
                  QString());
    }
};

} // namespace

TEST(PortalHotKeysTriggerTest, KeysInTheShortcutsNotation)
{
    EXPECT_EQ(PortalHotKeys::trigger(45, kCommandShift), QStringLiteral("SHIFT+LOGO+n"));
    EXPECT_EQ(PortalHotKeys::trigger(18, kHotKeyControl | kHotKeyOption), QStringLiteral("CTRL+ALT+1"));
    EXPECT_EQ(PortalHotKeys::trigger(53, kCommandShift), QString()) << "Escape has no character here";
}

// The keys registered together are bound in one session with their triggers; a press
// reaches the handler; another set of keys is bound in a new session, whose presses count.
TEST_F(PortalHotKeysTest, BindsTheKeysAndReportsPresses)
{
    startPortal(1);
    PortalHotKeys hotKeys(bus->connection(), nullptr);
    QList<HotKeyID> pressed;
    hotKeys.installPressHandler([&](HotKeyID id) { pressed << id; });
    QSignalSpy bound(&hotKeys, &PortalHotKeys::bound);
    HotKeys::HotKeyRef evening = 0, reading = 0;
    ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, &evening), 0);
    ASSERT_EQ(hotKeys.registerHotKey(15, kCommandShift, {7, 3}, &reading), 0);
    ASSERT_EQ(hotKeys.registerHotKey(53, kCommandShift, {7, 4}, nullptr), kHotKeyInvalid);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bound.size() == 1; }));
    EXPECT_EQ(hotKeys.state(), PortalHotKeys::State::portal);
    const auto triggers = bound.first().first().value<QMap<QString, QString>>();
    EXPECT_EQ(triggers, (QMap<QString, QString>{{PortalHotKeys::shortcutId({7, 2}), QStringLiteral("SHIFT+LOGO+n")},
                                                {PortalHotKeys::shortcutId({7, 3}), QStringLiteral("SHIFT+LOGO+r")}}));

    const QString first = hotKeys.session();
    press(first, {7, 3});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 1; }));
    EXPECT_EQ(pressed.first(), (HotKeyID{7, 3}));

    hotKeys.unregisterHotKey(reading);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bound.size() == 2; }));
    EXPECT_NE(hotKeys.session(), first);
    const QStringList remaining = bound.last().first().value<QMap<QString, QString>>().keys();
    EXPECT_EQ(remaining, QStringList{PortalHotKeys::shortcutId(HotKeyID{7, 2})});
    press(first, {7, 2}); // the old session's: not ours any more
    press(hotKeys.session(), {7, 2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed.last(), (HotKeyID{7, 2}));
    QTest::qWait(50);
    EXPECT_EQ(pressed.size(), 2);
}

// Without global shortcuts on the portal (none at all, or another interface only) the
// keys registered before the answer go to the key grabs, and presses come from them.
TEST_F(PortalHotKeysTest, WithoutGlobalShortcutsTheKeyGrabsServe)
{
    for (const bool portalRuns : {false, true}) {
        SCOPED_TRACE(portalRuns);
        if (portalRuns)
            startPortal(0);
        auto grabs = std::make_unique<RecordingHotKeys>();
        RecordingHotKeys *recorded = grabs.get();
        PortalHotKeys hotKeys(bus->connection(), std::move(grabs));
        QList<HotKeyID> pressed;
        hotKeys.installPressHandler([&](HotKeyID id) { pressed << id; });
        recorded->missing = {15};
        int changes = 0;
        hotKeys.setChangeHandler([&] { ++changes; });
        HotKeys::HotKeyRef reading = 0;
        ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, nullptr), 0);
        ASSERT_EQ(hotKeys.registerHotKey(15, kCommandShift, {7, 3}, &reading), 0);
        EXPECT_EQ(hotKeys.keyStatus(reading), kHotKeyPending);
        ASSERT_TRUE(QTest::qWaitFor([&] { return changes == 1; }));
        EXPECT_EQ(hotKeys.way(), HotKeyWay::xwaylandKeyGrabs);
        EXPECT_EQ(recorded->registered, QList<HotKeyID>{(HotKeyID{7, 2})});
        recorded->handler(HotKeyID{7, 2});
        EXPECT_EQ(pressed.size(), 1);
        // The key the keyboard lacked is grabbed once the grabs tell of another map.
        EXPECT_EQ(hotKeys.keyStatus(reading), kHotKeyNoSuchKey);
        recorded->missing.clear();
        recorded->changed();
        EXPECT_EQ(hotKeys.keyStatus(reading), 0);
        EXPECT_EQ(recorded->registered.last(), (HotKeyID{7, 3}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return changes == 2; }));
    }
}

// Neither global shortcuts nor key grabs: the keys stay registered for a portal that comes
// later, and the one line says so; none of them counts as one that can be pressed.
TEST_F(PortalHotKeysTest, WithoutShortcutsOrGrabsTheKeysWaitRegistered)
{
    PortalHotKeys hotKeys(bus->connection(), nullptr);
    HotKeys::HotKeyRef ref = 0;
    ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, &ref), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKeys.state() == PortalHotKeys::State::fallback; }));
    const QStringList lines = logs->messages(QStringLiteral("Shortcuts"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QLatin1String("this session has no key grabs: the hot keys wait for a portal that "
                                                "has them")));
    EXPECT_EQ(hotKeys.way(), HotKeyWay::none);
    EXPECT_EQ(hotKeys.keyStatus(ref), kHotKeyNoWay);
}

// A desktop that refuses the session (the user cancels) gives one line and no keys.
TEST_F(PortalHotKeysTest, ARefusedSessionIsSaidOnce)
{
    startPortal(1, 1);
    PortalHotKeys hotKeys(bus->connection(), nullptr);
    ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, nullptr), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->messages(QStringLiteral("Shortcuts")).size() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")),
              (QStringList{"Global hot keys through the desktop portal (version 1)", "The desktop portal's CreateSession ended with response 1 (cancelled by the user): the hot "
                          "keys are not bound"}));
    EXPECT_TRUE(hotKeys.session().isEmpty());
}

// A portal that the bus starts for the first question (on most desktops) answers it, with
// global shortcuts or without: the answer of the question that started it is not the end.
TEST_F(PortalHotKeysTest, APortalStartedByTheQuestionAnswersIt)
{
    for (const int version : {0, 1}) {
        SCOPED_TRACE(version);
        bus = std::make_unique<test::PrivateBus>();
        ASSERT_TRUE(bus->makeActivatable(kShortcutsPortal, portal(version)));
        PortalHotKeys hotKeys(bus->connection(), std::make_unique<RecordingHotKeys>());
        QSignalSpy bound(&hotKeys, &PortalHotKeys::bound);
        ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, nullptr), 0);
        ASSERT_TRUE(settles(hotKeys, version ? HotKeyWay::portal : HotKeyWay::xwaylandKeyGrabs));
        EXPECT_TRUE(version ? QTest::qWaitFor([&] { return bound.size() == 1; })
                            : logs->containsPart(QStringLiteral("Shortcuts"), QStringLiteral("has no global shortcuts (")));
    }
}

// The portal is asked again whenever it starts or goes, whatever the keys' way: one with
// global shortcuts that starts takes the keys from the key grabs, which get them back
// when it goes; a portal that holds its name and does not answer ends the asking with the
// key grabs, and is asked again later.
TEST_F(PortalHotKeysTest, ThePortalIsAskedAgainWheneverItStartsGoesOrStalls)
{
    auto grabs = std::make_unique<RecordingHotKeys>();
    RecordingHotKeys *recorded = grabs.get();
    PortalHotKeys hotKeys(bus->connection(), std::move(grabs));
    QSignalSpy bound(&hotKeys, &PortalHotKeys::bound);
    ASSERT_EQ(hotKeys.registerHotKey(45, kCommandShift, {7, 2}, nullptr), 0);
    ASSERT_TRUE(settles(hotKeys, HotKeyWay::xwaylandKeyGrabs));
    startPortal(1);
    ASSERT_TRUE(settles(hotKeys, HotKeyWay::portal));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bound.size() == 1; }));
    EXPECT_EQ(recorded->unregistered, QList<HotKeys::HotKeyRef>{1});
    bus->stopMock(kShortcutsPortal);
    ASSERT_TRUE(settles(hotKeys, HotKeyWay::xwaylandKeyGrabs));
    EXPECT_EQ(recorded->registered.size(), 2);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Shortcuts"), QStringLiteral("The desktop portal has gone")));

    startPortal(1);
    ASSERT_TRUE(settles(hotKeys, HotKeyWay::portal));
    bus->pauseMock(kShortcutsPortal, true);
    PortalHotKeys stalled(bus->connection(), std::make_unique<RecordingHotKeys>());
    ASSERT_TRUE(settles(stalled, HotKeyWay::xwaylandKeyGrabs));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Shortcuts"), QStringLiteral("it did not answer within 10 s")));
    bus->pauseMock(kShortcutsPortal, false);
    advance(PortalHotKeys::kRetryMs);
    EXPECT_TRUE(settles(stalled, HotKeyWay::portal));
}
