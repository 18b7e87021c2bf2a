#include "runtime/Files.h"
#include "runtime/StoredSetting.h"
#include "runtime/UserDefaults.h"
#include "runtime/Scheduler.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/ReadOnlyFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

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

TEST(UserDefaults, CorruptFileIsKeptAsideNotOverwritten)
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

    const struct {
        QVariant stored;
        QVariant asInt;
        QVariant asLong;
    } stored[] = {
        {qint64(0x100000005), 7, qint64(0x100000005)},
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
        qint64 asInt, asLong; // 1: not stored
    } written[] = {{2.6, 3, 3}, {3e9, 1, 3'000'000'000}, {1e300, 1, 1}, {std::nan(""), 1, 1}};
    for (const auto &c : written) {
        SCOPED_TRACE(c.written);
        d.set("breakCount", 1);
        d.set("bigCount", 1);
        count.setValue(c.written);
        big.setValue(c.written);
        EXPECT_EQ(d.integerValue("breakCount"), c.asInt);
        EXPECT_EQ(d.integerValue("bigCount"), c.asLong);
    }
}

} // namespace

namespace {

QByteArray defaultsFile(const QByteArray &values)
{
    return R"({"format":"quellvista-defaults","version":1,"values":{)" + values + "}}";
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList asideIn(const QString &folder)
{
    return QDir(folder).entryList({"*.unreadable-*"}, QDir::AllEntries | QDir::System);
}

TEST(UserDefaults, AnUnreadableValueCostsOnlyItsOwnKeyAndTheFileIsCopiedAsideFirst)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    const struct {
        const char *key;
        const char *entry;
        const char *reason;
    } unreadable[] = {
        {"flag", R"({"t":"bool","v":3})", R"(not a valid "bool" value)"},
        {"count", R"({"t":"int","v":"12x"})", R"(not a valid "int" value)"},
        {"farFuture", R"({"t":"date","v":9.3e15})", "a date outside the years 0 to 9999"},
        {"farPast", R"({"t":"date","v":-1e300})", "a date outside the years 0 to 9999"},
        {"dateText", R"({"t":"date","v":"2026-01-01"})", R"(not a valid "date" value)"},
        {"blob", R"({"t":"data","v":"not base64!"})", R"(not a valid "data" value)"},
        {"mystery", R"({"t":"colour","v":1})", R"(unknown type "colour")"},
        {"bare", "17", "not a typed value"},
        {"list", R"({"t":"array","v":[{"t":"int","v":"1"},{"t":"date","v":1e16}]})",
         "item 1: a date outside the years 0 to 9999"},
        {"nested", R"({"t":"dict","v":{"x":{"t":"bool"}}})", R"(key "x": not a valid "bool" value)"},
    };
    QByteArray entries = R"("tuning.brightness":{"t":"double","v":0.7},"appearance":{"t":"string","v":"dark"},)"
                         R"("lastCheck":{"t":"date","v":63113904000})";
    for (const auto &c : unreadable)
        entries += QByteArray(",\"") + c.key + "\":" + c.entry;
    const QByteArray original = defaultsFile(entries);
    writeRaw(path, original);

    qv::test::LogCapture logs;
    {
        UserDefaults d(path);
        EXPECT_EQ(d.doubleValue("tuning.brightness"), 0.7);
        EXPECT_EQ(d.stringValue("appearance"), "dark");
        EXPECT_EQ(d.dateValue("lastCheck"), QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC));
        EXPECT_EQ(d.storedKeys().size(), 3);
        for (const auto &c : unreadable) {
            const QString message =
                QStringLiteral("Defaults file %1: dropped the unreadable value of \"%2\" (%3)").arg(path, c.key, c.reason);
            EXPECT_TRUE(logs.contains("UserDefaults", message)) << qPrintable(message);
        }
        EXPECT_TRUE(logs.containsPart("UserDefaults", "10 unreadable values dropped, 3 values kept"));
        EXPECT_TRUE(asideIn(dir.path()).isEmpty()) << "nothing moves until a save";
        d.set("x", 1);
        ASSERT_TRUE(d.sync());
    }
    const QStringList aside = asideIn(dir.path());
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(dir.filePath(aside.first())), original);

    logs.clear();
    UserDefaults again(path);
    EXPECT_EQ(again.doubleValue("tuning.brightness"), 0.7);
    EXPECT_EQ(again.integerValue("x"), 1);
    EXPECT_TRUE(logs.messages("UserDefaults").isEmpty()) << qPrintable(logs.messages("UserDefaults").join("\n"));
}

TEST(UserDefaults, WhatCanBeNeitherReadNorKeptAsideIsNeverSavedOver)
{
    QTemporaryDir dir;
    // So long a name that no name for a copy fits beside it; a save's temporary name does.
    const QString name = QString(230, 'd') + ".json";
    const QString path = dir.filePath(name);
    ASSERT_TRUE(qv::files::writeAtomically(dir.filePath("other" + name.mid(5)), "a name of that length can be written"));
    const struct {
        const char *name;
        QByteArray bytes; // empty: a pipe
    } cases[] = {
        {"not JSON", "{\"half"},
        {"an unreadable value", defaultsFile(R"("k":{"t":"date","v":1e300})")},
        {"a pipe", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        if (c.bytes.isEmpty())
            ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            writeRaw(path, c.bytes);

        qv::test::LogCapture logs;
        UserDefaults d(path);
        d.set("x", 1);
        EXPECT_FALSE(d.sync());
        d.set("y", 2);
        EXPECT_FALSE(d.sync());
        EXPECT_EQ(d.integerValue("x"), 1) << "changes live on in memory";
        EXPECT_EQ(logs.count("UserDefaults",
                             QStringLiteral("Defaults file %1 could not be read and can be neither kept aside nor "
                                            "replaced (%2); changes stay in memory and are not saved over it")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(ENAMETOOLONG)))),
                  1)
            << qPrintable(logs.messages("UserDefaults").join("\n"));
        if (c.bytes.isEmpty()) {
            struct stat status {};
            EXPECT_TRUE(::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode));
        } else {
            EXPECT_EQ(readAll(path), c.bytes);
        }
    }
}

TEST(UserDefaults, ADateNoFileCanHoldIsNotStored)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    qv::test::LogCapture logs;
    UserDefaults d(path);
    const QDateTime farFuture(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC);
    d.set("when", QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC));
    d.set("when", farFuture);
    d.set("list", QVariantList{1, farFuture});
    d.set("nothing", QDateTime());
    EXPECT_EQ(d.dateValue("when"), QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_FALSE(d.hasStoredValue("list"));
    EXPECT_FALSE(d.hasStoredValue("nothing"));
    EXPECT_EQ(logs.messages("UserDefaults").filter("a date outside the years 0 to 9999").size(), 3);
    ASSERT_TRUE(d.sync());
    EXPECT_EQ(UserDefaults(path).storedKeys(), QStringList{"when"});
}

} // namespace

namespace {
const char *const kQuitChildVariable = "QV_DEFAULTS_QUIT_CHILD";
}

// Run by the test below in a process of its own (disabled in an ordinary run): the
// application's own store over the folder it names, a change made, and the process ends as
// the application does.
TEST(UserDefaultsQuitChild, DISABLED_ChangeAndEnd)
{
    const QString root = qEnvironmentVariable(kQuitChildVariable);
    ASSERT_FALSE(root.isEmpty()) << "started by UserDefaults.UnreadableFileInAReadOnlyFolderAtQuit";
    qv::files::setRootOverride(root);
    UserDefaults &defaults = UserDefaults::standard();
    defaults.setBool("launchAtLoginEnabled", false);
    qv::scheduler().now(); // the clock is first used after the store is made
    defaults.sync();
}

// A corrupt defaults file in a folder that cannot be written: the process ends normally,
// with one line saying the file can be neither kept aside nor replaced, and the file as
// it was.
TEST(UserDefaults, UnreadableFileInAReadOnlyFolderAtQuit)
{
    QTemporaryDir root;
    const QString folder = root.filePath("config/Quellvista");
    const QByteArray corrupt = "{\"format\":\"quellvista-defaults\",\"values\":{\"k\":";
    ASSERT_TRUE(qv::files::writeAtomically(folder + "/defaults.json", corrupt));
    qv::test::ReadOnlyFolder readOnly(folder);
    if (!readOnly.active())
        QV_SKIP_WITHOUT("the folder cannot be made read-only here");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kQuitChildVariable, root.path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_also_run_disabled_tests", "--gtest_filter=UserDefaultsQuitChild.*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << qPrintable(errors);
    EXPECT_EQ(child.exitCode(), 0) << qPrintable(errors);
    EXPECT_EQ(errors.count("can be neither kept aside nor replaced"), 1) << qPrintable(errors);
    EXPECT_EQ(readAll(folder + "/defaults.json"), corrupt);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"defaults.json"});
}
