#include "runtime/StoredSetting.h"

#include "runtime/UserDefaults.h"

#include <climits>
#include <cmath>

namespace qv {

StoredSetting::StoredSetting(QObject *parent) : QObject(parent)
{
    connectStore();
}

StoredSetting::StoredSetting(const QString &key, const QVariant &defaultValue, QObject *parent)
    : QObject(parent), m_key(key), m_default(defaultValue)
{
    connectStore();
}

UserDefaults &StoredSetting::store() const
{
    return m_store ? *m_store : UserDefaults::standard();
}

void StoredSetting::connectStore()
{
    QObject::disconnect(m_connection);
    m_connection = connect(&store(), &UserDefaults::valueChanged, this, [this](const QString &changed) {
        if (changed == m_key)
            emit valueChanged();
    });
}

void StoredSetting::setStore(UserDefaults *defaults)
{
    m_store = defaults;
    connectStore();
    emit valueChanged();
}

void StoredSetting::setKey(const QString &key)
{
    if (key == m_key)
        return;
    m_key = key;
    emit keyChanged();
    emit valueChanged();
}

void StoredSetting::setDefaultValue(const QVariant &value)
{
    if (value == m_default)
        return;
    m_default = value;
    emit defaultValueChanged();
    emit valueChanged();
}

QVariant StoredSetting::value() const
{
    const UserDefaults &s = store();
    if (m_key.isEmpty() || !s.hasStoredValue(m_key))
        return m_default;
    switch (m_default.typeId()) {
    case QMetaType::Bool:
        if (auto v = s.boolValue(m_key))
            return *v;
        return m_default;
    case QMetaType::Int:
        // A stored integer beyond what an int holds reads as the default, never wrapped.
        if (auto v = s.integerValue(m_key); v && *v >= INT_MIN && *v <= INT_MAX)
            return int(*v);
        return m_default;
    case QMetaType::LongLong:
        if (auto v = s.integerValue(m_key))
            return *v;
        return m_default;
    case QMetaType::Double:
        if (auto v = s.doubleValue(m_key))
            return *v;
        return m_default;
    case QMetaType::QString:
        if (auto v = s.stringValue(m_key))
            return *v;
        return m_default;
    default:
        return s.object(m_key);
    }
}

void StoredSetting::setValue(const QVariant &value)
{
    if (m_key.isEmpty())
        return;
    QVariant typed = value;
    const int defaultType = m_default.typeId();
    const bool integerSetting = defaultType == QMetaType::Int || defaultType == QMetaType::LongLong;
    if (integerSetting && (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)) {
        // Rounded as a conversion would, but a number the integer cannot hold (or not a
        // number at all) is not stored rather than wrapped.
        const double rounded = std::round(value.toDouble());
        const double lowest = defaultType == QMetaType::Int ? double(INT_MIN) : -0x1p63;
        const double end = defaultType == QMetaType::Int ? double(INT_MAX) + 1.0 : 0x1p63;
        if (!(rounded >= lowest && rounded < end))
            return;
        typed = defaultType == QMetaType::Int ? QVariant(int(rounded)) : QVariant(qint64(rounded));
    } else if (m_default.isValid() && value.typeId() != m_default.typeId() &&
               value.canConvert(m_default.metaType())) {
        typed.convert(m_default.metaType());
    }
    store().set(m_key, typed);
}

} // namespace qv
