#pragma once

#include "runtime/Files.h"
#include "runtime/Logging.h"
#include "wellness/LocalCalendar.h"
#include "wellness/SessionEvent.h"
#include "wellness/SessionStatistics.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// The one log of breaks and screen time: every started break, every completed break
// with its length and every active minute. Kept in memory and in "history.json" in the
// application-support folder, rewritten after every record and pruned to the last 90
// days; copied once from the folder an earlier version used. The statistics are computed
// from the events on the local calendar.
class SessionHistory : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<qv::SessionEvent> events READ events NOTIFY eventsChanged)
    Q_PROPERTY(int breaksTakenToday READ breaksTakenToday NOTIFY statisticsChanged)
    Q_PROPERTY(double activeSecondsToday READ activeSecondsToday NOTIFY statisticsChanged)
    Q_PROPERTY(int breakScore READ breakScore NOTIFY statisticsChanged)
    Q_PROPERTY(QList<int> lastSevenDaysBreakCounts READ lastSevenDaysBreakCounts NOTIFY statisticsChanged)
    Q_PROPERTY(QList<double> lastSevenDaysBreakLevels READ lastSevenDaysBreakLevels NOTIFY statisticsChanged)
    Q_PROPERTY(int streakDays READ streakDays NOTIFY statisticsChanged)

public:
    static constexpr qint64 kRetentionSeconds = 7'776'000; // 90 days of 86,400 s

    explicit SessionHistory(QObject *parent = nullptr);
    ~SessionHistory() override;

    static SessionHistory &shared();

    // "<application support>/Quellvista/history.json".
    static QString defaultStorePath();
    // "<application support>/Orvendalith/history.json", the earlier version's file.
    static QString legacyStorePath();

    const QList<SessionEvent> &events() const { return m_events; }
    QString storePath() const { return m_storePath; }

    // Appends an event at the current time and saves.
    void record(SessionEvent::EventType type, qint64 durationSeconds);
    void recordBreakStarted();
    void recordBreakTaken(qint64 durationSeconds);
    void recordActivityMinute();

    // The figures for now on the local calendar.
    SessionStatistics statistics() const;
    int breaksTakenToday() const { return statistics().breaksTakenToday; }
    double activeSecondsToday() const { return statistics().activeSecondsToday; }
    int breakScore() const { return statistics().breakScore; }
    QList<int> lastSevenDaysBreakCounts() const { return statistics().lastSevenDaysBreakCounts; }
    QList<double> lastSevenDaysBreakLevels() const { return statistics().lastSevenDaysBreakLevels; }
    int streakDays() const { return statistics().streakDays; }

signals:
    void eventsChanged();
    // The events changed or a new local day began.
    void statisticsChanged();

private:
    void migrateLegacyHistoryIfNeeded(const QString &applicationSupport);
    void load();
    void save();
    void publish();

    QList<SessionEvent> m_events;
    Logger m_logger{"SessionHistory"};
    QString m_storePath;
    // The file on disk could not be read in full: it is kept aside before the first save,
    // and while that fails nothing is saved (the refusal is logged once).
    files::UnreadFile m_unreadFile;
    LocalMidnightTimer m_midnight;

    struct CachedStatistics {
        qint64 dayStartMs;
        SessionStatistics value;
    };
    mutable std::optional<CachedStatistics> m_cache;
};

} // namespace qv
