#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace qv {

class UserDefaults;

// The display tests of a symptom fingerprint, in order.
enum class SymptomTestKind { grayReading, heavierText, lowMotion, warmRed };
// How a test felt.
enum class SymptomRating { worse = -1, same = 0, better = 1 };

QList<SymptomTestKind> allSymptomTestKinds();
QList<SymptomRating> allSymptomRatings();

QString rawValue(SymptomTestKind kind);
int rawValue(SymptomRating rating);
// Exact matches of a raw value only (letter case counts).
std::optional<SymptomTestKind> symptomTestKindFromRaw(const QString &raw);
std::optional<SymptomRating> symptomRatingFromRaw(qint64 raw);

// One tried test and its rating, dated.
struct SymptomFingerprintEntry {
    QUuid id;
    SymptomTestKind kind = SymptomTestKind::grayReading;
    SymptomRating rating = SymptomRating::same;
    QDateTime createdAt;

    bool operator==(const SymptomFingerprintEntry &other) const = default;

    // {"id": UUID text, "kind": raw text, "rating": -1/0/1, "createdAt": reference seconds}
    QJsonObject toJson() const;
    // Nothing, with error set to the fault, unless all four keys hold readable values.
    static std::optional<SymptomFingerprintEntry> fromJson(const QJsonObject &object,
                                                           QString *error = nullptr);
};

// The entries of a symptom fingerprint with the defaults store and key that keep them.
class SymptomFingerprintStore final : public QObject {
    Q_OBJECT
public:
    SymptomFingerprintStore(UserDefaults &defaults, QString entriesKey, QObject *parent = nullptr);

    QList<SymptomFingerprintEntry> entries() const { return m_entries; }
    void setEntries(const QList<SymptomFingerprintEntry> &entries);
    UserDefaults &defaults() const { return m_defaults; }
    QString entriesKey() const { return m_entriesKey; }

signals:
    void entriesChanged();

private:
    QList<SymptomFingerprintEntry> m_entries;
    UserDefaults &m_defaults;
    QString m_entriesKey;
};

} // namespace qv
