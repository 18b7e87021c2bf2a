#pragma once

#include "runtime/Settings.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace qv {

class UserDefaults;

// One stored setting that a view binds to two-way: reads give the stored value (of the
// default's type) or the default; writes store the value. Stays in step with writes made
// elsewhere through the same store.
class StoredSetting : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString key READ key WRITE setKey NOTIFY keyChanged)
    Q_PROPERTY(QVariant defaultValue READ defaultValue WRITE setDefaultValue NOTIFY defaultValueChanged)
    Q_PROPERTY(QVariant value READ value WRITE setValue NOTIFY valueChanged)
public:
    explicit StoredSetting(QObject *parent = nullptr);
    StoredSetting(const QString &key, const QVariant &defaultValue, QObject *parent = nullptr);
    // One of the settings table's keys with its default.
    template <typename T>
    explicit StoredSetting(const settings::Setting<T> &setting, QObject *parent = nullptr)
        : StoredSetting(setting.name(), settings::defaultOf(setting), parent)
    {
    }

    QString key() const { return m_key; }
    void setKey(const QString &key);
    QVariant defaultValue() const { return m_default; }
    void setDefaultValue(const QVariant &value);

    // The stored value when it has the default's type (numbers count as one type), else
    // the default.
    QVariant value() const;
    void setValue(const QVariant &value);

    // Uses another store (tests); the standard store otherwise.
    void setStore(UserDefaults *store);

signals:
    void keyChanged();
    void defaultValueChanged();
    void valueChanged();

private:
    UserDefaults &store() const;
    void connectStore();

    QString m_key;
    QVariant m_default;
    UserDefaults *m_store = nullptr;
    QMetaObject::Connection m_connection;
};

} // namespace qv
