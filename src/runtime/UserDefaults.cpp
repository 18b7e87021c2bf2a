#include "runtime/UserDefaults.h"

#include "runtime/Files.h"
#include "runtime/Json.h"
#include "runtime/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaType>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace qv {

namespace {
const Logger &userDefaultsLog()
{
    static Logger l("UserDefaults");
    return l;
}

UserDefaults *g_installedDefaults = nullptr;

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

// One stored value; nothing (and why in `why`) when it cannot be read.
std::optional<QVariant> decodeValue(const QJsonValue &json, QString &why)
{
    auto fail = [&why](const QString &reason) -> std::optional<QVariant> {
        why = reason;
        return std::nullopt;
    };
    if (!json.isObject())
        return fail(QStringLiteral("not a typed value"));
    const QJsonObject o = json.toObject();
    const QString t = o.value("t").toString();
    const QJsonValue v = o.value("v");
    const auto mistyped = [&] { return fail(QStringLiteral("not a valid \"%1\" value").arg(t)); };
    if (t == "bool")
        return v.isBool() ? std::optional<QVariant>(v.toBool()) : mistyped();
    if (t == "int") {
        bool ok = false;
        const qint64 n = v.toString().toLongLong(&ok);
        return v.isString() && ok ? std::optional<QVariant>(n) : mistyped();
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
        return mistyped();
    }
    if (t == "string")
        return v.isString() ? std::optional<QVariant>(v.toString()) : mistyped();
    if (t == "data") {
        const auto decoded =
            QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        return v.isString() && decoded ? std::optional<QVariant>(*decoded) : mistyped();
    }
    if (t == "date") {
        if (const auto date = json::decodeDate(v))
            return QVariant(*date);
        return v.isDouble() ? fail(QStringLiteral("a date outside the years 0 to 9999")) : mistyped();
    }
    if (t == "array") {
        if (!v.isArray())
            return mistyped();
        QVariantList list;
        const QJsonArray items = v.toArray();
        for (qsizetype i = 0; i < items.size(); ++i) {
            auto decoded = decodeValue(items.at(i), why);
            if (!decoded)
                return fail(QStringLiteral("item %1: %2").arg(i).arg(why));
            list << *decoded;
        }
        return QVariant(list);
    }
    if (t == "dict") {
        if (!v.isObject())
            return mistyped();
        QVariantMap map;
        const QJsonObject m = v.toObject();
        for (auto it = m.begin(); it != m.end(); ++it) {
            auto decoded = decodeValue(it.value(), why);
            if (!decoded)
                return fail(QStringLiteral("key \"%1\": %2").arg(it.key(), why));
            map.insert(it.key(), *decoded);
        }
        return QVariant(map);
    }
    return fail(QStringLiteral("unknown type \"%1\"").arg(t));
}

// False for a date that no file can hold, also inside an array or a dictionary.
bool holdsOnlyStorableDates(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime date = v.toDateTime();
        return date.isValid() && json::isStorableReferenceSeconds(json::secondsSinceReferenceDate(date));
    }
    case QMetaType::QVariantList: {
        const QVariantList list = v.toList();
        return std::all_of(list.begin(), list.end(), holdsOnlyStorableDates);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = v.toMap();
        return std::all_of(map.begin(), map.end(), holdsOnlyStorableDates);
    }
    default:
        return true;
    }
}
} // namespace

UserDefaults::UserDefaults(const QString &filePath, QObject *parent) : QObject(parent), m_path(filePath)
{
    load();
}

UserDefaults::~UserDefaults()
{
    sync();
    if (g_installedDefaults == this)
        g_installedDefaults = nullptr;
}

QString UserDefaults::defaultFilePath()
{
    return files::configDirectory() + QStringLiteral("/defaults.json");
}

UserDefaults &UserDefaults::standard()
{
    if (g_installedDefaults)
        return *g_installedDefaults;
    // Made once and never destroyed: its last save runs while the application object goes
    // (and again on quit), never among the static destructors at exit, when the clock and
    // the log it may need are gone.
    static UserDefaults *fileStore = nullptr;
    if (!fileStore) {
        fileStore = new UserDefaults(defaultFilePath());
        if (QCoreApplication::instance())
            qAddPostRoutine([] { fileStore->sync(); });
    }
    return *fileStore;
}

void UserDefaults::setStandard(UserDefaults *defaults)
{
    g_installedDefaults = defaults;
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

std::optional<UserDefaults::Decoded> UserDefaults::decode(const QByteArray &bytes, QString *error)
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
    // Value by value: one that cannot be read costs only its own key.
    Decoded decoded;
    const QJsonObject entries = root.value("values").toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        QString why;
        if (auto value = decodeValue(it.value(), why))
            decoded.values.insert(it.key(), *value);
        else
            decoded.unreadable.append({it.key(), why});
    }
    return decoded;
}

void UserDefaults::load()
{
    if (m_path.isEmpty())
        return;
    const files::StoredFile file = files::readStoredFile(m_path);
    if (file.state == files::StoredFile::State::absent)
        return;
    QString error = file.error;
    const auto decoded = file.state == files::StoredFile::State::read ? decode(file.bytes, &error) : std::nullopt;
    if (!decoded) {
        m_unreadFile.mark();
        userDefaultsLog().error("Defaults file %s is unreadable (%s); registered defaults apply, and the file is kept "
                       "aside before anything is saved in its place",
                       qUtf8Printable(m_path), qUtf8Printable(error));
        return;
    }
    m_values = decoded->values;
    if (decoded->unreadable.isEmpty())
        return;
    m_unreadFile.mark();
    // The first few keys by name; a hostile file of thousands does not flood the log.
    constexpr qsizetype kNamedKeys = 10;
    for (qsizetype i = 0; i < std::min(kNamedKeys, decoded->unreadable.size()); ++i) {
        const auto &[key, why] = decoded->unreadable.at(i);
        userDefaultsLog().error("Defaults file %s: dropped the unreadable value of \"%s\" (%s)", qUtf8Printable(m_path),
                       qUtf8Printable(key), qUtf8Printable(why));
    }
    userDefaultsLog().error("Defaults file %s: %ld unreadable values dropped, %ld values kept; the file is kept aside "
                   "before anything is saved in its place",
                   qUtf8Printable(m_path), long(decoded->unreadable.size()), long(m_values.size()));
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
    if (!holdsOnlyStorableDates(normalised)) {
        userDefaultsLog().error("Did not store \"%s\": it holds a date outside the years 0 to 9999", qUtf8Printable(key));
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
    // Never written over: the changes stay in memory, and the next sync tries again.
    const bool clear = m_unreadFile.clearForSave(
        m_path,
        [](const QString &kept) { userDefaultsLog().info("Kept the unreadable defaults file as %s", qUtf8Printable(kept)); },
        [this](const QString &why) {
            userDefaultsLog().error("Defaults file %s could not be read and can be neither kept aside nor replaced "
                           "(%s); changes stay in memory and are not saved over it",
                           qUtf8Printable(m_path), qUtf8Printable(why));
        });
    if (!clear)
        return false;
    QString error;
    if (!files::writeAtomically(m_path, encode(m_values), &error)) {
        userDefaultsLog().error("Could not write defaults file %s: %s", qUtf8Printable(m_path), qUtf8Printable(error));
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
