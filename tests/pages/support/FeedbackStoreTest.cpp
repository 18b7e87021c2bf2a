#include "pages/support/FeedbackStore.h"

#include "platform/sim/SimBundle.h"
#include "runtime/Files.h"
#include "runtime/Shared.h"
#include "support/MissingTool.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestEnvironment.h"
#include "support/TimeZoneGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace qv;

namespace {

class FeedbackStoreTest : public test::QvTest {
protected:
    QString path() const { return files::applicationSupportDirectory() + QStringLiteral("/feedback.json"); }
    void write(const QByteArray &bytes)
    {
        QDir().mkpath(files::applicationSupportDirectory());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QJsonArray readArray() const { return QJsonDocument::fromJson(read()).array(); }
    QStringList keptAside() const
    {
        return QDir(files::applicationSupportDirectory())
            .entryList({QStringLiteral("feedback.json.unreadable-*"), QStringLiteral("feedback.unreadable-*")},
                       QDir::Files);
    }
    QJsonObject validEntry() const
    {
        return QJsonObject{{"id", "0F8FAD5B-D9CB-469F-A165-70867728950E"},
                           {"createdAt", "2026-03-02T09:00:00Z"},
                           {"category", "Idea"},
                           {"comment", "Softer colours at night"},
                           {"contact", ""},
                           {"appVersion", "1.0"},
                           {"buildNumber", "1"},
                           {"systemVersion", "Version 14.5 (Build 23F79)"}};
    }
};

TEST_F(FeedbackStoreTest, WritesSortedPrettyIsoUpperCaseAndReadsBack)
{
    {
        FeedbackStore store;
        ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("  first\n\nsecond line \n"), QString()));
        advance(1500);
        ASSERT_TRUE(store.add(FeedbackCategory::displaySetup, QStringLiteral("newer"), QStringLiteral(" me@x.org ")));
        EXPECT_FALSE(store.hasSaveError());
    }
    const QByteArray bytes = read();
    EXPECT_TRUE(bytes.contains("\n    {\n        \"appVersion\"")); // pretty-printed
    // Keys in sorted order in each object.
    const QString text = QString::fromUtf8(bytes);
    const QStringList order{"appVersion", "buildNumber", "category", "comment", "contact", "createdAt", "id",
                            "systemVersion"};
    qsizetype at = 0;
    for (const QString &key : order) {
        const qsizetype next = text.indexOf(u'"' + key + u'"', at);
        ASSERT_GT(next, at - 1) << key.toStdString();
        at = next;
    }
    const QJsonArray array = readArray();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject newest = array[0].toObject();
    const QJsonObject oldest = array[1].toObject();
    EXPECT_EQ(newest["comment"].toString(), "newer");
    EXPECT_EQ(newest["contact"].toString(), "me@x.org");
    EXPECT_EQ(newest["category"].toString(), "Display setup");
    EXPECT_EQ(oldest["comment"].toString(), "first\n\nsecond line");
    EXPECT_EQ(oldest["contact"].toString(), ""); // kept, not left out
    EXPECT_EQ(oldest["createdAt"].toString(), "2026-03-02T09:00:00Z");
    EXPECT_EQ(newest["createdAt"].toString(), "2026-03-02T09:00:01Z"); // whole seconds
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(newest["id"].toString())
                    .hasMatch());
    EXPECT_EQ(oldest["appVersion"].toString(), "1.0.0");
    EXPECT_EQ(oldest["systemVersion"].toString(), "Version 14.5 (Build 23F79)");

    FeedbackStore reread;
    ASSERT_EQ(reread.count(), 2);
    EXPECT_EQ(reread.entries()[0].comment, "newer");
    EXPECT_EQ(reread.entries()[1].createdAt, QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC));
    EXPECT_FALSE(reread.hasSaveError());
}

TEST_F(FeedbackStoreTest, BundleWithoutVersionsGivesDevAndUnknown)
{
    mac->bundle().setInfoValue(QStringLiteral("CFBundleShortVersionString"), QVariant());
    mac->bundle().setInfoValue(QStringLiteral("CFBundleVersion"), QVariant(7)); // not text
    FeedbackStore store;
    ASSERT_TRUE(store.add(FeedbackCategory::other, QStringLiteral("x"), QString()));
    EXPECT_EQ(store.entries()[0].appVersion, "Dev");
    EXPECT_EQ(store.entries()[0].buildNumber, "Unknown");
}

TEST_F(FeedbackStoreTest, BlankCommentIsRefusedAndTouchesNothing)
{
    FeedbackStore store;
    for (const QString &blank : {QString(), QStringLiteral(" \n\t\r "), QStringLiteral("\u00a0\u2028")}) {
        EXPECT_FALSE(store.add(FeedbackCategory::bug, blank, QStringLiteral("me")));
        EXPECT_EQ(feedback::trimmed(blank), QString());
    }
    EXPECT_EQ(store.count(), 0);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_FALSE(store.hasSaveError());
}

TEST_F(FeedbackStoreTest, UnknownKeysSurviveARewrite)
{
    QJsonObject entry = validEntry();
    entry.insert("mood", "calm");
    entry.insert("rating", 4);
    write(QJsonDocument(QJsonArray{entry}).toJson());
    FeedbackStore store;
    ASSERT_EQ(store.count(), 1);
    ASSERT_TRUE(store.add(FeedbackCategory::comfort, QStringLiteral("more"), QString()));
    const QJsonObject old = readArray()[1].toObject();
    EXPECT_EQ(old["mood"].toString(), "calm");
    EXPECT_EQ(old["rating"].toInt(), 4);
    EXPECT_EQ(old["id"].toString(), "0F8FAD5B-D9CB-469F-A165-70867728950E");
}

// Anything but a list of complete entries is not read at all; the file is kept aside
// before the next save, and the page is told where.
TEST_F(FeedbackStoreTest, UnreadableFilesAreKeptAsideAndNeverLost)
{
    auto withEntry = [&](const char *key, const QJsonValue &value) {
        QJsonObject entry = validEntry();
        if (value.isUndefined())
            entry.remove(key);
        else
            entry.insert(key, value);
        return QJsonDocument(QJsonArray{entry}).toJson();
    };
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"truncated", withEntry("id", QJsonValue()).left(40)},
        {"another shape", "{\"entries\": []}"},
        {"unknown category", withEntry("category", "Praise")},
        {"missing key", withEntry("systemVersion", QJsonValue(QJsonValue::Undefined))},
        {"number instead of text", withEntry("contact", 3)},
        {"lower-case date zone", withEntry("createdAt", "2026-03-02T09:00:00z")},
        {"fractional seconds", withEntry("createdAt", "2026-03-02T09:00:00.5Z")},
        {"not a uuid", withEntry("id", "not-a-uuid")},
        {"not utf-8 json", "\xff\xfe[]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(files::applicationSupportDirectory()).removeRecursively();
        write(c.bytes);
        FeedbackStore store;
        EXPECT_EQ(store.count(), 0);
        EXPECT_EQ(store.lastSaveError(), FeedbackStore::kReadError);
        const QStringList kept = keptAside();
        ASSERT_EQ(kept.size(), 1);
        EXPECT_TRUE(store.unreadableNotice().contains(kept[0]));
        QFile keptFile(files::applicationSupportDirectory() + u'/' + kept[0]);
        ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(keptFile.readAll(), c.bytes);

        ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("new"), QString()));
        EXPECT_FALSE(store.hasSaveError());
        EXPECT_EQ(readArray().size(), 1);
    }
}

// Every note written must be read at the next start, whatever the local zone: the moments
// below fall in or next to the hour a clock change skips or repeats there.
TEST_F(FeedbackStoreTest, NotesSurviveARestartInEveryZone)
{
    const struct {
        const char *zone;
        QDateTime moment;
    } cases[] = {
        {"Europe/Berlin", QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC)}, // the skipped local hour
        {"Europe/Berlin", QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC)},  // the change itself
        {"Europe/Berlin", QDateTime(QDate(2026, 10, 25), QTime(2, 30), Qt::UTC)}, // the repeated hour
        {"America/New_York", QDateTime(QDate(2026, 3, 8), QTime(2, 15, 9), Qt::UTC)},
        {"America/New_York", QDateTime(QDate(2026, 11, 1), QTime(1, 30), Qt::UTC)},
        {"Australia/Lord_Howe", QDateTime(QDate(2026, 10, 4), QTime(2, 10), Qt::UTC)}, // half-hour change
        {"Pacific/Kiritimati", QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59), Qt::UTC)},
        {"UTC", QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC)},
    };
    test::TimeZoneGuard zone("UTC");
    QList<QDateTime> written;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.zone);
        SCOPED_TRACE(c.moment.toString(Qt::ISODate).toStdString());
        test::TimeZoneGuard::use(c.zone);
        clock->setNow(c.moment);
        {
            FeedbackStore store;
            ASSERT_EQ(store.count(), written.size());
            ASSERT_TRUE(store.add(FeedbackCategory::comfort, QStringLiteral("note"), QString()));
        }
        written.prepend(c.moment);
        EXPECT_EQ(readArray()[0].toObject()["createdAt"].toString(),
                  c.moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z');
        FeedbackStore reread;
        EXPECT_FALSE(reread.hasSaveError());
        ASSERT_EQ(reread.count(), written.size());
        for (qsizetype i = 0; i < written.size(); ++i)
            EXPECT_EQ(reread.entries()[i].createdAt, written[i]);
    }
}

// Any UUID is an id, the all-zero one included; a date that is no date is not read.
TEST_F(FeedbackStoreTest, EntryFieldsAtTheirBoundaries)
{
    const struct {
        const char *name;
        const char *key;
        QString value;
        bool read;
    } cases[] = {
        {"all-zero id", "id", QStringLiteral("00000000-0000-0000-0000-000000000000"), true},
        {"lower-case id", "id", QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"), true},
        {"id without hyphens", "id", QStringLiteral("0F8FAD5BD9CB469FA16570867728950E"), false},
        {"leap day", "createdAt", QStringLiteral("2028-02-29T23:59:59Z"), true},
        {"no such day", "createdAt", QStringLiteral("2026-02-29T10:00:00Z"), false},
        {"leap second", "createdAt", QStringLiteral("2016-12-31T23:59:60Z"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(files::applicationSupportDirectory()).removeRecursively();
        QJsonObject entry = validEntry();
        entry.insert(c.key, c.value);
        write(QJsonDocument(QJsonArray{entry}).toJson());
        FeedbackStore store;
        ASSERT_EQ(store.count(), c.read ? 1 : 0);
        if (!c.read)
            continue;
        ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("after"), QString()));
        FeedbackStore reread;
        ASSERT_EQ(reread.count(), 2);
        EXPECT_FALSE(reread.hasSaveError());
        EXPECT_EQ(readArray()[1].toObject()[c.key].toString(), c.key == QStringLiteral("id") ? c.value.toUpper() : c.value);
    }
}

// One size rule for both sides: a list that fills the limit exactly is written and read
// back; one byte more is neither written nor read.
TEST_F(FeedbackStoreTest, SizeLimitHoldsForSavingAndReading)
{
    FeedbackEntry probe;
    probe.id = QUuid::createUuid();
    probe.createdAt = clock->now();
    probe.category = FeedbackCategory::bug;
    probe.comment = QStringLiteral("x");
    probe.appVersion = feedback::appVersionText();
    probe.buildNumber = feedback::bundleText(QStringLiteral("CFBundleVersion"), QStringLiteral("Unknown"));
    probe.systemVersion = mac->bundle().operatingSystemVersionString();
    const qsizetype fill = FeedbackStore::kMaxFileBytes - (FeedbackStore::encode({probe}).size() - 1);
    // A note is never that long: the file is filled by an older version or by hand.
    probe.comment = QString(fill, u'a');
    write(FeedbackStore::encode({probe}));
    {
        FeedbackStore store;
        ASSERT_EQ(store.count(), 1);
        EXPECT_EQ(read().size(), FeedbackStore::kMaxFileBytes);
        // One short note more would take the file past what is read back.
        const QByteArray before = read();
        logs->clear();
        EXPECT_FALSE(store.add(FeedbackCategory::bug, QStringLiteral("one more"), QString()));
        EXPECT_EQ(store.lastSaveError(), FeedbackStore::kSaveError);
        EXPECT_EQ(store.count(), 1);
        EXPECT_EQ(read(), before);
        EXPECT_EQ(logs->messages("Feedback").size(), 1);
    }
    FeedbackStore reread;
    EXPECT_EQ(reread.count(), 1);
    EXPECT_FALSE(reread.hasSaveError());

    QDir(files::applicationSupportDirectory()).removeRecursively();
    write(QByteArray(FeedbackStore::kMaxFileBytes - 2, ' ') + "[]");
    EXPECT_FALSE(FeedbackStore().hasSaveError());
    write(QByteArray(FeedbackStore::kMaxFileBytes - 1, ' ') + "[]");
    EXPECT_EQ(FeedbackStore().lastSaveError(), FeedbackStore::kReadError);
}

// A huge file is refused by its size, before it is read, and moved aside whole.
TEST_F(FeedbackStoreTest, HugeFileIsMovedAsideUnread)
{
    QDir().mkpath(files::applicationSupportDirectory());
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(1) << 30)); // sparse: 1 GB that takes no room
    }
    FeedbackStore store;
    EXPECT_EQ(store.lastSaveError(), FeedbackStore::kReadError);
    const QStringList kept = keptAside();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(QFileInfo(files::applicationSupportDirectory() + u'/' + kept[0]).size(), qint64(1) << 30);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(store.unreadableNotice().contains(kept[0]));
    ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("new"), QString()));
    EXPECT_EQ(FeedbackStore().count(), 1);
}

// A file that stays unreadable is kept aside at its first start only.
TEST_F(FeedbackStoreTest, UnreadableFileIsKeptAsideOnce)
{
    write("[{\"id\": 1}]");
    for (int start = 0; start < 4; ++start) {
        FeedbackStore store;
        EXPECT_EQ(store.lastSaveError(), FeedbackStore::kReadError);
        ASSERT_EQ(keptAside().size(), 1) << "start " << start;
        EXPECT_TRUE(store.unreadableNotice().contains(keptAside()[0]));
        advance(60'000);
    }
}

// With nowhere to keep it, the page says at load that the file could not be read and
// where it is; nothing is written over it.
TEST_F(FeedbackStoreTest, UnreadableFileInAReadOnlyFolderIsReportedAtLoad)
{
    const QByteArray bytes = "[{\"id\": 1}]";
    write(bytes);
    test::ReadOnlyFolder readOnly(files::applicationSupportDirectory());
    if (!readOnly.active())
        QV_SKIP_WITHOUT("the folder cannot be made read-only here");
    logs->clear();
    FeedbackStore store;
    EXPECT_EQ(store.lastSaveError(), FeedbackStore::kReadError);
    EXPECT_TRUE(store.unreadableNotice().contains("could not be read"));
    EXPECT_TRUE(store.unreadableNotice().contains(QDir::toNativeSeparators(path())));
    EXPECT_EQ(logs->messages("Feedback").size(), 1);
    EXPECT_FALSE(store.add(FeedbackCategory::bug, QStringLiteral("new"), QString()));
    EXPECT_FALSE(store.add(FeedbackCategory::bug, QStringLiteral("again"), QString()));
    EXPECT_EQ(store.lastSaveError(), FeedbackStore::kSaveError);
    EXPECT_EQ(logs->messages("Feedback").size(), 1);
    EXPECT_EQ(read(), bytes);
    EXPECT_TRUE(keptAside().isEmpty());
}

TEST_F(FeedbackStoreTest, FailedSaveKeepsNoPhantomNote)
{
    {
        FeedbackStore store;
        ASSERT_TRUE(store.add(FeedbackCategory::idea, QStringLiteral("on disk"), QString()));
    }
    const QByteArray before = read();
    FeedbackStore store;
    // The file cannot be written (a folder in its place stands for a read-only or full
    // disk here, where the tests may run with every permission).
    ASSERT_TRUE(QFile::rename(path(), path() + ".away"));
    QDir().mkpath(path());
    const int countBefore = store.count();
    EXPECT_FALSE(store.add(FeedbackCategory::bug, QStringLiteral("lost?"), QString()));
    EXPECT_EQ(store.lastSaveError(), FeedbackStore::kSaveError);
    EXPECT_EQ(store.count(), countBefore);
    EXPECT_FALSE(store.add(FeedbackCategory::bug, QStringLiteral("retry"), QString()));
    EXPECT_EQ(store.count(), countBefore);
    QDir().rmdir(path());
    ASSERT_TRUE(QFile::rename(path() + ".away", path()));
    EXPECT_EQ(read(), before);
    ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("retry"), QString()));
    EXPECT_FALSE(store.hasSaveError());
    EXPECT_EQ(store.count(), countBefore + 1);
}

// A long note with markup and quotes is kept exactly, as text.
// The longest note and contact round-trip whole, markup and all; longer ones are cut to
// them, never inside a character.
TEST_F(FeedbackStoreTest, LongMarkupNoteRoundTripsAndLongerOnesAreCut)
{
    const QString markup = QStringLiteral("<b>\"bold\"</b> & <script>x</script>\n");
    const QString comment = markup + QString(FeedbackStore::kMaxCommentLength - markup.size(), u'\u00e9');
    const QString face = QStringLiteral("\U0001F600");
    QString contact = QStringLiteral("<i>me</i>");
    while (contact.size() < FeedbackStore::kMaxContactLength)
        contact += face;
    {
        FeedbackStore store;
        ASSERT_TRUE(store.add(FeedbackCategory::bug, comment, QStringLiteral("<i>me</i>")));
        ASSERT_TRUE(store.add(FeedbackCategory::bug, comment + "more", contact));
    }
    FeedbackStore reread;
    ASSERT_EQ(reread.count(), 2);
    EXPECT_EQ(reread.entries()[1].comment, comment);
    EXPECT_EQ(reread.entries()[1].contact, "<i>me</i>");
    EXPECT_EQ(reread.entries()[0].comment, comment);
    EXPECT_EQ(reread.entries()[0].contact, contact.left(FeedbackStore::kMaxContactLength - 1))
        << "the pair that crosses the limit goes whole";
}

TEST_F(FeedbackStoreTest, CategoriesRoundTripExactly)
{
    QStringList labels;
    for (FeedbackCategory category : feedback::allCategories()) {
        labels << feedback::rawValue(category);
        EXPECT_EQ(feedback::categoryFromRawValue(feedback::rawValue(category)), category);
    }
    EXPECT_EQ(labels, (QStringList{"Bug", "Idea", "Display setup", "Comfort", "Other"}));
    EXPECT_FALSE(feedback::categoryFromRawValue("bug"));
    EXPECT_FALSE(feedback::categoryFromRawValue("Display Setup"));
}

} // namespace
