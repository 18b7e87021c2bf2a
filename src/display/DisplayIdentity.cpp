#include "display/DisplayIdentity.h"

#include "platform/DisplayProfiler.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSet>

#include <cmath>

namespace qv {

namespace {
const Logger &displayIdentityLog()
{
    static Logger l("DisplayIdentity");
    return l;
}

QString hexText(quint32 value)
{
    return QString::number(value, 16);
}

// A profiler value counts when it is text, or a number taken as its decimal text. A number
// of 1e15 or more in size is no value the profiler prints: it counts as absent.
std::optional<QString> textValue(const QJsonObject &entry, const char *key)
{
    const QJsonValue v = entry.value(QLatin1String(key));
    if (v.isString())
        return v.toString();
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!(std::fabs(d) < 1e15))
            return std::nullopt;
        if (d == std::trunc(d))
            return QString::number(qint64(d));
        return QString::number(d);
    }
    return std::nullopt;
}

// The rate piece of a resolution text ("120 Hz", "59.94 Hz"); nothing when it names a rate
// no display has. A piece that is no number is kept as it is.
std::optional<QString> profilerRateText(QString rate)
{
    rate.replace(QStringLiteral("Hz"), QStringLiteral(" Hz"));
    rate.replace(QStringLiteral(".00 Hz"), QStringLiteral(" Hz"));
    QString number = rate;
    if (number.endsWith(QLatin1String(" Hz")))
        number.chop(3);
    bool ok = false;
    const double value = number.trimmed().toDouble(&ok);
    if (ok && !(value >= 0 && value <= kMaxRefreshRate))
        return std::nullopt;
    return rate;
}

std::optional<DisplayId> parseDisplayId(const std::optional<QString> &text)
{
    // Digits with at most a sign in front: blanks around them do not parse.
    if (!text || text->isEmpty() || text->front().isSpace() || text->back().isSpace())
        return std::nullopt;
    bool ok = false;
    const qlonglong n = text->toLongLong(&ok, 10);
    if (!ok || n < 0 || n > 0xffffffffLL)
        return std::nullopt;
    return DisplayId(n);
}

DisplayIdentity parseProfilerEntry(const QJsonObject &e)
{
    DisplayIdentity id;
    id.name = textValue(e, "_name").value_or(QStringLiteral("Display"));
    if (auto c = textValue(e, "spdisplays_connection_type"))
        id.connection = DisplayIdentity::connectionText(*c);

    auto resolutionText = textValue(e, "_spdisplays_resolution");
    if (!resolutionText)
        resolutionText = textValue(e, "spdisplays_resolution");
    if (resolutionText) {
        static const QString separator = QStringLiteral(" @ ");
        const qsizetype at = resolutionText->indexOf(separator);
        if (at < 0) {
            id.resolution = *resolutionText;
        } else {
            id.resolution = resolutionText->left(at);
            id.refreshRate = profilerRateText(resolutionText->mid(at + separator.size()));
        }
    }

    // A CGSDID of another type counts as absent, like every other key: the display ID
    // then stands in. A CGSDID that is text decides alone, even when it does not parse.
    if (const auto cgsdid = textValue(e, "_spdisplays_CGSDID"))
        id.cgDisplayID = parseDisplayId(cgsdid);
    else
        id.cgDisplayID = parseDisplayId(textValue(e, "_spdisplays_displayID"));

    if (textValue(e, "spdisplays_virtualdevice") == QStringLiteral("spdisplays_yes"))
        id.isVirtual = true;
    else
        id.isVirtual = DisplayIdentity::looksVirtual(id.name, id.connection);

    const bool builtIn = id.connection == QStringLiteral("Internal") ||
                         textValue(e, "spdisplays_display_type").value_or(QString()).contains(QStringLiteral("built-in"));
    id.kind = DisplayIdentity::classify(id.name, id.connection, builtIn, id.isVirtual);

    id.pixels = textValue(e, "_spdisplays_pixels");
    if (!id.pixels)
        id.pixels = textValue(e, "spdisplays_pixelresolution");
    id.vendorID = textValue(e, "_spdisplays_display-vendor-id");
    id.productID = textValue(e, "_spdisplays_display-product-id");
    id.serialNumber = textValue(e, "_spdisplays_display-serial-number");
    id.isMain = textValue(e, "spdisplays_main") == QStringLiteral("spdisplays_yes");
    id.isMirrored = textValue(e, "spdisplays_mirror") == QStringLiteral("spdisplays_on");
    return id;
}
} // namespace

// ---- DisplayIdentity ----

QString DisplayIdentity::label(Kind kind)
{
    switch (kind) {
    case Kind::builtIn:
        return QStringLiteral("Built-in display");
    case Kind::sidecar:
        return QStringLiteral("Sidecar / iPad");
    case Kind::projector:
        return QStringLiteral("Projector");
    case Kind::television:
        return QStringLiteral("TV / media display");
    case Kind::external:
        return QStringLiteral("External monitor");
    case Kind::virtualDisplay:
        return QStringLiteral("Virtual display");
    case Kind::unknown:
        break;
    }
    return QStringLiteral("Display");
}

QString DisplayIdentity::symbolName(Kind kind)
{
    switch (kind) {
    case Kind::builtIn:
        return QStringLiteral("laptopcomputer");
    case Kind::sidecar:
        return QStringLiteral("ipad.landscape");
    case Kind::projector:
        return QStringLiteral("videoprojector");
    case Kind::television:
        return QStringLiteral("tv");
    case Kind::external:
        return QStringLiteral("display");
    case Kind::virtualDisplay:
        return QStringLiteral("airplayvideo");
    case Kind::unknown:
        break;
    }
    return QStringLiteral("rectangle");
}

QString DisplayIdentity::rawValue(Kind kind)
{
    switch (kind) {
    case Kind::builtIn:
        return QStringLiteral("builtIn");
    case Kind::sidecar:
        return QStringLiteral("sidecar");
    case Kind::projector:
        return QStringLiteral("projector");
    case Kind::television:
        return QStringLiteral("television");
    case Kind::external:
        return QStringLiteral("external");
    case Kind::virtualDisplay:
        return QStringLiteral("virtual");
    case Kind::unknown:
        break;
    }
    return QStringLiteral("unknown");
}

bool DisplayIdentity::looksVirtual(const QString &name, const std::optional<QString> &connection)
{
    const QString text = (name + QLatin1Char(' ') + connection.value_or(QString())).toLower();
    return text.contains(QLatin1String("sidecar")) || text.contains(QLatin1String("airplay")) ||
           text.contains(QLatin1String("virtual"));
}

DisplayIdentity::Kind DisplayIdentity::classify(const QString &name, const std::optional<QString> &connection,
                                                bool builtIn, bool isVirtual)
{
    const QString text = (name + QLatin1Char(' ') + connection.value_or(QString())).toLower();
    auto any = [&text](std::initializer_list<const char *> needles) {
        for (const char *n : needles)
            if (text.contains(QLatin1String(n)))
                return true;
        return false;
    };
    if (builtIn)
        return Kind::builtIn;
    if (any({"sidecar", "ipad"}))
        return Kind::sidecar;
    if (any({"projector", "epson", "benq", "optoma", "viewsonic", "nec"}))
        return Kind::projector;
    if (any({" tv", "television", "samsung", "sony", "lg ", "roku"}))
        return Kind::television;
    if (isVirtual)
        return Kind::virtualDisplay;
    return Kind::external;
}

QString DisplayIdentity::connectionText(const QString &value)
{
    static const QHash<QString, QString> known = {
        {QStringLiteral("spdisplays_internal"), QStringLiteral("Internal")},
        {QStringLiteral("spdisplays_airplay"), QStringLiteral("AirPlay")},
        {QStringLiteral("spdisplays_displayport"), QStringLiteral("DisplayPort")},
        {QStringLiteral("spdisplays_thunderbolt"), QStringLiteral("Thunderbolt")},
        {QStringLiteral("spdisplays_usb-c"), QStringLiteral("USB-C")},
        {QStringLiteral("spdisplays_hdmi"), QStringLiteral("HDMI")},
    };
    if (auto it = known.constFind(value); it != known.constEnd())
        return it.value();
    QString text = value;
    text.remove(QStringLiteral("spdisplays_"));
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    // Capitalise each word: first letter upper case, the rest lower case.
    QString out;
    bool startOfWord = true;
    for (QChar c : text) {
        if (c.isSpace()) {
            startOfWord = true;
            out += c;
        } else {
            out += startOfWord ? c.toUpper() : c.toLower();
            startOfWord = false;
        }
    }
    return out;
}

std::optional<QString> DisplayIdentity::refreshRateText(double rate)
{
    if (!(rate > 1.0 && rate <= kMaxRefreshRate))
        return std::nullopt;
    const double rounded = std::round(rate);
    if (std::fabs(rate - rounded) < 0.05)
        return QStringLiteral("%1 Hz").arg(qint64(rounded));
    return QString::asprintf("%.1f Hz", rate);
}

QString DisplayIdentity::detailText() const
{
    QStringList items;
    if (isMain)
        items << QStringLiteral("Main");
    if (isMirrored)
        items << QStringLiteral("Mirrored");
    if (isVirtual)
        items << QStringLiteral("Virtual");
    if (pixels && (!resolution || *resolution != *pixels))
        items << QStringLiteral("Native ") + *pixels;
    QStringList numbers;
    if (vendorID)
        numbers << QStringLiteral("Vendor ") + *vendorID;
    if (productID)
        numbers << QStringLiteral("Product ") + *productID;
    if (serialNumber)
        numbers << QStringLiteral("Serial ") + *serialNumber;
    if (!numbers.isEmpty())
        items << numbers.join(QStringLiteral(" / "));
    return items.join(QStringLiteral(" - "));
}

bool DisplayIdentity::isLikelyMiniLED() const
{
    if (kind == Kind::sidecar)
        return true;
    QStringList parts{name, label(kind)};
    for (const auto &p : {connection, resolution, pixels})
        if (p)
            parts << *p;
    const QString text = parts.join(QLatin1Char(' ')).toLower();
    for (const char *needle : {"xdr", "pro display", "liquid retina", "mini-led", "mini led"})
        if (text.contains(QLatin1String(needle)))
            return true;
    return false;
}

bool DisplayIdentity::looksLikeSidecar() const
{
    return kind == Kind::sidecar || name.contains(QLatin1String("Sidecar"), Qt::CaseInsensitive)
           || name.contains(QLatin1String("iPad"), Qt::CaseInsensitive);
}

// ---- DisplayIdentityProvider ----

DisplayIdentityProvider &DisplayIdentityProvider::shared()
{
    return sharedInstance<DisplayIdentityProvider>();
}

QList<DisplayIdentity> DisplayIdentityProvider::identities(bool forceRefresh)
{
    const qint64 nowMs = scheduler().monotonicMs();
    {
        QMutexLocker lock(&m_mutex);
        if (!forceRefresh && m_everRefreshed && !m_cachedIdentities.isEmpty() &&
            double(nowMs - m_lastRefreshMs) / 1000.0 < cacheDuration)
            return m_cachedIdentities;
    }
    // Built outside the lock: the profiler can take seconds, and main-thread callers must
    // not wait for a worker's run.
    QList<DisplayIdentity> list;
    if (isMainThread())
        list = screenIdentities();
    else
        list = merge(profilerIdentities(), screenIdentities());
    QMutexLocker lock(&m_mutex);
    m_cachedIdentities = list;
    m_lastRefreshMs = nowMs;
    m_everRefreshed = true;
    return list;
}

void DisplayIdentityProvider::invalidate()
{
    QMutexLocker lock(&m_mutex);
    m_everRefreshed = false;
}

QList<DisplayIdentity> DisplayIdentityProvider::screenIdentities()
{
    const PlatformServices &p = platform();
    QList<DisplayIdentity> list;
    const DisplayId mainId = p.displays->mainDisplay();
    for (const ScreenInfo &screen : p.screens->screens()) {
        if (!screen.displayNumber)
            continue;
        const DisplayId displayId = *screen.displayNumber;
        DisplayIdentity id;
        id.cgDisplayID = displayId;
        double rate = 0;
        if (auto mode = p.displays->currentMode(displayId)) {
            id.resolution = QStringLiteral("%1 x %2").arg(mode->width).arg(mode->height);
            rate = mode->refreshRate;
        }
        id.refreshRate = DisplayIdentity::refreshRateText(rate);
        const bool builtIn = p.displays->isBuiltin(displayId);
        const bool isVirtual = DisplayIdentity::looksVirtual(screen.localizedName, std::nullopt);
        id.kind = DisplayIdentity::classify(screen.localizedName, std::nullopt, builtIn, isVirtual);
        if (!screen.localizedName.isEmpty()) {
            id.name = screen.localizedName;
            if (builtIn)
                id.connection = QStringLiteral("Internal");
        } else if (builtIn) {
            id.name = QStringLiteral("Built-in Display");
            id.connection = QStringLiteral("Internal");
        } else {
            switch (id.kind) {
            case DisplayIdentity::Kind::sidecar:
                id.name = QStringLiteral("Sidecar Display");
                break;
            case DisplayIdentity::Kind::projector:
                id.name = QStringLiteral("Projector");
                break;
            case DisplayIdentity::Kind::television:
                id.name = QStringLiteral("TV Display");
                break;
            case DisplayIdentity::Kind::virtualDisplay:
                id.name = QStringLiteral("Virtual Display");
                break;
            default:
                id.name = QStringLiteral("External Display");
                break;
            }
        }
        const int wide = p.displays->pixelsWide(displayId);
        const int high = p.displays->pixelsHigh(displayId);
        if (wide >= 1 && high >= 1)
            id.pixels = QStringLiteral("%1 x %2").arg(wide).arg(high);
        if (const quint32 v = p.displays->vendorNumber(displayId))
            id.vendorID = hexText(v);
        if (const quint32 v = p.displays->modelNumber(displayId))
            id.productID = hexText(v);
        if (const quint32 v = p.displays->serialNumber(displayId))
            id.serialNumber = hexText(v);
        id.isMain = displayId == mainId;
        id.isMirrored = p.displays->isInMirrorSet(displayId);
        id.isVirtual = isVirtual;
        list << id;
    }
    return list;
}

QList<DisplayIdentity> DisplayIdentityProvider::profilerIdentities()
{
    DisplayProfiler *profiler = platform().displayProfiler;
    if (!profiler)
        return {}; // the screens tell all this computer knows
    const ProcessResult result = profiler->displaysReport(20000);
    if (!result.started) {
        displayIdentityLog().error("Display profiler could not start: %s", qUtf8Printable(result.errorText));
        return {};
    }
    if (result.timedOut) {
        displayIdentityLog().error("Display profiler did not finish in time");
        return {};
    }
    if (result.crashed || result.exitCode != 0) {
        displayIdentityLog().error("Display profiler ended with status %d", result.exitCode);
        return {};
    }
    QString fault;
    QList<DisplayIdentity> list = parseProfilerOutput(result.standardOutput, &fault);
    if (!fault.isEmpty())
        displayIdentityLog().error("Display profiler output not understood: %s", qUtf8Printable(fault));
    return list;
}

QList<DisplayIdentity> DisplayIdentityProvider::parseProfilerOutput(const QByteArray &json, QString *fault)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        if (fault)
            *fault = error.errorString();
        return {};
    }
    if (!doc.isObject()) {
        if (fault)
            *fault = QStringLiteral("the root is not a dictionary");
        return {};
    }
    const QJsonValue devices = doc.object().value(QLatin1String("SPDisplaysDataType"));
    if (!devices.isArray()) {
        if (fault)
            *fault = QStringLiteral("no SPDisplaysDataType list");
        return {};
    }
    // Every device must be a dictionary, as the list's type demands.
    for (const QJsonValue &device : devices.toArray()) {
        if (!device.isObject()) {
            if (fault)
                *fault = QStringLiteral("SPDisplaysDataType holds an entry that is not a dictionary");
            return {};
        }
    }
    QList<DisplayIdentity> list;
    for (const QJsonValue &device : devices.toArray()) {
        const QJsonValue drivers = device.toObject().value(QLatin1String("spdisplays_ndrvs"));
        if (!drivers.isArray())
            continue;
        const QJsonArray entries = drivers.toArray();
        // A device's display list must hold dictionaries only; otherwise it contributes nothing.
        if (std::any_of(entries.begin(), entries.end(), [](const QJsonValue &v) { return !v.isObject(); }))
            continue;
        for (const QJsonValue &entry : entries)
            list << parseProfilerEntry(entry.toObject());
    }
    return list;
}

QList<DisplayIdentity> DisplayIdentityProvider::merge(const QList<DisplayIdentity> &profiler,
                                                      const QList<DisplayIdentity> &screens)
{
    // One identity per ID: where the profiler lists an ID twice, its first entry is kept.
    QHash<DisplayId, DisplayIdentity> byId;
    for (const DisplayIdentity &p : profiler)
        if (p.cgDisplayID && !byId.contains(*p.cgDisplayID))
            byId.insert(*p.cgDisplayID, p);
    if (screens.isEmpty())
        return profiler;
    QList<DisplayIdentity> result;
    QSet<DisplayId> screenIds;
    for (const DisplayIdentity &s : screens) {
        if (s.cgDisplayID)
            screenIds.insert(*s.cgDisplayID);
        if (s.cgDisplayID && !byId.isEmpty() && byId.contains(*s.cgDisplayID))
            result << byId.value(*s.cgDisplayID);
        else
            result << s;
    }
    for (const DisplayIdentity &p : profiler)
        if (p.isVirtual && (!p.cgDisplayID || !screenIds.contains(*p.cgDisplayID)))
            result << p;
    return result;
}

BuiltInAndExternalIdentities splitBuiltInAndExternal(const QList<DisplayIdentity> &identities)
{
    BuiltInAndExternalIdentities split;
    for (const DisplayIdentity &identity : identities) {
        // Only the first built-in identity is the built-in one; a further one is matched
        // with the external framebuffers like any other.
        if (identity.kind == DisplayIdentity::Kind::builtIn && !split.builtIn)
            split.builtIn = identity;
        else
            split.external << identity;
    }
    return split;
}

} // namespace qv
