#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonValue>

#include <optional>

// JSON coding as the platform's default coder does it: dates as seconds since
// 2001-01-01 00:00:00 UTC, compact output.
namespace qv::json {

inline constexpr qint64 kReferenceDateUnixSeconds = 978307200; // 2001-01-01T00:00:00Z

// The dates a stored file may hold: from the start of year 0 (1 BC) to the end of year
// 9999, which takes in the platform's distant past and distant future. Anything beyond,
// and any number that is not finite, is an unreadable value: it has no exact date, and
// converting it to milliseconds would overflow.
inline constexpr double kEarliestReferenceSeconds = -63'145'526'400; // 0000-01-01T00:00:00Z
inline constexpr double kEndReferenceSeconds = 252'423'993'600;      // 10000-01-01T00:00:00Z, excluded
bool isStorableReferenceSeconds(double seconds);

double secondsSinceReferenceDate(const QDateTime &date);
// An invalid date for seconds that are not storable.
QDateTime dateFromReferenceSeconds(double seconds);

QJsonValue encodeDate(const QDateTime &date);
// A number of storable seconds, or nothing for any other value.
std::optional<QDateTime> decodeDate(const QJsonValue &value);

QByteArray encodeCompact(const QJsonDocument &document);
QByteArray encodeCompact(const QJsonObject &object);
QByteArray encodeCompact(const QJsonArray &array);

// Strict field reads: nothing when the key is missing or holds another type.
std::optional<bool> boolField(const QJsonObject &object, const QString &key);
std::optional<double> numberField(const QJsonObject &object, const QString &key);
std::optional<QString> stringField(const QJsonObject &object, const QString &key);

} // namespace qv::json
