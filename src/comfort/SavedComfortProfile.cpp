#include "comfort/SavedComfortProfile.h"

#include "runtime/ShownText.h"

#include "runtime/Json.h"

#include <QRegularExpression>

#include <cmath>

namespace qv {

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

PresetValues SavedComfortProfile::presetValues() const
{
    TuningValues values = tuning;
    values.bloomGuardEnabled = false;
    return PresetValues{values, pwm, veil.colorCalmEnabled ? veil.colorCalm : 0.0};
}

QString SavedComfortProfile::summary() const
{
    if (!tuning.enabled)
        return QStringLiteral("Neutral display");
    QString text = tuning.brightness < 0.75 ? QStringLiteral("dim") : QStringLiteral("bright");
    text += tuning.warmth > 0.2 ? QStringLiteral(", warm") : QStringLiteral(", clear");
    const double percent = std::trunc(tuning.softWhite * 100.0);
    // A value beyond what an integer holds (only from hand-edited data) shows as 0.
    const qint64 whole = std::isfinite(percent) && std::fabs(percent) < 1e15 ? qint64(percent) : 0;
    text += QStringLiteral(", %1% soft whites").arg(whole);
    if (veil.enabled)
        text += QStringLiteral(", veil");
    return text;
}

QJsonObject SavedComfortProfile::toJson() const
{
    QJsonObject o;
    o.insert("id", uuidText(id));
    o.insert("name", name);
    o.insert("brightness", tuning.brightness);
    o.insert("warmth", tuning.warmth);
    o.insert("contrastReduction", tuning.contrastReduction);
    o.insert("softWhite", tuning.softWhite);
    o.insert("highlightCompression", tuning.highlightCompression);
    o.insert("nightModeEnabled", tuning.nightModeEnabled);
    o.insert("noBlueModeEnabled", tuning.noBlueModeEnabled);
    o.insert("redModeIntensity", tuning.redModeIntensity);
    o.insert("tuningEnabled", tuning.enabled);
    o.insert("pwmEnabled", pwm.enabled);
    o.insert("pwmThreshold", pwm.threshold);
    o.insert("comfortVeilEnabled", veil.enabled);
    o.insert("peripheralSofteningEnabled", veil.peripheralSofteningEnabled);
    o.insert("peripheralSoftening", veil.peripheralSoftening);
    o.insert("highlightDampeningEnabled", veil.highlightDampeningEnabled);
    o.insert("highlightDampening", veil.highlightDampening);
    o.insert("colorCalmEnabled", veil.colorCalmEnabled);
    o.insert("colorCalm", veil.colorCalm);
    o.insert("microtextureEnabled", veil.microtextureEnabled);
    o.insert("microtexture", veil.microtexture);
    o.insert("createdAt", json::encodeDate(createdAt));
    return o;
}

namespace {

// Reads keys in field order and remembers the first fault.
class Reader {
public:
    explicit Reader(const QJsonObject &o) : m_o(o) {}

    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

    template <typename T>
    void required(const char *key, T &out) { read(key, out, true); }
    // Returns false (and leaves out alone) when the key is absent or null.
    template <typename T>
    bool optional(const char *key, T &out) { return read(key, out, false); }

private:
    bool read(const char *key, double &out, bool isRequired)
    {
        return readWith(key, isRequired, "a number", [&](const QJsonValue &v) {
            if (!v.isDouble())
                return false;
            out = v.toDouble();
            return true;
        });
    }
    bool read(const char *key, bool &out, bool isRequired)
    {
        return readWith(key, isRequired, "a Boolean", [&](const QJsonValue &v) {
            if (!v.isBool())
                return false;
            out = v.toBool();
            return true;
        });
    }
    bool read(const char *key, QString &out, bool isRequired)
    {
        return readWith(key, isRequired, "a string", [&](const QJsonValue &v) {
            if (!v.isString())
                return false;
            out = v.toString();
            return true;
        });
    }
    bool read(const char *key, QUuid &out, bool isRequired)
    {
        return readWith(key, isRequired, "a UUID string", [&](const QJsonValue &v) {
            const auto id = v.isString() ? parseUuid(v.toString()) : std::nullopt;
            if (!id)
                return false;
            out = *id;
            return true;
        });
    }
    bool read(const char *key, QDateTime &out, bool isRequired)
    {
        return readWith(key, isRequired, "a date number", [&](const QJsonValue &v) {
            const auto date = json::decodeDate(v);
            if (!date)
                return false;
            out = *date;
            return true;
        });
    }

    template <typename F>
    bool readWith(const char *key, bool isRequired, const char *expected, F take)
    {
        if (failed())
            return false;
        const QString k = QString::fromLatin1(key);
        const QJsonValue v = m_o.value(k);
        if (v.isUndefined() || (!isRequired && v.isNull())) {
            if (isRequired)
                m_error = QStringLiteral("missing key \"%1\"").arg(k);
            return false;
        }
        if (!take(v)) {
            m_error = QStringLiteral("key \"%1\" is not %2").arg(k, QLatin1String(expected));
            return false;
        }
        return true;
    }

    const QJsonObject &m_o;
    QString m_error;
};

} // namespace

std::optional<SavedComfortProfile> SavedComfortProfile::fromJson(const QJsonValue &value, QString *error)
{
    if (!value.isObject()) {
        if (error)
            *error = QStringLiteral("the record is not an object");
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    Reader r(o);
    SavedComfortProfile p;
    r.required("id", p.id);
    r.required("name", p.name);
    r.required("brightness", p.tuning.brightness);
    r.required("warmth", p.tuning.warmth);
    r.required("contrastReduction", p.tuning.contrastReduction);
    r.required("softWhite", p.tuning.softWhite);
    r.required("highlightCompression", p.tuning.highlightCompression);
    r.required("nightModeEnabled", p.tuning.nightModeEnabled);
    p.tuning.noBlueModeEnabled = false;
    r.optional("noBlueModeEnabled", p.tuning.noBlueModeEnabled);
    if (!r.optional("redModeIntensity", p.tuning.redModeIntensity))
        p.tuning.redModeIntensity = p.tuning.noBlueModeEnabled ? 1.0 : 0.0;
    r.required("tuningEnabled", p.tuning.enabled);
    r.required("pwmEnabled", p.pwm.enabled);
    r.required("pwmThreshold", p.pwm.threshold);
    r.optional("comfortVeilEnabled", p.veil.enabled);
    r.optional("peripheralSofteningEnabled", p.veil.peripheralSofteningEnabled);
    r.optional("peripheralSoftening", p.veil.peripheralSoftening);
    r.optional("highlightDampeningEnabled", p.veil.highlightDampeningEnabled);
    r.optional("highlightDampening", p.veil.highlightDampening);
    r.optional("colorCalmEnabled", p.veil.colorCalmEnabled);
    r.optional("colorCalm", p.veil.colorCalm);
    r.optional("microtextureEnabled", p.veil.microtextureEnabled);
    r.optional("microtexture", p.veil.microtexture);
    r.required("createdAt", p.createdAt);
    if (r.failed()) {
        if (error)
            *error = r.error();
        return std::nullopt;
    }
    return p;
}

QString SavedComfortProfile::shownName(const QString &name)
{
    const QString shown = showntext::inert(name);
    return shown.trimmed().isEmpty() ? QStringLiteral("Untitled Profile") : shown;
}

} // namespace qv
