#include "display/PipelineSnapshot.h"

#include "runtime/Json.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qv {

namespace {
// Reads every named key of one type or gives up on the first that is missing or mistyped.
class StrictReader {
public:
    explicit StrictReader(const QJsonObject &object) : m_object(object) {}

    QString text(const char *key)
    {
        const auto value = json::stringField(m_object, QLatin1String(key));
        m_ok = m_ok && value.has_value();
        return value.value_or(QString());
    }
    bool flag(const char *key)
    {
        const auto value = json::boolField(m_object, QLatin1String(key));
        m_ok = m_ok && value.has_value();
        return value.value_or(false);
    }
    // A number within [low, high]; one outside is as unreadable as a missing one.
    double number(const char *key, double low, double high)
    {
        const auto value = json::numberField(m_object, QLatin1String(key));
        m_ok = m_ok && value.has_value() && *value >= low && *value <= high;
        return value.value_or(0);
    }
    QDateTime date(const char *key)
    {
        const auto value = json::decodeDate(m_object.value(QLatin1String(key)));
        m_ok = m_ok && value.has_value();
        return value.value_or(QDateTime());
    }
    QJsonArray array(const char *key)
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        m_ok = m_ok && value.isArray();
        return value.toArray();
    }
    void fail() { m_ok = false; }
    bool ok() const { return m_ok; }

private:
    const QJsonObject &m_object;
    bool m_ok = true;
};

using OrderedFields = QList<std::pair<QString, QJsonValue>>;

// A compact JSON value; a QJsonObject would sort its keys.
QByteArray compactValue(const QJsonValue &value)
{
    const QByteArray wrapped = json::encodeCompact(QJsonArray{value}); // "[value]"
    return wrapped.mid(1, wrapped.size() - 2);
}

// A compact JSON object with its keys in the order given.
QByteArray orderedObject(const OrderedFields &fields)
{
    QByteArray out("{");
    for (const auto &[key, value] : fields) {
        if (out.size() > 1)
            out += ',';
        out += compactValue(key) + ':' + compactValue(value);
    }
    return out + '}';
}

OrderedFields displayFields(const PipelineDisplaySnapshot &display)
{
    return {
        {QStringLiteral("id"), display.id},
        {QStringLiteral("name"), display.name},
        {QStringLiteral("role"), display.role},
        {QStringLiteral("connection"), display.connection},
        {QStringLiteral("resolution"), display.resolution},
        {QStringLiteral("ditheringEnabled"), display.ditheringEnabled},
        {QStringLiteral("uniformityEnabled"), display.uniformityEnabled},
    };
}

// Every field but the displays, in field order; the displays go after the third.
OrderedFields snapshotFields(const PipelineSnapshot &s)
{
    return {
        {QStringLiteral("capturedAt"), json::encodeDate(s.capturedAt)},
        {QStringLiteral("macName"), s.macName},
        {QStringLiteral("chipFamily"), s.chipFamily},
        {QStringLiteral("pwmAvoidanceEnabled"), s.pwmAvoidanceEnabled},
        {QStringLiteral("pwmThresholdPercent"), s.pwmThresholdPercent},
        {QStringLiteral("tuningEnabled"), s.tuningEnabled},
        {QStringLiteral("brightness"), s.brightness},
        {QStringLiteral("warmth"), s.warmth},
        {QStringLiteral("contrastReduction"), s.contrastReduction},
        {QStringLiteral("softWhite"), s.softWhite},
        {QStringLiteral("highlightCompression"), s.highlightCompression},
        {QStringLiteral("redModeEnabled"), s.redModeEnabled},
        {QStringLiteral("redModeIntensity"), s.redModeIntensity},
        {QStringLiteral("fontSmoothingDisabled"), s.fontSmoothingDisabled},
    };
}

QJsonObject toObject(const OrderedFields &fields)
{
    QJsonObject object;
    for (const auto &[key, value] : fields)
        object.insert(key, value);
    return object;
}
} // namespace

QJsonObject PipelineDisplaySnapshot::toJson() const
{
    return toObject(displayFields(*this));
}

std::optional<PipelineDisplaySnapshot> PipelineDisplaySnapshot::fromJson(const QJsonObject &object)
{
    StrictReader read(object);
    PipelineDisplaySnapshot display;
    display.id = read.text("id");
    display.name = read.text("name");
    display.role = read.text("role");
    display.connection = read.text("connection");
    display.resolution = read.text("resolution");
    display.ditheringEnabled = read.flag("ditheringEnabled");
    display.uniformityEnabled = read.flag("uniformityEnabled");
    if (!read.ok())
        return std::nullopt;
    return display;
}

QJsonObject PipelineSnapshot::toJson() const
{
    QJsonArray displayArray;
    for (const PipelineDisplaySnapshot &display : displays)
        displayArray.append(display.toJson());
    QJsonObject object = toObject(snapshotFields(*this));
    object.insert(QStringLiteral("displays"), displayArray);
    return object;
}

QByteArray PipelineSnapshot::encode() const
{
    // Written by hand to keep the keys in field order.
    OrderedFields fields = snapshotFields(*this);
    QByteArray displayArray("[");
    for (const PipelineDisplaySnapshot &display : displays) {
        if (displayArray.size() > 1)
            displayArray += ',';
        displayArray += orderedObject(displayFields(display));
    }
    displayArray += ']';
    const QByteArray head = orderedObject(fields.mid(0, 3));
    const QByteArray tail = orderedObject(fields.mid(3));
    // {head fields,"displays":[...],tail fields}
    return head.chopped(1) + ",\"displays\":" + displayArray + ',' + tail.mid(1);
}

std::optional<PipelineSnapshot> PipelineSnapshot::fromJson(const QJsonObject &object)
{
    StrictReader read(object);
    PipelineSnapshot snapshot;
    snapshot.capturedAt = read.date("capturedAt");
    snapshot.macName = read.text("macName");
    snapshot.chipFamily = read.text("chipFamily");
    for (const QJsonValue &entry : read.array("displays")) {
        const auto display = entry.isObject() ? PipelineDisplaySnapshot::fromJson(entry.toObject())
                                              : std::nullopt;
        if (!display) {
            read.fail();
            break;
        }
        snapshot.displays.append(*display);
    }
    snapshot.pwmAvoidanceEnabled = read.flag("pwmAvoidanceEnabled");
    snapshot.pwmThresholdPercent = read.number("pwmThresholdPercent", 0, 100);
    snapshot.tuningEnabled = read.flag("tuningEnabled");
    snapshot.brightness = read.number("brightness", 0, 1);
    snapshot.warmth = read.number("warmth", 0, 1.4);
    snapshot.contrastReduction = read.number("contrastReduction", 0, 1);
    snapshot.softWhite = read.number("softWhite", 0, 1);
    snapshot.highlightCompression = read.number("highlightCompression", 0, 1);
    snapshot.redModeEnabled = read.flag("redModeEnabled");
    snapshot.redModeIntensity = read.number("redModeIntensity", 0, 1);
    snapshot.fontSmoothingDisabled = read.flag("fontSmoothingDisabled");
    if (!read.ok())
        return std::nullopt;
    return snapshot;
}

std::optional<PipelineSnapshot> PipelineSnapshot::decode(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

} // namespace qv
