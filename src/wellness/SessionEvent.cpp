#include "wellness/SessionEvent.h"

#include "runtime/Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>

namespace qv {

QDateTime SessionEvent::date() const
{
    return json::dateFromReferenceSeconds(timestamp);
}

SessionEvent SessionEvent::at(const QDateTime &date, EventType type, qint64 durationSeconds)
{
    return SessionEvent{json::secondsSinceReferenceDate(date), type, durationSeconds};
}

QString SessionEvent::rawValue(EventType type)
{
    switch (type) {
    case EventType::activity:
        return QStringLiteral("activity");
    case EventType::breakTaken:
        return QStringLiteral("breakTaken");
    case EventType::breakSkipped:
        return QStringLiteral("breakSkipped");
    case EventType::breakStarted:
        return QStringLiteral("breakStarted");
    }
    return QString();
}

std::optional<SessionEvent::EventType> SessionEvent::eventType(const QString &rawValue)
{
    for (EventType type : {EventType::activity, EventType::breakTaken, EventType::breakSkipped,
                           EventType::breakStarted})
        if (rawValue == SessionEvent::rawValue(type))
            return type;
    return std::nullopt;
}

std::optional<SessionEvent> SessionEvent::fromJson(const QJsonValue &value, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<SessionEvent> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!value.isObject())
        return fail(QStringLiteral("an event is not an object"));
    const QJsonObject object = value.toObject();

    const std::optional<double> timestamp = json::numberField(object, QStringLiteral("timestamp"));
    if (!timestamp || !json::isStorableReferenceSeconds(*timestamp))
        return fail(QStringLiteral("missing or invalid \"timestamp\""));

    const std::optional<QString> typeText = json::stringField(object, QStringLiteral("type"));
    if (!typeText)
        return fail(QStringLiteral("missing or invalid \"type\""));
    const std::optional<EventType> type = eventType(*typeText);
    if (!type)
        return fail(QStringLiteral("unknown event type \"%1\"").arg(*typeText));

    // A JSON integer: a whole number within the signed 64-bit range.
    const QJsonValue duration = object.value(QStringLiteral("durationSeconds"));
    const double d = duration.toDouble();
    if (!duration.isDouble() || !std::isfinite(d) || d != std::trunc(d) || d < -9.2e18 || d > 9.2e18)
        return fail(QStringLiteral("missing or invalid \"durationSeconds\""));

    return SessionEvent{*timestamp, *type, duration.toInteger(qint64(d))};
}

namespace {
// Appends the shortest text that reads back as the same number: plain digits where
// sensible, an exponent for the very large and the very small. False when the number
// cannot be written.
bool appendNumber(QByteArray &out, double value)
{
    char buffer[64];
    const double magnitude = std::fabs(value);
    const bool plain = value == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      plain ? std::chars_format::fixed : std::chars_format::general);
    if (result.ec != std::errc())
        return false;
    out.append(buffer, result.ptr - buffer);
    return true;
}

bool appendInteger(QByteArray &out, qint64 value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc())
        return false;
    out.append(buffer, result.ptr - buffer);
    return true;
}
} // namespace

QByteArray encodeSessionEvents(const QList<SessionEvent> &events, QString *error)
{
    // Written by hand: the file is rewritten on every record and holds up to 90 days of
    // events, so it must be quick. The output is what the JSON coder would write.
    QByteArray out;
    out.reserve(events.size() * 72 + 2);
    out.append('[');
    for (qsizetype i = 0; i < events.size(); ++i) {
        const SessionEvent &event = events.at(i);
        if (i > 0)
            out.append(',');
        out.append("{\"timestamp\":");
        // Only what a reader takes back is written.
        const bool written = json::isStorableReferenceSeconds(event.timestamp) && appendNumber(out, event.timestamp);
        out.append(",\"type\":\"");
        out.append(SessionEvent::rawValue(event.type).toLatin1());
        out.append("\",\"durationSeconds\":");
        if (!written || !appendInteger(out, event.durationSeconds)) {
            if (error)
                *error = QStringLiteral("event %1 has a timestamp that cannot be written (%2)")
                             .arg(i)
                             .arg(event.timestamp);
            return QByteArray();
        }
        out.append('}');
    }
    out.append(']');
    return out;
}

DecodedSessionEvents decodeSessionEvents(const QByteArray &bytes)
{
    DecodedSessionEvents result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("the data is not valid JSON (%1 at offset %2)")
                           .arg(parseError.errorString())
                           .arg(parseError.offset);
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("the data is not a list of events");
        return result;
    }
    result.readable = true;
    const QJsonArray array = document.array();
    result.events.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString why;
        if (auto event = SessionEvent::fromJson(array.at(i), &why)) {
            result.events.append(*event);
        } else {
            if (result.skipped == 0)
                result.error = QStringLiteral("event %1: %2").arg(i).arg(why);
            ++result.skipped;
        }
    }
    return result;
}

} // namespace qv
