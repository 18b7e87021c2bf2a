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

double secondsSinceReferenceDate(const QDateTime &date);
QDateTime dateFromReferenceSeconds(double seconds);

QJsonValue encodeDate(const QDateTime &date);
// A number, or nothing for any other value.
std::optional<QDateTime> decodeDate(const QJsonValue &value);

QByteArray encodeCompact(const QJsonDocument &document);
QByteArray encodeCompact(const QJsonObject &object);
QByteArray encodeCompact(const QJsonArray &array);

// Strict field reads: nothing when the key is missing or holds another type.
std::optional<bool> boolField(const QJsonObject &object, const QString &key);
std::optional<double> numberField(const QJsonObject &object, const QString &key);
std::optional<QString> stringField(const QJsonObject &object, const QString &key);

} // namespace qv::json
