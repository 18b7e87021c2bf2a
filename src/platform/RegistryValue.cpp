#include "platform/RegistryValue.h"

#include <QStringList>

namespace qv {

RegistryValue RegistryValue::boolean(bool value)
{
    RegistryValue v;
    v.m_type = Type::Bool;
    v.m_bool = value;
    return v;
}

RegistryValue RegistryValue::number(double value)
{
    RegistryValue v;
    v.m_type = Type::Number;
    v.m_number = value;
    return v;
}

RegistryValue RegistryValue::string(const QString &value)
{
    RegistryValue v;
    v.m_type = Type::String;
    v.m_string = value;
    return v;
}

RegistryValue RegistryValue::data(const QByteArray &value)
{
    RegistryValue v;
    v.m_type = Type::Data;
    v.m_data = value;
    return v;
}

RegistryValue RegistryValue::array(const QList<RegistryValue> &items)
{
    RegistryValue v;
    v.m_type = Type::Array;
    v.m_array = std::make_shared<const QList<RegistryValue>>(items);
    return v;
}

RegistryValue RegistryValue::dictionary(const QMap<QString, RegistryValue> &entries)
{
    RegistryValue v;
    v.m_type = Type::Dictionary;
    v.m_dict = std::make_shared<const QMap<QString, RegistryValue>>(entries);
    return v;
}

bool RegistryValue::operator==(const RegistryValue &other) const
{
    if (m_type != other.m_type)
        return false;
    switch (m_type) {
    case Type::Absent:
        return true;
    case Type::Bool:
        return m_bool == other.m_bool;
    case Type::Number:
        return m_number == other.m_number;
    case Type::String:
        return m_string == other.m_string;
    case Type::Data:
        return m_data == other.m_data;
    case Type::Array:
        return toArray() == other.toArray();
    case Type::Dictionary:
        return toDictionary() == other.toDictionary();
    }
    return false;
}

QString RegistryValue::description() const
{
    switch (m_type) {
    case Type::Absent:
        return QStringLiteral("(absent)");
    case Type::Bool:
        return m_bool ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Number:
        return QString::number(m_number, 'g', 12);
    case Type::String:
        return QStringLiteral("\"%1\"").arg(m_string);
    case Type::Data:
        return QStringLiteral("<%1>").arg(QString::fromLatin1(m_data.toHex()));
    case Type::Array: {
        QStringList parts;
        for (const RegistryValue &item : toArray())
            parts << item.description();
        return QStringLiteral("(%1)").arg(parts.join(QStringLiteral(", ")));
    }
    case Type::Dictionary: {
        QStringList parts;
        const auto dict = toDictionary();
        for (auto it = dict.begin(); it != dict.end(); ++it)
            parts << QStringLiteral("%1 = %2").arg(it.key(), it.value().description());
        return QStringLiteral("{%1}").arg(parts.join(QStringLiteral("; ")));
    }
    }
    return QString();
}

QString RegistryValue::typeName(Type type)
{
    switch (type) {
    case Type::Absent:
        return QStringLiteral("absent");
    case Type::Bool:
        return QStringLiteral("bool");
    case Type::Number:
        return QStringLiteral("number");
    case Type::String:
        return QStringLiteral("string");
    case Type::Data:
        return QStringLiteral("data");
    case Type::Array:
        return QStringLiteral("array");
    case Type::Dictionary:
        return QStringLiteral("dictionary");
    }
    return QString();
}

} // namespace qv
