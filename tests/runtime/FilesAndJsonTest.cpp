#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Logging.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv;

TEST(Json, DatesAreSecondsSinceTwoThousandOne)
{
    EXPECT_EQ(json::secondsSinceReferenceDate(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)), 0.0);
    EXPECT_EQ(json::secondsSinceReferenceDate(QDateTime(QDate(2001, 1, 2), QTime(0, 0, 1), Qt::UTC)), 86401.0);
    const QDateTime when = json::dateFromReferenceSeconds(786240000.5);
    EXPECT_EQ(when, QDateTime(QDate(2025, 12, 1), QTime(0, 0, 0, 500), Qt::UTC));
    EXPECT_EQ(json::decodeDate(QJsonValue("786297600")), std::nullopt);
    EXPECT_EQ(json::encodeCompact(QJsonObject{{"a", 1}}), "{\"a\":1}");
}

TEST(Files, AtomicWriteCreatesFoldersAndMoveAsideKeepsTheOriginal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("deep/er/history.json");
    ASSERT_TRUE(files::writeAtomically(path, "first"));
    ASSERT_TRUE(files::writeAtomically(path, "second"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "second");
    f.close();
    const QString aside = files::moveAside(path);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(aside.contains("history.unreadable-"));
    EXPECT_TRUE(aside.endsWith(".json"));
    // A second file moved aside in the same second gets a name of its own.
    ASSERT_TRUE(files::writeAtomically(path, "third"));
    const QString again = files::moveAside(path);
    EXPECT_NE(again, aside);
    EXPECT_TRUE(QFile::exists(again));
    EXPECT_TRUE(QFile::exists(aside));
}

TEST(Files, RootOverrideMovesEveryFolder)
{
    files::setRootOverride("/tmp/qv-root");
    EXPECT_EQ(files::applicationSupportDirectory(), "/tmp/qv-root/data/Quellvista");
    EXPECT_EQ(files::configDirectory(), "/tmp/qv-root/config/Quellvista");
    files::setRootOverride(QString());
    EXPECT_TRUE(files::applicationSupportDirectory().endsWith("/Quellvista"));
}

TEST(Logging, CategoriesCarryTheSubsystemPrefixAndPrintfFormatting)
{
    test::LogCapture capture;
    Logger log("DisplayEngine");
    log.info("Set %s = %s on %s", "enableDither", "false", "embedded");
    log.error("Failed to set %s: %s", "uniformity2D", "(iokit/common) not permitted");
    EXPECT_STREQ(log.category().categoryName(), "com.tebrix.Quellvista.DisplayEngine");
    EXPECT_TRUE(capture.contains("DisplayEngine", "Set enableDither = false on embedded"));
    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].type, QtInfoMsg);
    EXPECT_EQ(entries[1].type, QtCriticalMsg);
}
