#include "platform/sim/MachineDescription.h"

#include "platform/Power.h"
#include "platform/sim/SimPower.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace qv {

namespace {
bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool readUInt(const QJsonObject &o, const QString &key, quint32 &out, QString *error, const QString &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return true;
    if (v.isDouble() && v.toDouble() >= 0 && v.toDouble() <= 4294967295.0 && v.toDouble() == double(qint64(v.toDouble()))) {
        out = quint32(v.toDouble());
        return true;
    }
    if (v.isString()) {
        bool ok = false;
        const uint n = v.toString().toUInt(&ok, 0);
        if (ok) {
            out = n;
            return true;
        }
    }
    return fail(error, QStringLiteral("%1: \"%2\" must be a whole number from 0 to 4294967295").arg(where, key));
}

// A key the description does not know is a fault (a misspelt key would otherwise leave the
// machine as it was, with nothing said).
bool onlyKnownKeys(const QJsonObject &o, std::initializer_list<const char *> known, const QString &where,
                   QString *error)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool found = false;
        for (const char *key : known)
            found = found || it.key() == QLatin1String(key);
        if (!found)
            return fail(error, QStringLiteral("%1: unknown key \"%2\"").arg(where, it.key()));
    }
    return true;
}

// Limits of a described display: sizes in pixels and points, and where a screen may lie.
constexpr int kMaxSize = 32767;
constexpr double kMaxCoordinate = 1'000'000;
constexpr double kMinScale = 1;
constexpr double kMaxScale = 4;

// A whole JSON number within [low, high].
bool isWholeIn(const QJsonValue &v, double low, double high)
{
    return v.isDouble() && v.toDouble() >= low && v.toDouble() <= high && v.toDouble() == std::trunc(v.toDouble());
}

// A JSON number within [low, high] (never infinite nor NaN).
bool isNumberIn(const QJsonValue &v, double low, double high)
{
    return v.isDouble() && v.toDouble() >= low && v.toDouble() <= high;
}

bool readMode(const QJsonValue &value, const QString &where, DisplayMode &mode, QString *error)
{
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 must be an object").arg(where));
    const QJsonObject mo = value.toObject();
    if (!onlyKnownKeys(mo, {"width", "height", "pixelWidth", "pixelHeight", "refreshRate", "ioFlags"}, where, error))
        return false;
    if (!isWholeIn(mo.value("width"), 1, kMaxSize) || !isWholeIn(mo.value("height"), 1, kMaxSize))
        return fail(error, QStringLiteral("%1: width and height must be whole numbers from 1 to %2").arg(where).arg(kMaxSize));
    mode.width = mo.value("width").toInt();
    mode.height = mo.value("height").toInt();
    for (const char *key : {"pixelWidth", "pixelHeight"})
        if (mo.contains(key) && !isWholeIn(mo.value(key), 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"%2\" must be a whole number from 1 to %3").arg(where, key).arg(kMaxSize));
    mode.pixelWidth = mo.value("pixelWidth").toInt(mode.width);
    mode.pixelHeight = mo.value("pixelHeight").toInt(mode.height);
    if (mo.contains("refreshRate") && !isNumberIn(mo.value("refreshRate"), 0, kMaxRefreshRate))
        return fail(error, QStringLiteral("%1: \"refreshRate\" must be a number from 0 to %2").arg(where).arg(kMaxRefreshRate));
    mode.refreshRate = mo.value("refreshRate").toDouble(60);
    return readUInt(mo, "ioFlags", mode.ioFlags, error, where);
}

// A registry value from JSON: true/false, numbers, text, lists and objects as themselves;
// {"$data": "<base64>"} for data. Null has no registry type.
bool readRegistryValue(const QJsonValue &value, const QString &where, RegistryValue &out, QString *error)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        out = RegistryValue::boolean(value.toBool());
        return true;
    case QJsonValue::Double:
        out = RegistryValue::number(value.toDouble());
        return true;
    case QJsonValue::String:
        out = RegistryValue::string(value.toString());
        return true;
    case QJsonValue::Array: {
        QList<RegistryValue> items;
        int i = 0;
        for (const QJsonValue &item : value.toArray()) {
            RegistryValue v;
            if (!readRegistryValue(item, QStringLiteral("%1[%2]").arg(where).arg(i++), v, error))
                return false;
            items << v;
        }
        out = RegistryValue::array(items);
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject o = value.toObject();
        if (o.size() == 1 && o.contains("$data")) {
            const auto decoded = QByteArray::fromBase64Encoding(o.value("$data").toString().toLatin1(),
                                                                QByteArray::AbortOnBase64DecodingErrors);
            if (!o.value("$data").isString() || !decoded)
                return fail(error, QStringLiteral("%1: \"$data\" must be base64 text").arg(where));
            out = RegistryValue::data(*decoded);
            return true;
        }
        QMap<QString, RegistryValue> entries;
        for (auto it = o.begin(); it != o.end(); ++it) {
            RegistryValue v;
            if (!readRegistryValue(it.value(), QStringLiteral("%1.%2").arg(where, it.key()), v, error))
                return false;
            entries.insert(it.key(), v);
        }
        out = RegistryValue::dictionary(entries);
        return true;
    }
    default:
        return fail(error, QStringLiteral("%1: null and missing values have no registry type").arg(where));
    }
}

bool readDisplay(const QJsonValue &value, int index, SimDisplay &d, QString *error)
{
    const QString where = QStringLiteral("displays[%1]").arg(index);
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 must be an object").arg(where));
    const QJsonObject o = value.toObject();
    if (!onlyKnownKeys(o,
                       {"id", "name", "builtIn", "mirrored", "virtual", "vendor", "model", "serial", "pixels", "scale",
                        "modes", "currentMode", "frame", "screen", "inProfiler", "profilerName", "connection",
                        "displayType", "framebuffer", "miniLED", "framebufferProperties"},
                       where, error))
        return false;
    quint32 id = 0;
    if (!readUInt(o, "id", id, error, where))
        return false;
    if (id == 0)
        return fail(error, QStringLiteral("%1: \"id\" is required and must not be 0").arg(where));
    d.id = id;
    if (!o.value("name").isString())
        return fail(error, QStringLiteral("%1: \"name\" is required and must be text").arg(where));
    d.name = o.value("name").toString();
    d.builtIn = o.value("builtIn").toBool(false);
    d.mirrored = o.value("mirrored").toBool(false);
    d.isVirtual = o.value("virtual").toBool(false);
    if (!readUInt(o, "vendor", d.vendor, error, where) || !readUInt(o, "model", d.model, error, where) ||
        !readUInt(o, "serial", d.serial, error, where))
        return false;
    if (o.contains("pixels")) {
        const QJsonArray pixels = o.value("pixels").toArray();
        if (pixels.size() != 2 || !isWholeIn(pixels[0], 1, kMaxSize) || !isWholeIn(pixels[1], 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"pixels\" must be [width, height], whole numbers from 1 to %2")
                                   .arg(where).arg(kMaxSize));
        d.pixelsWide = pixels[0].toInt();
        d.pixelsHigh = pixels[1].toInt();
    }
    if (o.contains("scale") && !isNumberIn(o.value("scale"), kMinScale, kMaxScale))
        return fail(error, QStringLiteral("%1: \"scale\" must be a number from %2 to %3").arg(where).arg(kMinScale).arg(kMaxScale));
    d.backingScale = o.value("scale").toDouble(2.0);
    const QJsonValue modes = o.value("modes");
    if (!modes.isUndefined() && !modes.isArray())
        return fail(error, QStringLiteral("%1: \"modes\" must be a list").arg(where));
    int m = 0;
    for (const QJsonValue &mv : modes.toArray()) {
        DisplayMode mode;
        if (!readMode(mv, QStringLiteral("%1.modes[%2]").arg(where).arg(m), mode, error))
            return false;
        d.modes << mode;
        ++m;
    }
    const QJsonValue currentMode = o.value("currentMode");
    if (!currentMode.isUndefined() && !isWholeIn(currentMode, -1, double(d.modes.size()) - 1))
        return fail(error, QStringLiteral("%1: \"currentMode\" is not one of its modes (nor -1 for none)").arg(where));
    d.currentMode = currentMode.toInt(d.modes.isEmpty() ? -1 : 0);
    // "pixels" is the panel's resolution; the system gives a display's size as its current
    // mode's size in points.
    if (d.currentMode >= 0) {
        const DisplayMode &current = d.modes[d.currentMode];
        d.panelPixels = o.contains("pixels") ? QSize(d.pixelsWide, d.pixelsHigh)
                                             : QSize(current.pixelWidth, current.pixelHeight);
        d.pixelsWide = d.modes[d.currentMode].width;
        d.pixelsHigh = d.modes[d.currentMode].height;
    }
    if (o.contains("frame")) {
        const QJsonArray f = o.value("frame").toArray();
        if (f.size() != 4 || !isNumberIn(f[0], -kMaxCoordinate, kMaxCoordinate) ||
            !isNumberIn(f[1], -kMaxCoordinate, kMaxCoordinate) || !isNumberIn(f[2], 1, kMaxSize) ||
            !isNumberIn(f[3], 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"frame\" must be [x, y, width, height], x and y from %2 to %3, "
                                              "width and height from 1 to %4")
                                   .arg(where).arg(-kMaxCoordinate, 0, 'f', 0).arg(kMaxCoordinate, 0, 'f', 0).arg(kMaxSize));
        d.frame = QRectF(f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble());
    } else if (d.currentMode >= 0) {
        d.frame = QRectF(0, 0, d.modes[d.currentMode].width, d.modes[d.currentMode].height);
    }
    d.hasScreen = o.value("screen").toBool(true);
    d.inProfiler = o.value("inProfiler").toBool(true);
    d.profilerName = o.value("profilerName").toString();
    d.connectionType = o.value("connection").toString(d.builtIn ? "spdisplays_internal" : "");
    d.displayType = o.value("displayType").toString();
    d.hasFramebuffer = o.value("framebuffer").toBool(!d.isVirtual);
    if (d.builtIn && o.value("miniLED").toBool(false))
        d.framebufferProperties.insert("uniformity2D", RegistryValue::boolean(true));
    // Properties of the framebuffer beyond (or in place of) the ones every framebuffer gets.
    const QJsonValue properties = o.value("framebufferProperties");
    if (!properties.isUndefined() && !properties.isObject())
        return fail(error, QStringLiteral("%1: \"framebufferProperties\" must be an object").arg(where));
    const QJsonObject props = properties.toObject();
    for (auto it = props.begin(); it != props.end(); ++it) {
        RegistryValue v;
        if (!readRegistryValue(it.value(), QStringLiteral("%1.framebufferProperties.%2").arg(where, it.key()), v, error))
            return false;
        d.framebufferProperties.insert(it.key(), v);
    }
    return true;
}
constexpr const char *kConditionKeys[] = {"battery", "thermalState", "ambientLight", "frontApplication", "idleSeconds"};
constexpr double kMaxLux = 1'000'000;
constexpr double kMaxIdleSeconds = 1e9;

bool readConditions(const QJsonObject &root, MachineConditions &c, QString *error)
{
    if (root.contains("battery")) {
        const QJsonValue v = root.value("battery");
        if (v.isNull()) {
            c.powerSources = std::optional<RegistryValue>(RegistryValue::array({}));
        } else {
            const QJsonObject b = v.toObject();
            if (!v.isObject() || !onlyKnownKeys(b, {"onBattery", "current", "max"}, QStringLiteral("battery"), error))
                return v.isObject() ? false
                                    : fail(error, QStringLiteral("\"battery\" must be an object (or null for none)"));
            if (!b.value("onBattery").isBool())
                return fail(error, QStringLiteral("battery: \"onBattery\" is required and must be true or false"));
            if (!isWholeIn(b.value("current"), 0, 1e9) || !isWholeIn(b.value("max"), 1, 1e9))
                return fail(error, QStringLiteral("battery: \"current\" and \"max\" must be whole numbers from 0 and "
                                                  "from 1 to 1000000000"));
            const QString state = QString::fromLatin1(b.value("onBattery").toBool() ? SimPower::batteryPowerValue
                                                                                    : SimPower::acPowerValue);
            c.powerSources = std::optional<RegistryValue>(RegistryValue::array({SimPower::batteryDescription(
                state, b.value("current").toDouble(), b.value("max").toDouble())}));
        }
    }
    if (root.contains("thermalState")) {
        static const std::pair<const char *, ThermalState> names[] = {{"nominal", ThermalState::Nominal},
                                                                      {"fair", ThermalState::Fair},
                                                                      {"serious", ThermalState::Serious},
                                                                      {"critical", ThermalState::Critical}};
        const QString name = root.value("thermalState").toString();
        for (const auto &[text, state] : names)
            if (name == QLatin1String(text))
                c.thermalState = state;
        if (!c.thermalState)
            return fail(error, QStringLiteral("\"thermalState\" must be \"nominal\", \"fair\", \"serious\" or \"critical\""));
    }
    if (root.contains("ambientLight")) {
        if (!isNumberIn(root.value("ambientLight"), 0, kMaxLux))
            return fail(error, QStringLiteral("\"ambientLight\" must be a number of lux from 0 to %1").arg(kMaxLux, 0, 'f', 0));
        c.ambientLux = root.value("ambientLight").toDouble();
    }
    if (root.contains("frontApplication")) {
        const QJsonValue v = root.value("frontApplication");
        if (v.isNull()) {
            c.frontApplication.emplace(std::nullopt);
        } else {
            const QJsonObject a = v.toObject();
            if (!v.isObject())
                return fail(error, QStringLiteral("\"frontApplication\" must be an object (or null for none)"));
            if (!onlyKnownKeys(a, {"bundleIdentifier", "name"}, QStringLiteral("frontApplication"), error))
                return false;
            std::optional<QString> bundle, name;
            for (const auto &[key, out] : {std::pair{"bundleIdentifier", &bundle}, std::pair{"name", &name}}) {
                const QJsonValue text = a.value(QLatin1String(key));
                if (text.isUndefined())
                    continue;
                if (!text.isString())
                    return fail(error, QStringLiteral("frontApplication: \"%1\" must be text").arg(QLatin1String(key)));
                *out = text.toString();
            }
            if (!bundle && !name)
                return fail(error, QStringLiteral("frontApplication: give \"bundleIdentifier\", \"name\" or both"));
            c.frontApplication.emplace(std::pair{bundle, name});
        }
    }
    if (root.contains("idleSeconds")) {
        if (!isNumberIn(root.value("idleSeconds"), 0, kMaxIdleSeconds))
            return fail(error, QStringLiteral("\"idleSeconds\" must be a number from 0 to %1").arg(kMaxIdleSeconds, 0, 'f', 0));
        c.idleSeconds = root.value("idleSeconds").toDouble();
    }
    return true;
}

bool readRootKeys(const QJsonObject &root, QString *error)
{
    for (auto it = root.begin(); it != root.end(); ++it) {
        bool found = false;
        for (const char *key : {"host", "mainDisplay", "displays", "camera"})
            found = found || it.key() == QLatin1String(key);
        for (const char *key : kConditionKeys)
            found = found || it.key() == QLatin1String(key);
        if (!found)
            return fail(error, QStringLiteral("unknown key \"%1\"").arg(it.key()));
    }
    if (root.contains("host") && !root.value("host").isObject())
        return fail(error, QStringLiteral("\"host\" must be an object"));
    if (root.contains("camera") && !root.value("camera").isObject())
        return fail(error, QStringLiteral("\"camera\" must be an object"));
    return onlyKnownKeys(root.value("host").toObject(), {"processorBrand", "name"}, QStringLiteral("host"), error) &&
           onlyKnownKeys(root.value("camera").toObject(), {"script"}, QStringLiteral("camera"), error);
}

std::optional<QJsonObject> parseRoot(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, QStringLiteral("not valid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString()));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        fail(error, QStringLiteral("the description must be a JSON object"));
        return std::nullopt;
    }
    if (!readRootKeys(doc.object(), error))
        return std::nullopt;
    return doc.object();
}
} // namespace

std::optional<MachineDescription> readMachineDescription(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> parsed = parseRoot(json, error);
    if (!parsed)
        return std::nullopt;
    const QJsonObject root = *parsed;
    MachineDescription machine;
    if (!readConditions(root, machine.conditions, error))
        return std::nullopt;
    const QJsonObject host = root.value("host").toObject();
    if (host.contains("processorBrand"))
        machine.processorBrand = host.value("processorBrand").isString()
                                     ? std::optional(host.value("processorBrand").toString())
                                     : std::nullopt;
    if (host.contains("name"))
        machine.hostName = host.value("name").isString() ? std::optional(host.value("name").toString()) : std::nullopt;
    const QJsonValue displays = root.value("displays");
    if (!displays.isArray()) {
        fail(error, QStringLiteral("\"displays\" must be a list"));
        return std::nullopt;
    }
    const auto described = [&machine](DisplayId id) {
        return std::any_of(machine.displays.cbegin(), machine.displays.cend(),
                           [id](const SimDisplay &d) { return d.id == id; });
    };
    int index = 0;
    for (const QJsonValue &v : displays.toArray()) {
        SimDisplay d;
        if (!readDisplay(v, index, d, error))
            return std::nullopt;
        if (described(d.id)) {
            fail(error, QStringLiteral("displays[%1]: display id %2 is listed twice").arg(index).arg(d.id));
            return std::nullopt;
        }
        machine.displays << d;
        ++index;
    }
    quint32 main = machine.displays.isEmpty() ? 0 : machine.displays.first().id;
    if (!readUInt(root, "mainDisplay", main, error, QStringLiteral("machine")))
        return std::nullopt;
    if (main != 0 && !described(main)) {
        fail(error, QStringLiteral("\"mainDisplay\" %1 is not one of the displays").arg(main));
        return std::nullopt;
    }
    machine.mainDisplay = main;
    machine.blinkingCamera = root.value("camera").toObject().value("script").toString() == QLatin1String("blinking");
    return machine;
}

std::optional<MachineConditions> readMachineConditions(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> root = parseRoot(json, error);
    MachineConditions conditions;
    if (!root || !readConditions(*root, conditions, error))
        return std::nullopt;
    return conditions;
}

} // namespace qv
