#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Logging.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

TEST(Json, DatesBeyondTheYearsZeroToNineThousandNineHundredNinetyNineAreUnreadable)
{
    const struct {
        double seconds;
        bool readable;
    } cases[] = {
        {0, true},
        {-63114076800, true},  // the platform's distant past, 0000-12-30
        {63113904000, true},   // its distant future, 4001-01-01
        {-63145526400, true},  // 0000-01-01T00:00:00Z
        {252423993599.999, true},
        {-63145526400.001, false},
        {252423993600, false}, // 10000-01-01
        {9.2e15, false},       // where milliseconds since 1970 no longer fit 64 bits
        {9.3e15, false},
        {-9.3e15, false},
        {1e300, false},
        {-1e300, false},
        {std::numeric_limits<double>::infinity(), false},
        {std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        const auto date = json::decodeDate(QJsonValue(c.seconds));
        EXPECT_EQ(date.has_value(), c.readable);
        EXPECT_EQ(json::dateFromReferenceSeconds(c.seconds).isValid(), c.readable);
        if (date) {
            EXPECT_EQ(json::secondsSinceReferenceDate(*date), std::round(c.seconds * 1000) / 1000);
        }
    }
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
