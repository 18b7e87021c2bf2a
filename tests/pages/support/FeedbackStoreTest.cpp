#include "pages/support/FeedbackStore.h"

#include "platform/sim/SimBundle.h"
#include "runtime/Files.h"
#include "runtime/Shared.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
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
    EXPECT_EQ(oldest["appVersion"].toString(), "1.0");
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

TEST_F(FeedbackStoreTest, HugeFileIsKeptAsideUnread)
{
    write(QByteArray(FeedbackStore::kMaxFileBytes + 1, ' ') + "[]");
    FeedbackStore store;
    EXPECT_EQ(store.lastSaveError(), FeedbackStore::kReadError);
    EXPECT_EQ(keptAside().size(), 1);
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
