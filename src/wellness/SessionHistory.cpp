#include "wellness/SessionHistory.h"

#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QDir>
#include <QFileInfo>

namespace qv {

namespace {
// Where the history lay before the rename, under the data root.
const QString kLegacyHistoryPath = QStringLiteral("/Orvendalith/history.json");
} // namespace

SessionHistory::SessionHistory(QObject *parent) : QObject(parent)
{
    const QString applicationSupport = files::dataRoot();
    // A folder that cannot be made shows up as a failed save later.
    QDir().mkpath(files::applicationSupportDirectory());
    m_storePath = defaultStorePath();
    migrateLegacyHistoryIfNeeded(applicationSupport);
    load();
    m_midnight.start(this, [this] { emit statisticsChanged(); });
}

SessionHistory::~SessionHistory() = default;

SessionHistory &SessionHistory::shared()
{
    return sharedInstance<SessionHistory>();
}

QString SessionHistory::defaultStorePath()
{
    return files::applicationSupportDirectory() + QStringLiteral("/history.json");
}

QString SessionHistory::legacyStorePath()
{
    return files::dataRoot() + kLegacyHistoryPath;
}

void SessionHistory::migrateLegacyHistoryIfNeeded(const QString &applicationSupport)
{
    if (QFileInfo::exists(m_storePath))
        return;
    // Read and written atomically rather than copied, so that a failed copy leaves no
    // half file behind; the legacy file stays where it is.
    const files::StoredFile source = files::readStoredFile(applicationSupport + kLegacyHistoryPath);
    if (source.state == files::StoredFile::State::absent)
        return;
    QString error = source.error;
    if (source.state == files::StoredFile::State::read)
        files::writeAtomically(m_storePath, source.bytes, &error);
    if (error.isEmpty())
        m_logger.info("Migrated legacy session history into Quellvista app support.");
    else
        m_logger.error("Could not migrate legacy session history: %s", qUtf8Printable(error));
}

void SessionHistory::load()
{
    const files::StoredFile file = files::readStoredFile(m_storePath);
    if (file.state == files::StoredFile::State::absent)
        return;
    if (file.state == files::StoredFile::State::unreadable) {
        m_unreadFile.mark();
        m_logger.error("Failed to load session history: %s", qUtf8Printable(file.error));
        return;
    }

    DecodedSessionEvents decoded = decodeSessionEvents(file.bytes);
    if (!decoded.readable) {
        m_unreadFile.mark();
        m_logger.error("Failed to load session history: %s", qUtf8Printable(decoded.error));
        return;
    }
    // What could be read is kept (not pruned until the next save); the file itself is
    // kept aside before a save replaces it, so the skipped events are not lost either.
    m_events = std::move(decoded.events);
    m_logger.info("Loaded %ld session events from disk", long(m_events.size()));
    if (decoded.skipped > 0) {
        m_unreadFile.mark();
        m_logger.error("Skipped %ld unreadable session events: %s", long(decoded.skipped),
                       qUtf8Printable(decoded.error));
    }
}

void SessionHistory::record(SessionEvent::EventType type, qint64 durationSeconds)
{
    m_events.append(SessionEvent::at(scheduler().now(), type, durationSeconds));
    save();
}

void SessionHistory::recordBreakStarted()
{
    record(SessionEvent::EventType::breakStarted, 0);
}

void SessionHistory::recordBreakTaken(qint64 durationSeconds)
{
    record(SessionEvent::EventType::breakTaken, durationSeconds);
}

void SessionHistory::recordActivityMinute()
{
    record(SessionEvent::EventType::activity, 60);
}

void SessionHistory::save()
{
    const double cutoff = json::secondsSinceReferenceDate(scheduler().now()) - double(kRetentionSeconds);
    m_events.removeIf([cutoff](const SessionEvent &event) { return event.timestamp < cutoff; });
    publish();

    QString error;
    const QByteArray bytes = encodeSessionEvents(m_events, &error);
    if (bytes.isEmpty()) {
        m_logger.error("Failed to save session history: %s", qUtf8Printable(error));
        return;
    }

    // Never written over: the events stay in memory and the next record tries again.
    const bool clear = m_unreadFile.clearForSave(
        m_storePath,
        [this](const QString &kept) {
            m_logger.info("Kept unreadable session history as %s", qUtf8Printable(QFileInfo(kept).fileName()));
        },
        [this](const QString &why) {
            m_logger.error("Failed to save session history: the unreadable history file could not be kept "
                           "aside (%s); events stay in memory and are not saved over it",
                           qUtf8Printable(why));
        });
    if (!clear)
        return;

    if (!files::writeAtomically(m_storePath, bytes, &error))
        m_logger.error("Failed to save session history: %s", qUtf8Printable(error));
}

void SessionHistory::publish()
{
    m_cache.reset();
    emit eventsChanged();
    emit statisticsChanged();
}

SessionStatistics SessionHistory::statistics() const
{
    const QDateTime now = scheduler().now();
    const qint64 dayStart = localCalendar::startOfDay(localCalendar::dateOf(now)).toMSecsSinceEpoch();
    if (!m_cache || m_cache->dayStartMs != dayStart)
        m_cache = CachedStatistics{dayStart, SessionStatistics::compute(m_events, now)};
    return m_cache->value;
}

} // namespace qv
