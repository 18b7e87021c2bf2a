#pragma once

#include "runtime/Files.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <utility>

namespace qv {

// The user-defaults domain: typed values (bool, integer, double, string, data, date,
// array, dictionary) kept in one JSON file that records each value's type, written
// atomically. Reads come in two kinds, as on the platform:
//  - strict (boolValue, doubleValue, ...): nothing unless the stored value has that type
//    (integers and doubles both count as numbers);
//  - lenient (boolForKey, doubleForKey, ...): absent or unconvertible gives false / 0.
// Registered defaults answer reads of keys that hold no stored value; they are never
// written to the file.
// A file that cannot be read in full (not a regular file, no defaults file, or a value
// that cannot be read, such as a date beyond the year 9999) gives what can be read, and
// is kept aside before anything is saved in its place; while it can be neither read nor
// kept aside, changes stay in memory and nothing is saved over it.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // An empty path keeps everything in memory.
    explicit UserDefaults(const QString &filePath = QString(), QObject *parent = nullptr);
    ~UserDefaults() override;

    // The store in use; created on first use at "<config>/Quellvista/defaults.json" unless
    // a test installed another.
    static UserDefaults &standard();
    static void setStandard(UserDefaults *defaults); // not owned; nullptr returns to the file store
    static QString defaultFilePath();

    QString filePath() const { return m_path; }

    // Stored value, else registered default; invalid when neither.
    QVariant object(const QString &key) const;
    // True when a value is stored (registered defaults do not count).
    bool hasStoredValue(const QString &key) const { return m_values.contains(key); }

    void set(const QString &key, const QVariant &value);
    void setBool(const QString &key, bool value) { set(key, value); }
    void setDouble(const QString &key, double value) { set(key, value); }
    void setInteger(const QString &key, qint64 value) { set(key, value); }
    void setString(const QString &key, const QString &value) { set(key, value); }
    void setData(const QString &key, const QByteArray &value) { set(key, value); }
    void remove(const QString &key);

    void registerDefaults(const QVariantMap &defaults);

    std::optional<bool> boolValue(const QString &key) const;
    std::optional<double> doubleValue(const QString &key) const;
    std::optional<qint64> integerValue(const QString &key) const;
    std::optional<QString> stringValue(const QString &key) const;
    std::optional<QByteArray> dataValue(const QString &key) const;
    std::optional<QDateTime> dateValue(const QString &key) const;
    std::optional<QVariantList> arrayValue(const QString &key) const;
    std::optional<QVariantMap> dictionaryValue(const QString &key) const;

    bool boolForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    // A string, or a number's text; empty otherwise.
    QString stringForKey(const QString &key) const;

    QStringList storedKeys() const { return m_values.keys(); }

    // Writes pending changes now. Changes are otherwise written on a later turn of the
    // event loop and when the store is destroyed. Returns false when the write failed.
    bool sync();

    // Calls fn whenever key changes, until receiver is destroyed.
    QMetaObject::Connection observe(const QString &key, QObject *receiver, std::function<void()> fn);

    // Serialisation used by the file (exposed for tests). Decoding gives nothing (and why
    // in error) for a file that is no defaults file; otherwise the values that can be read,
    // and the keys of those that cannot with the reason.
    struct Decoded {
        QVariantMap values;
        QList<std::pair<QString, QString>> unreadable;
    };
    static QByteArray encode(const QVariantMap &values);
    static std::optional<Decoded> decode(const QByteArray &bytes, QString *error = nullptr);

signals:
    void valueChanged(const QString &key);

private:
    void load();
    void markDirty();

    QString m_path;
    QVariantMap m_values;
    QVariantMap m_defaults;
    bool m_dirty = false;
    bool m_flushQueued = false;
    // The file could not be read in full: it is kept aside before the first save, and
    // while that fails nothing is saved (the refusal is logged once).
    files::UnreadFile m_unreadFile;
};

} // namespace qv
