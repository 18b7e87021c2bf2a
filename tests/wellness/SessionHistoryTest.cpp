#include "support/TestEnvironment.h"
#include "wellness/SessionHistory.h"
#include "WellnessTestSupport.h"

#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Shared.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

using namespace qv;
using namespace qv::test;
using Type = SessionEvent::EventType;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    ASSERT_TRUE(files::writeAtomically(path, bytes));
}

QStringList asideFiles()
{
    return QDir(files::applicationSupportDirectory())
        .entryList({QStringLiteral("history.unreadable-*.json")}, QDir::Files);
}

class SessionHistoryTest : public QvTest {
protected:
    double nowSeconds() const { return json::secondsSinceReferenceDate(clock->now()); }
    QByteArray fileWith(const QList<SessionEvent> &events) { return encodeSessionEvents(events); }
};

} // namespace

TEST_F(SessionHistoryTest, FirstStartWithoutAnyFileIsEmptyAndWritesNothing)
{
    SessionHistory &history = SessionHistory::shared();
    EXPECT_TRUE(history.events().isEmpty());
    EXPECT_TRUE(logs->messages("SessionHistory").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(SessionHistory::defaultStorePath()));
    EXPECT_TRUE(QFileInfo(files::applicationSupportDirectory()).isDir());
}

TEST_F(SessionHistoryTest, RecordsLandInOrderAndSurviveARestart)
{
    SessionHistory &history = SessionHistory::shared();
    history.recordActivityMinute();
    advance(5000);
    history.recordBreakStarted();
    advance(20'500);
    history.recordBreakTaken(20);

    const QList<SessionEvent> recorded = history.events();
    ASSERT_EQ(recorded.size(), 3);
    EXPECT_EQ(recorded[0].type, Type::activity);
    EXPECT_EQ(recorded[0].durationSeconds, 60);
    EXPECT_EQ(recorded[1].type, Type::breakStarted);
    EXPECT_EQ(recorded[1].durationSeconds, 0);
    EXPECT_EQ(recorded[2].type, Type::breakTaken);
    EXPECT_EQ(recorded[2].durationSeconds, 20);
    EXPECT_DOUBLE_EQ(recorded[2].timestamp - recorded[0].timestamp, 25.5);
    EXPECT_EQ(recorded[2].date(), clock->now());

    // The file is the compact array of the three objects, dates as reference seconds.
    const QJsonArray array = QJsonDocument::fromJson(readFile(history.storePath())).array();
    ASSERT_EQ(array.size(), 3);
    EXPECT_EQ(array[2].toObject().value("type").toString(), "breakTaken");
    EXPECT_DOUBLE_EQ(array[2].toObject().value("timestamp").toDouble(), nowSeconds());

    restart();
    EXPECT_EQ(SessionHistory::shared().events(), recorded);
    EXPECT_TRUE(logs->contains("SessionHistory", "Loaded 3 session events from disk"));
}

TEST_F(SessionHistoryTest, LegacyFileAloneIsCopiedThenLoadedAndKept)
{
    const QByteArray legacy = fileWith({eventAt(clock->now().addSecs(-3600), Type::breakTaken, 20),
                                        eventAt(clock->now().addSecs(-60), Type::activity, 60)});
    writeFile(SessionHistory::legacyStorePath(), legacy);

    SessionHistory &history = SessionHistory::shared();
    EXPECT_EQ(history.events().size(), 2);
    EXPECT_EQ(logs->messages("SessionHistory"),
              (QStringList{"Migrated legacy session history into Quellvista app support.",
                           "Loaded 2 session events from disk"}));
    EXPECT_EQ(readFile(SessionHistory::defaultStorePath()), legacy);
    EXPECT_EQ(readFile(SessionHistory::legacyStorePath()), legacy);
}

TEST_F(SessionHistoryTest, WithBothFilesTheNewOneIsUsedAndTheLegacyOneLeftAlone)
{
    const QByteArray legacy = fileWith({eventAt(clock->now().addSecs(-60), Type::activity, 60)});
    const QByteArray current = fileWith({eventAt(clock->now().addSecs(-30), Type::breakSkipped, 0),
                                         eventAt(clock->now().addSecs(-20), Type::breakStarted, 0)});
    writeFile(SessionHistory::legacyStorePath(), legacy);
    writeFile(SessionHistory::defaultStorePath(), current);

    SessionHistory &history = SessionHistory::shared();
    ASSERT_EQ(history.events().size(), 2);
    EXPECT_EQ(history.events()[0].type, Type::breakSkipped);
    EXPECT_FALSE(logs->containsPart("SessionHistory", "Migrated"));
    history.recordActivityMinute();
    EXPECT_EQ(readFile(SessionHistory::legacyStorePath()), legacy);
}

TEST_F(SessionHistoryTest, UnreadableEventsAreSkippedAndTheFileIsKeptAsideBeforeTheFirstSave)
{
    const double t = nowSeconds();
    struct Case {
        const char *name;
        QByteArray badEvent;
    };
    const QList<Case> cases{
        {"unknown type", R"({"timestamp":1,"type":"breakMissed","durationSeconds":0})"},
        {"type in other case", R"({"timestamp":1,"type":"Activity","durationSeconds":60})"},
        {"missing duration", R"({"timestamp":1,"type":"activity"})"},
        {"fractional duration", R"({"timestamp":1,"type":"activity","durationSeconds":1.5})"},
        {"timestamp as text", R"({"timestamp":"1","type":"activity","durationSeconds":60})"},
        {"not an object", R"(42)"},
        {"timestamp past the year 9999", R"({"timestamp":9.3e15,"type":"activity","durationSeconds":60})"},
        {"timestamp before the year 0", R"({"timestamp":-9.3e15,"type":"activity","durationSeconds":60})"},
        {"huge timestamp", R"({"timestamp":1e300,"type":"breakTaken","durationSeconds":20})"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray good1 = QStringLiteral(R"({"timestamp":%1,"type":"breakTaken","durationSeconds":20,"extra":true})")
                                     .arg(t - 100, 0, 'f', 3).toUtf8();
        const QByteArray good2 = QStringLiteral(R"({"timestamp":%1,"type":"activity","durationSeconds":60})")
                                     .arg(t - 50, 0, 'f', 3).toUtf8();
        const QByteArray bytes = "[" + good1 + "," + c.badEvent + "," + good2 + "]";
        writeFile(SessionHistory::defaultStorePath(), bytes);
        logs->clear();

        SessionHistory &history = SessionHistory::shared();
        ASSERT_EQ(history.events().size(), 2);
        EXPECT_EQ(history.events()[0].type, Type::breakTaken);
        EXPECT_EQ(history.events()[1].type, Type::activity);
        EXPECT_TRUE(logs->containsPart("SessionHistory", "Skipped 1 unreadable session events"));
        // Nothing is written until a record; then the original is kept beside the new file.
        EXPECT_TRUE(asideFiles().isEmpty());
        EXPECT_EQ(readFile(SessionHistory::defaultStorePath()), bytes);

        history.recordActivityMinute();
        const QStringList aside = asideFiles();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(files::applicationSupportDirectory() + "/" + aside.first()), bytes);
        const DecodedSessionEvents saved = decodeSessionEvents(readFile(history.storePath()));
        EXPECT_EQ(saved.events.size(), 3);
        EXPECT_EQ(saved.skipped, 0);

        // The next record writes over the file it wrote itself: nothing more is moved aside.
        history.recordActivityMinute();
        EXPECT_EQ(asideFiles().size(), 1);

        resetSharedInstances();
        for (const QString &name : asideFiles())
            QFile::remove(files::applicationSupportDirectory() + "/" + name);
    }
}

TEST_F(SessionHistoryTest, AFileThatIsNoEventListLoadsNothingAndIsNeverOverwritten)
{
    const QList<QByteArray> unreadable{"not json", R"({"timestamp":1})", "", "[{\"timestamp\":1,"};
    for (const QByteArray &bytes : unreadable) {
        SCOPED_TRACE(bytes.constData());
        writeFile(SessionHistory::defaultStorePath(), bytes);
        writeFile(SessionHistory::legacyStorePath(), fileWith({eventAt(clock->now(), Type::activity, 60)}));
        logs->clear();

        EXPECT_TRUE(SessionHistory::shared().events().isEmpty());
        EXPECT_TRUE(logs->containsPart("SessionHistory", "Failed to load session history: "));

        // A restart before any record still finds the unreadable file, and does not
        // bring the legacy history back over it.
        restart();
        EXPECT_TRUE(SessionHistory::shared().events().isEmpty());
        EXPECT_FALSE(logs->containsPart("SessionHistory", "Migrated"));

        SessionHistory::shared().recordBreakStarted();
        const QStringList aside = asideFiles();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(files::applicationSupportDirectory() + "/" + aside.first()), bytes);
        EXPECT_EQ(decodeSessionEvents(readFile(SessionHistory::defaultStorePath())).events.size(), 1);

        resetSharedInstances();
        for (const QString &name : asideFiles())
            QFile::remove(files::applicationSupportDirectory() + "/" + name);
    }
}

TEST_F(SessionHistoryTest, PruningKeepsExactlyNinetyDaysAtTheMomentOfSaving)
{
    const double t = nowSeconds();
    const double limit = double(SessionHistory::kRetentionSeconds);
    writeFile(SessionHistory::defaultStorePath(),
              fileWith({{t - limit - 1.0, Type::activity, 60},
                        {t - limit - 0.001, Type::breakTaken, 20},
                        {t - limit, Type::breakStarted, 0},
                        {t - 10, Type::activity, 60}}));

    SessionHistory &history = SessionHistory::shared();
    // Loading keeps old events until the next save.
    EXPECT_EQ(history.events().size(), 4);

    history.recordActivityMinute();
    ASSERT_EQ(history.events().size(), 3);
    EXPECT_EQ(history.events()[0].type, Type::breakStarted);
    EXPECT_DOUBLE_EQ(history.events()[0].timestamp, t - limit);
    EXPECT_EQ(decodeSessionEvents(readFile(history.storePath())).events, history.events());

    // One millisecond later the boundary event is older than 90 days.
    advance(1);
    history.recordActivityMinute();
    EXPECT_EQ(history.events().size(), 3);
    EXPECT_EQ(history.events()[0].type, Type::activity);
}

TEST_F(SessionHistoryTest, EncodingRoundTripsEveryTypeAndTimestampExactly)
{
    const QList<SessionEvent> events{{794'123'456.789, Type::activity, 60},
                                     {-12.5, Type::breakTaken, 20},
                                     {0, Type::breakSkipped, 0},
                                     {json::kEndReferenceSeconds - 0.001, Type::breakStarted, -3},
                                     {json::kEarliestReferenceSeconds, Type::breakStarted, 0},
                                     {794'123'456.1 + 1e-6, Type::activity, 9'000'000'000'000}};
    const QByteArray bytes = encodeSessionEvents(events);
    EXPECT_TRUE(bytes.startsWith(R"([{"timestamp":794123456.789,"type":"activity","durationSeconds":60},)"));
    const DecodedSessionEvents decoded = decodeSessionEvents(bytes);
    EXPECT_TRUE(decoded.readable);
    EXPECT_EQ(decoded.events, events);
    EXPECT_EQ(encodeSessionEvents({}), "[]");
}

TEST_F(SessionHistoryTest, EveryTimestampIsWrittenInFullOrNotAtAll)
{
    const struct {
        double timestamp;
        bool written;
    } cases[] = {
        {1e-300, true}, {-4.9e-324, true}, {1e-5, true}, {123.000001, true},
        {std::nan(""), false}, {HUGE_VAL, false}, {1e17, false}, {json::kEndReferenceSeconds, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.timestamp);
        const QList<SessionEvent> events{{794'123'456.0, Type::activity, 60}, {c.timestamp, Type::breakTaken, 20}};
        QString error;
        const QByteArray bytes = encodeSessionEvents(events, &error);
        if (c.written) {
            EXPECT_EQ(decodeSessionEvents(bytes).events, events) << bytes.constData();
        } else {
            EXPECT_TRUE(bytes.isEmpty()) << bytes.constData();
            EXPECT_TRUE(error.startsWith("event 1 has a timestamp that cannot be written")) << qPrintable(error);
        }
    }
}

TEST_F(SessionHistoryTest, ARecordThatCannotBeWrittenLeavesTheFileAsItWas)
{
    SessionHistory &history = SessionHistory::shared();
    history.recordActivityMinute();
    const QByteArray before = readFile(history.storePath());
    ASSERT_FALSE(before.isEmpty());

    // No date a file can hold (the earlier minute is pruned as older than 90 days).
    clock->setNow(QDateTime(QDate(10000, 1, 2), QTime(9, 0), Qt::UTC));
    history.recordActivityMinute();
    EXPECT_TRUE(logs->contains("SessionHistory", "Failed to save session history: event 0 has a timestamp that "
                                                 "cannot be written (2.52424e+11)"))
        << qPrintable(logs->messages("SessionHistory").join("\n"));
    EXPECT_EQ(readFile(history.storePath()), before);
}

TEST_F(SessionHistoryTest, APipeInPlaceOfAHistoryFileNeitherBlocksTheStartNorIsWrittenInto)
{
    // In place of the current file: unreadable, moved aside by the first record.
    ASSERT_TRUE(QDir().mkpath(files::applicationSupportDirectory()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(SessionHistory::defaultStorePath()).constData(), 0600), 0);
    SessionHistory &history = SessionHistory::shared();
    EXPECT_TRUE(history.events().isEmpty());
    EXPECT_TRUE(logs->contains("SessionHistory", QStringLiteral("Failed to load session history: %1 is a pipe, not a "
                                                                "regular file")
                                                     .arg(SessionHistory::defaultStorePath())));
    history.recordActivityMinute();
    const QFileInfoList moved = QDir(files::applicationSupportDirectory())
                                    .entryInfoList({QStringLiteral("history.unreadable-*.json")}, QDir::System);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_FALSE(moved.first().isFile()) << "the pipe itself, moved";
    EXPECT_EQ(decodeSessionEvents(readFile(history.storePath())).events, history.events());

    // In place of the legacy file: nothing to migrate, and no wait for a writer.
    resetSharedInstances();
    QFile::remove(SessionHistory::defaultStorePath());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(SessionHistory::legacyStorePath()).path()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(SessionHistory::legacyStorePath()).constData(), 0600), 0);
    logs->clear();
    EXPECT_TRUE(SessionHistory::shared().events().isEmpty());
    EXPECT_TRUE(logs->containsPart("SessionHistory", "Could not migrate legacy session history: "));
    EXPECT_TRUE(logs->containsPart("SessionHistory", "is a pipe, not a regular file"));
}

TEST_F(SessionHistoryTest, AnUnreadableFileThatCannotBeKeptAsideIsNeverSavedOver)
{
    // A folder so deep that a copy's name ("<root>/data/Quellvista/history.unreadable-
    // <time>.json", root + 56) passes the longest path a file may have, while the store's
    // temporary name ("<root>/data/Quellvista/.history.json.partial-XXXXXX", root + 45)
    // still fits.
    QString root = dir->path();
    const qsizetype length = PATH_MAX - 50;
    while (root.size() + 201 < length)
        root += "/" + QString(200, 'r');
    root += "/" + QString(length - root.size() - 1, 's');
    files::setRootOverride(root);
    const QByteArray unreadable = "[{\"timestamp\":";
    writeFile(SessionHistory::defaultStorePath(), unreadable);

    SessionHistory &history = SessionHistory::shared();
    history.recordActivityMinute();
    history.recordActivityMinute();
    EXPECT_EQ(history.events().size(), 2) << "kept in memory";
    EXPECT_EQ(readFile(SessionHistory::defaultStorePath()), unreadable);
    EXPECT_EQ(logs->messages("SessionHistory")
                  .filter(QStringLiteral("Failed to save session history: the unreadable history file could not be "
                                         "kept aside (%1); events stay in memory and are not saved over it")
                              .arg(QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))))
                  .size(),
              1)
        << qPrintable(logs->messages("SessionHistory").join("\n"));
    resetSharedInstances();
    files::setRootOverride(dir->path());
}
