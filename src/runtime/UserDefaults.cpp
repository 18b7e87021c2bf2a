#include "runtime/UserDefaults.h"

#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Logging.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaType>
#include <QTimer>

#include <cmath>
#include <memory>

namespace qv {

namespace {
const Logger &logger()
{
    static Logger l("UserDefaults");
    return l;
}

UserDefaults *g_installed = nullptr;

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isInteger(const QVariant &v)
{
    return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

// The value when it is stored as the given type; nothing otherwise (no conversion).
template <typename T>
std::optional<T> valueOfType(const QVariant &v, QMetaType::Type type)
{
    if (v.typeId() != type)
        return std::nullopt;
    return v.value<T>();
}

// Normalises what callers pass to one of the stored types.
QVariant normalise(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QDateTime:
        return value;
    case QMetaType::Float:
        return double(value.toFloat());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &s : value.toStringList())
            list << s;
        return list;
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &v : value.toList())
            list << normalise(v);
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap in = value.toMap();
        for (auto it = in.begin(); it != in.end(); ++it)
            map.insert(it.key(), normalise(it.value()));
        return map;
    }
    default:
        return value.canConvert<QString>() ? QVariant(value.toString()) : QVariant();
    }
}

QJsonValue encodeValue(const QVariant &v)
{
    QJsonObject o;
    switch (v.typeId()) {
    case QMetaType::Bool:
        o["t"] = "bool";
        o["v"] = v.toBool();
        break;
    case QMetaType::LongLong:
        o["t"] = "int";
        o["v"] = QString::number(v.toLongLong()); // exact beyond 2^53
        break;
    case QMetaType::Double: {
        const double d = v.toDouble();
        o["t"] = "double";
        if (std::isfinite(d))
            o["v"] = d;
        else
            o["v"] = std::isnan(d) ? "nan" : (d > 0 ? "inf" : "-inf");
        break;
    }
    case QMetaType::QString:
        o["t"] = "string";
        o["v"] = v.toString();
        break;
    case QMetaType::QByteArray:
        o["t"] = "data";
        o["v"] = QString::fromLatin1(v.toByteArray().toBase64());
        break;
    case QMetaType::QDateTime:
        o["t"] = "date";
        o["v"] = json::secondsSinceReferenceDate(v.toDateTime());
        break;
    case QMetaType::QVariantList: {
        QJsonArray a;
        for (const QVariant &item : v.toList())
            a.append(encodeValue(item));
        o["t"] = "array";
        o["v"] = a;
        break;
    }
    case QMetaType::QVariantMap: {
        QJsonObject m;
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            m.insert(it.key(), encodeValue(it.value()));
        o["t"] = "dict";
        o["v"] = m;
        break;
    }
    default:
        return QJsonValue();
    }
    return o;
}

std::optional<QVariant> decodeValue(const QJsonValue &json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject o = json.toObject();
    const QString t = o.value("t").toString();
    const QJsonValue v = o.value("v");
    if (t == "bool" && v.isBool())
        return QVariant(v.toBool());
    if (t == "int" && v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().toLongLong(&ok);
        if (ok)
            return QVariant(n);
        return std::nullopt;
    }
    if (t == "double") {
        if (v.isDouble())
            return QVariant(v.toDouble());
        if (v.toString() == "nan")
            return QVariant(std::nan(""));
        if (v.toString() == "inf")
            return QVariant(HUGE_VAL);
        if (v.toString() == "-inf")
            return QVariant(-HUGE_VAL);
        return std::nullopt;
    }
    if (t == "string" && v.isString())
        return QVariant(v.toString());
    if (t == "data" && v.isString())
        return QVariant(QByteArray::fromBase64(v.toString().toLatin1()));
    if (t == "date") {
        if (const auto date = json::decodeDate(v))
            return QVariant(*date);
        return std::nullopt;
    }
    if (t == "array" && v.isArray()) {
        QVariantList list;
        for (const QJsonValue &item : v.toArray()) {
            auto decoded = decodeValue(item);
            if (!decoded)
                return std::nullopt;
            list << *decoded;
        }
        return QVariant(list);
    }
    if (t == "dict" && v.isObject()) {
        QVariantMap map;
        const QJsonObject m = v.toObject();
        for (auto it = m.begin(); it != m.end(); ++it) {
            auto decoded = decodeValue(it.value());
            if (!decoded)
                return std::nullopt;
            map.insert(it.key(), *decoded);
        }
        return QVariant(map);
    }
    return std::nullopt;
}
} // namespace

UserDefaults::UserDefaults(const QString &filePath, QObject *parent) : QObject(parent), m_path(filePath)
{
    load();
}

UserDefaults::~UserDefaults()
{
    sync();
    if (g_installed == this)
        g_installed = nullptr;
}

QString UserDefaults::defaultFilePath()
{
    return files::configDirectory() + QStringLiteral("/defaults.json");
}

UserDefaults &UserDefaults::standard()
{
    if (g_installed)
        return *g_installed;
    static std::unique_ptr<UserDefaults> fileStore;
    if (!fileStore)
        fileStore = std::make_unique<UserDefaults>(defaultFilePath());
    return *fileStore;
}

void UserDefaults::setStandard(UserDefaults *defaults)
{
    g_installed = defaults;
}

QByteArray UserDefaults::encode(const QVariantMap &values)
{
    QJsonObject entries;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QJsonValue v = encodeValue(it.value());
        if (!v.isNull())
            entries.insert(it.key(), v);
    }
    QJsonObject root;
    root["format"] = "quellvista-defaults";
    root["version"] = 1;
    root["values"] = entries;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<QVariantMap> UserDefaults::decode(const QByteArray &bytes, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = parseError.errorString();
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value("format").toString() != "quellvista-defaults" ||
        !root.value("values").isObject()) {
        if (error)
            *error = QStringLiteral("not a defaults file");
        return std::nullopt;
    }
    QVariantMap values;
    const QJsonObject entries = root.value("values").toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        auto decoded = decodeValue(it.value());
        if (!decoded) {
            if (error)
                *error = QStringLiteral("unreadable value for key \"%1\"").arg(it.key());
            return std::nullopt;
        }
        values.insert(it.key(), *decoded);
    }
    return values;
}

void UserDefaults::load()
{
    if (m_path.isEmpty())
        return;
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        logger().error("Could not open defaults file %s: %s", qUtf8Printable(m_path), qUtf8Printable(file.errorString()));
        // Keep the file as it is; saving into a store we could not read would lose it.
        const QString aside = files::moveAside(m_path);
        logger().error("Defaults file moved aside to %s", qUtf8Printable(aside));
        return;
    }
    QString error;
    auto values = decode(file.readAll(), &error);
    file.close();
    if (!values) {
        const QString aside = files::moveAside(m_path);
        logger().error("Defaults file %s is unreadable (%s); moved aside to %s, registered defaults apply",
                       qUtf8Printable(m_path), qUtf8Printable(error), qUtf8Printable(aside));
        return;
    }
    m_values = *values;
}

QVariant UserDefaults::object(const QString &key) const
{
    auto it = m_values.constFind(key);
    if (it != m_values.constEnd())
        return it.value();
    return m_defaults.value(key);
}

void UserDefaults::set(const QString &key, const QVariant &value)
{
    const QVariant normalised = normalise(value);
    if (!normalised.isValid()) {
        remove(key);
        return;
    }
    auto it = m_values.find(key);
    if (it != m_values.end() && it.value().typeId() == normalised.typeId() && it.value() == normalised)
        return;
    m_values.insert(key, normalised);
    markDirty();
    emit valueChanged(key);
}

void UserDefaults::remove(const QString &key)
{
    if (m_values.remove(key) == 0)
        return;
    markDirty();
    emit valueChanged(key);
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_defaults.insert(it.key(), normalise(it.value()));
}

std::optional<bool> UserDefaults::boolValue(const QString &key) const
{
    return valueOfType<bool>(object(key), QMetaType::Bool);
}

std::optional<double> UserDefaults::doubleValue(const QString &key) const
{
    const QVariant v = object(key);
    if (!isNumber(v))
        return std::nullopt;
    return v.toDouble();
}

std::optional<qint64> UserDefaults::integerValue(const QString &key) const
{
    const QVariant v = object(key);
    if (isInteger(v))
        return v.toLongLong();
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18)
            return qint64(d);
    }
    return std::nullopt;
}

std::optional<QString> UserDefaults::stringValue(const QString &key) const
{
    return valueOfType<QString>(object(key), QMetaType::QString);
}

std::optional<QByteArray> UserDefaults::dataValue(const QString &key) const
{
    return valueOfType<QByteArray>(object(key), QMetaType::QByteArray);
}

std::optional<QDateTime> UserDefaults::dateValue(const QString &key) const
{
    return valueOfType<QDateTime>(object(key), QMetaType::QDateTime);
}

std::optional<QVariantList> UserDefaults::arrayValue(const QString &key) const
{
    return valueOfType<QVariantList>(object(key), QMetaType::QVariantList);
}

std::optional<QVariantMap> UserDefaults::dictionaryValue(const QString &key) const
{
    return valueOfType<QVariantMap>(object(key), QMetaType::QVariantMap);
}

bool UserDefaults::boolForKey(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == "yes" || s == "true")
            return true;
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        return ok && n != 0;
    }
    return false;
}

double UserDefaults::doubleForKey(const QString &key) const
{
    const QVariant v = object(key);
    if (isNumber(v))
        return v.toDouble();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return 0.0;
}

qint64 UserDefaults::integerForKey(const QString &key) const
{
    const QVariant v = object(key);
    if (isInteger(v))
        return v.toLongLong();
    const double d = doubleForKey(key);
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
        return 0;
    return qint64(d);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isInteger(v))
        return QString::number(v.toLongLong());
    if (isNumber(v))
        return QString::number(v.toDouble());
    return QString();
}

void UserDefaults::markDirty()
{
    m_dirty = true;
    if (m_path.isEmpty() || m_flushQueued)
        return;
    m_flushQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_flushQueued = false;
        sync();
    });
}

bool UserDefaults::sync()
{
    if (!m_dirty || m_path.isEmpty())
        return true;
    QString error;
    if (!files::writeAtomically(m_path, encode(m_values), &error)) {
        logger().error("Could not write defaults file %s: %s", qUtf8Printable(m_path), qUtf8Printable(error));
        return false;
    }
    m_dirty = false;
    return true;
}

QMetaObject::Connection UserDefaults::observe(const QString &key, QObject *receiver, std::function<void()> fn)
{
    return connect(this, &UserDefaults::valueChanged, receiver, [key, fn = std::move(fn)](const QString &changed) {
        if (changed == key)
            fn();
    });
}

} // namespace qv
