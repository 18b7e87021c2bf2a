#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Logging.h"
#include "support/LogCapture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstring>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
        {252423993599.9996, false}, // rounds to 10000-01-01 at the millisecond kept
        {252423993599.9994, true},
        {-63145526400.0004, true}, // rounds to 0000-01-01T00:00:00Z
        {-63145526400.0006, false},
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
            // What is written for it reads back as the same date.
            EXPECT_EQ(json::decodeDate(json::encodeDate(*date)), date);
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

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool isFifo(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

// Files may grow to `bytes` at most while it lives; a longer write fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        const rlimit limit{bytes, m_previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_previous{};
    void (*m_signal)(int) = nullptr;
};

void setAge(const QString &path, int seconds)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-seconds), QFileDevice::FileModificationTime));
}

} // namespace

TEST(Files, OnlyARegularFileIsReadAndNothingElseBlocksOrCounts)
{
    QTemporaryDir dir;
    const QString regular = dir.filePath("history.json");
    ASSERT_TRUE(files::writeAtomically(regular, "[]"));
    ASSERT_TRUE(files::writeAtomically(dir.filePath("empty.json"), ""));
    ASSERT_TRUE(makeFifo(dir.filePath("pipe.json")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.json")));
    ASSERT_TRUE(QFile::link(regular, dir.filePath("link.json")));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere.json"), dir.filePath("dangling.json")));
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("device.json")));

    using State = files::StoredFile::State;
    const struct {
        const char *name;
        State state;
        QByteArray bytes;
        const char *error;
    } cases[] = {
        {"history.json", State::read, "[]", ""},
        {"empty.json", State::read, "", ""},
        {"link.json", State::read, "[]", ""},
        {"absent.json", State::absent, "", ""},
        {"dangling.json", State::absent, "", ""},
        {"absent/below.json", State::absent, "", ""},
        {"history.json/below.json", State::absent, "", ""},
        {"pipe.json", State::unreadable, "", "is a pipe, not a regular file"},
        {"folder.json", State::unreadable, "", "is a folder, not a regular file"},
        {"device.json", State::unreadable, "", "is a device, not a regular file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const files::StoredFile file = files::readStoredFile(dir.filePath(c.name));
        EXPECT_EQ(file.state, c.state);
        EXPECT_EQ(file.bytes, c.bytes);
        if (*c.error)
            EXPECT_TRUE(file.error.endsWith(QLatin1String(c.error))) << qPrintable(file.error);
        else
            EXPECT_TRUE(file.error.isEmpty()) << qPrintable(file.error);
    }
}

TEST(Files, AWriteNeverReplacesWhatIsNoRegularFileAndFollowsALink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(makeFifo(dir.filePath("pipe.json")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.json")));
    for (const char *name : {"pipe.json", "folder.json"}) {
        SCOPED_TRACE(name);
        QString error;
        EXPECT_FALSE(files::writeAtomically(dir.filePath(name), "{}", &error));
        EXPECT_TRUE(error.endsWith("not a regular file")) << qPrintable(error);
    }
    EXPECT_TRUE(isFifo(dir.filePath("pipe.json")));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.json")).isDir());

    // A linked file is replaced where it lies; the link stays.
    ASSERT_TRUE(files::writeAtomically(dir.filePath("real/defaults.json"), "old"));
    ASSERT_TRUE(QFile::link(dir.filePath("real/defaults.json"), dir.filePath("defaults.json")));
    ASSERT_TRUE(files::writeAtomically(dir.filePath("defaults.json"), "new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("defaults.json")).isSymLink());
    EXPECT_EQ(contents(dir.filePath("real/defaults.json")), "new");
}

TEST(Files, AFailedWriteNamesTheCauseAndLeavesTheFileAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    ASSERT_TRUE(files::writeAtomically(path, "original"));
    // Below and beyond the size a buffered writer holds before it writes anything.
    for (const qsizetype size : {4000, 70000}) {
        SCOPED_TRACE(size);
        QString error;
        {
            FileSizeLimit limit(1000);
            EXPECT_FALSE(files::writeAtomically(path, QByteArray(size, 'x'), &error));
        }
        EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG))) << qPrintable(error);
        EXPECT_EQ(contents(path), "original");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"defaults.json"});
    }
}

TEST(Files, StaleTemporaryFilesOfAnInterruptedWriteAreRemovedAndNothingElse)
{
    QTemporaryDir dir;
    files::setRootOverride(dir.path());
    const QString support = files::applicationSupportDirectory();
    const QString config = files::configDirectory();
    ASSERT_TRUE(files::writeAtomically(support + "/history.json", "[]"));
    ASSERT_TRUE(files::writeAtomically(config + "/defaults.json", "{}"));

    // A write killed midway, for real: the file size limit stops the child at the first write.
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const rlimit limit{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        files::writeAtomically(config + "/defaults.json", QByteArray(4096, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    const QStringList left = QDir(config).entryList({".defaults.json.partial-*"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1);
    const QString interrupted = config + "/" + left.first();

    struct Entry {
        QString path;
        int ageSeconds;
        bool removed;
    };
    const QList<Entry> entries{
        {interrupted, 3600, true},
        {support + "/.history.json.partial-Ab3dE9", 120, true},
        {support + "/.history.json.partial-xYz012", 10, false}, // perhaps being written now
        {config + "/defaults.json.backup", 3600, false},
        {config + "/.defaults.json.partial-abc", 3600, false},
        {config + "/.defaults.json.partial-abcdefg", 3600, false},
        {config + "/defaults.json.partial-abcdef", 3600, false},
        {support + "/notes/.history.json.partial-Ab3dE9", 3600, false}, // not our folder
        {dir.path() + "/data/.history.json.partial-Ab3dE9", 3600, false},
    };
    for (const Entry &e : entries) {
        if (e.path != interrupted) {
            ASSERT_TRUE(files::writeAtomically(e.path, "partial"));
        }
        setAge(e.path, e.ageSeconds);
    }
    ASSERT_TRUE(QDir().mkpath(support + "/.folder.json.partial-Ab3dE9"));
    ASSERT_TRUE(QFile::link(support + "/history.json", support + "/.link.json.partial-Ab3dE9"));

    test::LogCapture capture;
    EXPECT_EQ(files::removeStaleTemporaryFiles(), 2);
    for (const Entry &e : entries)
        EXPECT_EQ(QFileInfo::exists(e.path), !e.removed) << qPrintable(e.path);
    EXPECT_TRUE(QFileInfo(support + "/.folder.json.partial-Ab3dE9").isDir());
    EXPECT_TRUE(QFileInfo(support + "/.link.json.partial-Ab3dE9").isSymLink());
    EXPECT_EQ(contents(config + "/defaults.json"), "{}");
    EXPECT_EQ(contents(support + "/history.json"), "[]");
    EXPECT_TRUE(capture.contains("Files", QStringLiteral("Removed %1, left by an interrupted write").arg(interrupted)));
    files::setRootOverride(QString());
}
