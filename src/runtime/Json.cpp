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
    // Dates are kept to the millisecond: the bound holds for the value as rounded, so that
    // what is accepted is the date that is written back. Also false for not-a-number.
    if (!(seconds >= kEarliestReferenceSeconds - 1 && seconds < kEndReferenceSeconds + 1))
        return false;
    const double ms = std::round(seconds * 1000.0);
    return ms >= kEarliestReferenceSeconds * 1000.0 && ms < kEndReferenceSeconds * 1000.0;
}

QDateTime dateFromReferenceSeconds(double seconds)
{
    if (!isStorableReferenceSeconds(seconds))
        return QDateTime();
    const qint64 ms = qint64(std::round(seconds * 1000.0)) + kReferenceDateUnixSeconds * 1000;
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
