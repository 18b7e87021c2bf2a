#include "comfort/SymptomFingerprint.h"

#include "runtime/Json.h"
#include "runtime/UserDefaults.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace qv;

namespace {

QJsonObject parse(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

TEST(SymptomFingerprint, RawValuesInOrder)
{
    QStringList kinds;
    for (SymptomTestKind k : allSymptomTestKinds()) {
        kinds << rawValue(k);
        EXPECT_EQ(symptomTestKindFromRaw(rawValue(k)), k);
    }
    EXPECT_EQ(kinds, (QStringList{"grayReading", "heavierText", "lowMotion", "warmRed"}));
    QList<int> ratings;
    for (SymptomRating r : allSymptomRatings())
        ratings << rawValue(r);
    EXPECT_EQ(ratings, (QList<int>{-1, 0, 1}));
    EXPECT_FALSE(symptomTestKindFromRaw(QStringLiteral("GrayReading")));
    EXPECT_FALSE(symptomTestKindFromRaw(QString()));
    EXPECT_FALSE(symptomRatingFromRaw(2));
}

TEST(SymptomFingerprint, EntryRoundTrips)
{
    for (SymptomRating rating : allSymptomRatings()) {
        SymptomFingerprintEntry entry;
        entry.id = QUuid::createUuid();
        entry.kind = SymptomTestKind::warmRed;
        entry.rating = rating;
        entry.createdAt = QDateTime(QDate(2026, 3, 2), QTime(9, 15, 30, 250), Qt::UTC);

        const QJsonObject json = entry.toJson();
        EXPECT_EQ(json.keys(), (QStringList{"createdAt", "id", "kind", "rating"}));
        EXPECT_EQ(json.value("rating").toInteger(99), rawValue(rating));
        EXPECT_EQ(json.value("kind").toString(), "warmRed");
        EXPECT_EQ(json.value("id").toString(), entry.id.toString(QUuid::WithoutBraces).toUpper());
        EXPECT_DOUBLE_EQ(json.value("createdAt").toDouble(), json::secondsSinceReferenceDate(entry.createdAt));

        const QJsonObject reread = QJsonDocument::fromJson(json::encodeCompact(json)).object();
        QString error;
        const auto decoded = SymptomFingerprintEntry::fromJson(reread, &error);
        ASSERT_TRUE(decoded) << error.toStdString();
        EXPECT_EQ(*decoded, entry);
    }
}

TEST(SymptomFingerprint, DecodesLowerCaseUuid)
{
    const auto entry = SymptomFingerprintEntry::fromJson(parse(
        R"({"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","kind":"lowMotion","rating":-1,"createdAt":0})"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->kind, SymptomTestKind::lowMotion);
    EXPECT_EQ(entry->rating, SymptomRating::worse);
    EXPECT_EQ(entry->createdAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
}

TEST(SymptomFingerprint, BadEntriesFailWithTheirFault)
{
    struct Case {
        const char *json;
        const char *error;
    } cases[] = {
        {R"({"kind":"warmRed","rating":0,"createdAt":0})", "\"id\""},
        {R"({"id":"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}","kind":"warmRed","rating":0,"createdAt":0})", "\"id\""},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"WarmRed","rating":0,"createdAt":0})", "unknown \"kind\" \"WarmRed\""},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":3,"rating":0,"createdAt":0})", "\"kind\" is missing"},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":2,"createdAt":0})", "unknown \"rating\" 2"},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":0.5,"createdAt":0})", "unknown \"rating\" 0.5"},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":"1","createdAt":0})", "\"rating\" is missing"},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":1})", "\"createdAt\""},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":1,"createdAt":1e300})", "\"createdAt\""},
        // Rounds to 10000-01-01 at the millisecond a date keeps.
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"warmRed","rating":1,"createdAt":252423993599.9996})",
         "\"createdAt\""},
    };
    for (const Case &c : cases) {
        QString error;
        EXPECT_FALSE(SymptomFingerprintEntry::fromJson(parse(c.json), &error)) << c.json;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << c.json << " gave " << error.toStdString();
    }
}

TEST(SymptomFingerprint, StoreKeepsItsDefaultsKeyAndEntries)
{
    UserDefaults defaults;
    SymptomFingerprintStore store(defaults, QStringLiteral("symptomFingerprintEntries"));
    EXPECT_EQ(&store.defaults(), &defaults);
    EXPECT_EQ(store.entriesKey(), "symptomFingerprintEntries");
    EXPECT_TRUE(store.entries().isEmpty());

    int changes = 0;
    QObject::connect(&store, &SymptomFingerprintStore::entriesChanged, [&] { ++changes; });
    SymptomFingerprintEntry entry{QUuid::createUuid(), SymptomTestKind::heavierText, SymptomRating::better,
                                  QDateTime::currentDateTimeUtc()};
    store.setEntries({entry});
    store.setEntries({entry});
    EXPECT_EQ(store.entries(), QList<SymptomFingerprintEntry>{entry});
    EXPECT_EQ(changes, 1);
}

} // namespace
