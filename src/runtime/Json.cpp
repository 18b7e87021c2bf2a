#include "runtime/Json.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace qv::json {

double secondsSinceReferenceDate(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch() - kReferenceDateUnixSeconds * 1000) / 1000.0;
}

bool isStorableReferenceSeconds(double seconds)
{
    // Also false for not-a-number.
    return seconds >= kEarliestReferenceSeconds && seconds < kEndReferenceSeconds;
}

QDateTime dateFromReferenceSeconds(double seconds)
{
    if (!isStorableReferenceSeconds(seconds))
        return QDateTime();
    const qint64 ms = qint64(std::llround(seconds * 1000.0)) + kReferenceDateUnixSeconds * 1000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QJsonValue encodeDate(const QDateTime &date)
{
    return secondsSinceReferenceDate(date);
}

std::optional<QDateTime> decodeDate(const QJsonValue &value)
{
    if (!value.isDouble() || !isStorableReferenceSeconds(value.toDouble()))
        return std::nullopt;
    return dateFromReferenceSeconds(value.toDouble());
}

QByteArray encodeCompact(const QJsonDocument &document)
{
    return document.toJson(QJsonDocument::Compact);
}

QByteArray encodeCompact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray encodeCompact(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<bool> boolField(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

std::optional<double> numberField(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

std::optional<QString> stringField(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

} // namespace qv::json
