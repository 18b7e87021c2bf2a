#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

namespace qv {

// One registry property value: absent, Boolean, number, string, data, array or dictionary.
class RegistryValue {
public:
    enum class Type { Absent, Bool, Number, String, Data, Array, Dictionary };

    RegistryValue() = default;
    static RegistryValue boolean(bool value);
    static RegistryValue number(double value);
    static RegistryValue string(const QString &value);
    static RegistryValue data(const QByteArray &value);
    static RegistryValue array(const QList<RegistryValue> &items);
    static RegistryValue dictionary(const QMap<QString, RegistryValue> &entries);

    Type type() const { return m_type; }
    bool isAbsent() const { return m_type == Type::Absent; }
    bool isBool() const { return m_type == Type::Bool; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }

    bool toBool() const { return m_bool; }
    double toNumber() const { return m_number; }
    QString toString() const { return m_string; }
    QByteArray toData() const { return m_data; }
    QList<RegistryValue> toArray() const { return m_array ? *m_array : QList<RegistryValue>(); }
    QMap<QString, RegistryValue> toDictionary() const { return m_dict ? *m_dict : QMap<QString, RegistryValue>(); }

    // Same type and same contents (Booleans never equal numbers).
    bool operator==(const RegistryValue &other) const;

    // Readable text of the value: "true"/"false", numbers, quoted strings, <hex data>, ...
    QString description() const;
    static QString typeName(Type type);

private:
    Type m_type = Type::Absent;
    bool m_bool = false;
    double m_number = 0;
    QString m_string;
    QByteArray m_data;
    std::shared_ptr<const QList<RegistryValue>> m_array;
    std::shared_ptr<const QMap<QString, RegistryValue>> m_dict;
};

} // namespace qv
