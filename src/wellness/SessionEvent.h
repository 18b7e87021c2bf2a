#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// One entry of the session history: a started or completed break, or one active minute.
struct SessionEvent {
    Q_GADGET
    Q_PROPERTY(double timestamp MEMBER timestamp)
    Q_PROPERTY(EventType type MEMBER type)
    Q_PROPERTY(qint64 durationSeconds MEMBER durationSeconds)

public:
    enum class EventType {
        activity,     // a minute of screen activity
        breakTaken,   // a break ran to its end
        breakSkipped, // never recorded here; accepted when read
        breakStarted, // a break began
    };
    Q_ENUM(EventType)

    // Seconds since 2001-01-01 00:00:00 UTC, as in the history file.
    double timestamp = 0;
    EventType type = EventType::activity;
    // 0 for a started break, the break's length for a taken one, 60 for an activity minute.
    qint64 durationSeconds = 0;

    QDateTime date() const;
    static SessionEvent at(const QDateTime &date, EventType type, qint64 durationSeconds);

    // The type's text in the file ("activity", "breakTaken", ...), and back (exact match).
    static QString rawValue(EventType type);
    static std::optional<EventType> eventType(const QString &rawValue);

    // One event from its JSON object; all three keys are required, others are ignored.
    // On failure error says why.
    static std::optional<SessionEvent> fromJson(const QJsonValue &value, QString *error = nullptr);

    bool operator==(const SessionEvent &) const = default;
};

// The history file's content: one compact JSON array of event objects, in list order.
// Empty (and the reason in error) when an event's timestamp is not a finite number
// within the dates a file may hold: such an event is never written, nor a file without it.
QByteArray encodeSessionEvents(const QList<SessionEvent> &events, QString *error = nullptr);

// What a history file held. A file that is not a JSON array is unreadable as a whole;
// inside the array each event is read on its own and one that cannot be read is skipped.
struct DecodedSessionEvents {
    QList<SessionEvent> events;
    bool readable = false;  // the file was a JSON array
    int skipped = 0;        // events that could not be read
    QString error;          // why the file, or the first skipped event, could not be read
};
DecodedSessionEvents decodeSessionEvents(const QByteArray &bytes);

} // namespace qv

Q_DECLARE_METATYPE(qv::SessionEvent)
