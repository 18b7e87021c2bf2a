#include "comfort/SymptomFingerprint.h"

#include "comfort/SavedComfortProfile.h"
#include "runtime/Json.h"

#include <cmath>

namespace qv {

namespace {
struct KindName {
    SymptomTestKind kind;
    const char *raw;
};
constexpr KindName kKinds[] = {
    {SymptomTestKind::grayReading, "grayReading"},
    {SymptomTestKind::heavierText, "heavierText"},
    {SymptomTestKind::lowMotion, "lowMotion"},
    {SymptomTestKind::warmRed, "warmRed"},
};
constexpr SymptomRating kRatings[] = {SymptomRating::worse, SymptomRating::same, SymptomRating::better};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
} // namespace

QList<SymptomTestKind> allSymptomTestKinds()
{
    QList<SymptomTestKind> kinds;
    for (const KindName &k : kKinds)
        kinds << k.kind;
    return kinds;
}

QList<SymptomRating> allSymptomRatings()
{
    return QList<SymptomRating>(std::begin(kRatings), std::end(kRatings));
}

QString rawValue(SymptomTestKind kind)
{
    for (const KindName &k : kKinds)
        if (k.kind == kind)
            return QString::fromLatin1(k.raw);
    return {};
}

int rawValue(SymptomRating rating)
{
    return static_cast<int>(rating);
}

std::optional<SymptomTestKind> symptomTestKindFromRaw(const QString &raw)
{
    for (const KindName &k : kKinds)
        if (raw == QLatin1String(k.raw))
            return k.kind;
    return std::nullopt;
}

std::optional<SymptomRating> symptomRatingFromRaw(qint64 raw)
{
    for (SymptomRating r : kRatings)
        if (raw == rawValue(r))
            return r;
    return std::nullopt;
}

QJsonObject SymptomFingerprintEntry::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), uuidText(id)},
        {QStringLiteral("kind"), rawValue(kind)},
        {QStringLiteral("rating"), rawValue(rating)},
        {QStringLiteral("createdAt"), json::encodeDate(createdAt)},
    };
}

std::optional<SymptomFingerprintEntry> SymptomFingerprintEntry::fromJson(const QJsonObject &object,
                                                                         QString *error)
{
    SymptomFingerprintEntry entry;

    const std::optional<QString> idText = json::stringField(object, QStringLiteral("id"));
    const std::optional<QUuid> id = idText ? parseUuid(*idText) : std::nullopt;
    if (!id) {
        setError(error, QStringLiteral("\"id\" is not a UUID"));
        return std::nullopt;
    }
    entry.id = *id;

    const std::optional<QString> kindText = json::stringField(object, QStringLiteral("kind"));
    const std::optional<SymptomTestKind> kind = kindText ? symptomTestKindFromRaw(*kindText) : std::nullopt;
    if (!kind) {
        setError(error, kindText ? QStringLiteral("unknown \"kind\" \"%1\"").arg(*kindText)
                                 : QStringLiteral("\"kind\" is missing or not text"));
        return std::nullopt;
    }
    entry.kind = *kind;

    const std::optional<double> ratingNumber = json::numberField(object, QStringLiteral("rating"));
    std::optional<SymptomRating> rating;
    if (ratingNumber && std::trunc(*ratingNumber) == *ratingNumber && std::fabs(*ratingNumber) < 1e15)
        rating = symptomRatingFromRaw(static_cast<qint64>(*ratingNumber));
    if (!rating) {
        setError(error, ratingNumber ? QStringLiteral("unknown \"rating\" %1").arg(*ratingNumber)
                                     : QStringLiteral("\"rating\" is missing or not a number"));
        return std::nullopt;
    }
    entry.rating = *rating;

    const std::optional<QDateTime> createdAt = json::decodeDate(object.value(QStringLiteral("createdAt")));
    if (!createdAt) {
        setError(error, QStringLiteral("\"createdAt\" is missing or not a date"));
        return std::nullopt;
    }
    entry.createdAt = *createdAt;
    return entry;
}

SymptomFingerprintStore::SymptomFingerprintStore(UserDefaults &defaults, QString entriesKey, QObject *parent)
    : QObject(parent), m_defaults(defaults), m_entriesKey(std::move(entriesKey))
{
}

void SymptomFingerprintStore::setEntries(const QList<SymptomFingerprintEntry> &entries)
{
    if (entries == m_entries)
        return;
    m_entries = entries;
    emit entriesChanged();
}

} // namespace qv
