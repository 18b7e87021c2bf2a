#include "runtime/Files.h"
#include "runtime/StoredSetting.h"
#include "runtime/UserDefaults.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using qv::UserDefaults;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(UserDefaults, StrictReadsGiveNothingForAnotherType)
{
    UserDefaults d;
    d.set("flag", true);
    d.set("count", 3);
    d.set("ratio", 0.85);
    d.set("name", QStringLiteral("Evening"));
    d.set("blob", QByteArray("\x00\x01", 2));

    EXPECT_EQ(d.boolValue("flag"), true);
    EXPECT_EQ(d.boolValue("count"), std::nullopt);
    EXPECT_EQ(d.boolValue("name"), std::nullopt);
    EXPECT_EQ(d.doubleValue("count"), 3.0); // integers are numbers too
    EXPECT_EQ(d.doubleValue("ratio"), 0.85);
    EXPECT_EQ(d.doubleValue("flag"), std::nullopt);
    EXPECT_EQ(d.doubleValue("name"), std::nullopt);
    EXPECT_EQ(d.integerValue("ratio"), std::nullopt);
    EXPECT_EQ(d.stringValue("count"), std::nullopt);
    EXPECT_EQ(d.dataValue("name"), std::nullopt);
    EXPECT_EQ(d.dataValue("blob"), QByteArray("\x00\x01", 2));
    EXPECT_EQ(d.arrayValue("blob"), std::nullopt);
    EXPECT_EQ(d.boolValue("absent"), std::nullopt);
}

TEST(UserDefaults, LenientReadsGiveFalseAndZeroForAbsentOrUnconvertible)
{
    UserDefaults d;
    d.set("yes", QStringLiteral("YES"));
    d.set("text", QStringLiteral("evening"));
    d.set("two", 2);
    d.set("half", 0.5);
    d.set("on", true);
    d.set("list", QVariantList{1, 2});

    EXPECT_FALSE(d.boolForKey("absent"));
    EXPECT_EQ(d.doubleForKey("absent"), 0.0);
    EXPECT_EQ(d.integerForKey("absent"), 0);
    EXPECT_TRUE(d.boolForKey("yes"));
    EXPECT_FALSE(d.boolForKey("text"));
    EXPECT_TRUE(d.boolForKey("two"));
    EXPECT_EQ(d.doubleForKey("on"), 1.0);
    EXPECT_EQ(d.integerForKey("half"), 0);
    EXPECT_EQ(d.doubleForKey("text"), 0.0);
    EXPECT_EQ(d.doubleForKey("list"), 0.0);
    EXPECT_EQ(d.stringForKey("two"), "2");
    EXPECT_EQ(d.stringForKey("list"), "");
}

TEST(UserDefaults, RegisteredDefaultsAnswerUntilAValueIsStored)
{
    UserDefaults d;
    d.registerDefaults({{"pwmThreshold", 0.85}, {"disableDithering", true}});
    EXPECT_EQ(d.doubleValue("pwmThreshold"), 0.85);
    EXPECT_FALSE(d.hasStoredValue("pwmThreshold"));
    d.set("pwmThreshold", 0.5);
    EXPECT_EQ(d.doubleValue("pwmThreshold"), 0.5);
    d.remove("pwmThreshold");
    EXPECT_EQ(d.doubleValue("pwmThreshold"), 0.85);
    // A stored value of another type shadows the default for strict reads.
    d.set("disableDithering", QStringLiteral("no"));
    EXPECT_EQ(d.boolValue("disableDithering"), std::nullopt);
}

TEST(UserDefaults, ChangeSignalsPerKeyOnlyOnRealChanges)
{
    UserDefaults d;
    QObject receiver;
    int tuning = 0;
    d.observe("tuning.brightness", &receiver, [&] { ++tuning; });
    QSignalSpy spy(&d, &UserDefaults::valueChanged);
    d.set("tuning.brightness", 0.7);
    d.set("tuning.brightness", 0.7); // same value: no signal
    d.set("tuning.warmth", 0.2);
    d.remove("tuning.brightness");
    d.remove("tuning.brightness");
    EXPECT_EQ(tuning, 2);
    EXPECT_EQ(spy.count(), 3);
}

TEST(UserDefaults, FileRoundTripKeepsEveryType)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1767225600123, Qt::UTC);
    {
        UserDefaults d(path);
        d.set("b", false);
        d.set("i", qint64(9007199254740993LL)); // beyond a double's exact range
        d.set("d", 0.1);
        d.set("s", QStringLiteral("Låg stimulans \"quoted\""));
        d.set("data", QByteArray("\xff\x00{}", 4));
        d.set("date", when);
        d.set("array", QVariantList{1, QStringLiteral("two"), true});
        d.set("dict", QVariantMap{{"nested", QVariantMap{{"x", 1.5}}}});
        EXPECT_TRUE(d.sync());
    }
    UserDefaults d(path);
    EXPECT_EQ(d.boolValue("b"), false);
    EXPECT_EQ(d.integerValue("i"), 9007199254740993LL);
    EXPECT_EQ(d.doubleValue("d"), 0.1);
    EXPECT_EQ(d.stringValue("s"), QStringLiteral("Låg stimulans \"quoted\""));
    EXPECT_EQ(d.dataValue("data"), QByteArray("\xff\x00{}", 4));
    EXPECT_EQ(d.dateValue("date"), when);
    const QVariantList array = *d.arrayValue("array");
    ASSERT_EQ(array.size(), 3);
    EXPECT_EQ(array[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(array[1].toString(), "two");
    EXPECT_EQ(array[2].typeId(), QMetaType::Bool);
    EXPECT_EQ(d.dictionaryValue("dict")->value("nested").toMap().value("x").toDouble(), 1.5);
}

TEST(UserDefaults, CorruptFileIsMovedAsideNotOverwritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    for (const QByteArray &corrupt : {QByteArray("{not json"), QByteArray("[1,2,3]"),
                                      QByteArray(R"({"format":"quellvista-defaults","values":{"k":{"t":"bool","v":3}}})")}) {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(corrupt);
        f.close();

        qv::test::LogCapture logs;
        UserDefaults d(path);
        d.registerDefaults({{"disableDithering", true}});
        EXPECT_EQ(d.boolValue("disableDithering"), true);
        EXPECT_TRUE(logs.containsPart("UserDefaults", "unreadable"));
        d.set("x", 1);
        ASSERT_TRUE(d.sync());

        const QStringList aside = QDir(dir.path()).entryList({"defaults.unreadable-*.json"});
        ASSERT_EQ(aside.size(), 1) << corrupt.constData();
        EXPECT_EQ(readAll(dir.filePath(aside.first())), corrupt);
        EXPECT_EQ(UserDefaults(path).integerValue("x"), 1);
    }
}

TEST(StoredSetting, BindsOneKeyTwoWay)
{
    UserDefaults d;
    qv::StoredSetting setting("appAppearanceMode", QStringLiteral("system"));
    setting.setStore(&d);
    QSignalSpy spy(&setting, &qv::StoredSetting::valueChanged);
    EXPECT_EQ(setting.value().toString(), "system");
    setting.setValue(QStringLiteral("dark"));
    EXPECT_EQ(d.stringValue("appAppearanceMode"), "dark");
    d.set("appAppearanceMode", QStringLiteral("light"));
    EXPECT_EQ(setting.value().toString(), "light");
    d.set("appAppearanceMode", 5); // another type reads as the default
    EXPECT_EQ(setting.value().toString(), "system");
    EXPECT_EQ(spy.count(), 3);
}

TEST(StoredSetting, IntegersBeyondTheSettingsTypeAreNeverWrapped)
{
    UserDefaults d;
    qv::StoredSetting count("breakCount", 7);
    count.setStore(&d);
    qv::StoredSetting big("bigCount", qint64(7));
    big.setStore(&d);

    // Stored values: what the int cannot hold reads as the default.
    const struct {
        QVariant stored;
        QVariant asInt;
        QVariant asLong;
    } stored[] = {
        {qint64(42), 42, qint64(42)},
        {qint64(0x100000005), 7, qint64(0x100000005)},
        {qint64(INT_MIN), INT_MIN, qint64(INT_MIN)},
        {3e9, 7, qint64(3'000'000'000)},
        {1e300, 7, qint64(7)},
    };
    for (const auto &c : stored) {
        SCOPED_TRACE(qPrintable(c.stored.toString()));
        d.set("breakCount", c.stored);
        d.set("bigCount", c.stored);
        EXPECT_EQ(count.value(), c.asInt);
        EXPECT_EQ(big.value(), c.asLong);
    }

    // Written numbers are rounded; one the setting's integer cannot hold is not stored.
    const struct {
        double written;
        std::optional<qint64> asInt;
        std::optional<qint64> asLong;
    } written[] = {
        {2.6, 3, 3},
        {-2.5, -3, -3},
        {3e9, std::nullopt, 3'000'000'000},
        {1e300, std::nullopt, std::nullopt},
        {std::nan(""), std::nullopt, std::nullopt},
        {HUGE_VAL, std::nullopt, std::nullopt},
    };
    for (const auto &c : written) {
        SCOPED_TRACE(c.written);
        d.set("breakCount", 1);
        d.set("bigCount", 1);
        count.setValue(c.written);
        big.setValue(c.written);
        EXPECT_EQ(d.integerValue("breakCount"), c.asInt.value_or(1));
        EXPECT_EQ(d.integerValue("bigCount"), c.asLong.value_or(1));
    }
}

} // namespace
