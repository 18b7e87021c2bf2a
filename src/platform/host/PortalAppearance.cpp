#include "platform/host/PortalAppearance.h"

#include <QDBusPendingCall>
#include <QDBusServiceWatcher>

namespace qv {

namespace {
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
constexpr double kPreferDark = 1;
constexpr double kPreferLight = 2;
} // namespace

PortalAppearance::PortalAppearance(const QDBusConnection &sessionBus, QObject *parent)
    : Appearance(parent), m_bus(sessionBus)
{
    if (!m_bus.isConnected()) {
        m_logger.info("No session bus: the system appearance is light");
        return;
    }
    m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QDBusMessage)));
    auto *watcher = new QDBusServiceWatcher(QLatin1String(kService), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                ++m_generation;
                m_retry.cancel();
                // Read again whenever it starts or goes (a bus may start it again on demand),
                // but once only after it went, until it answers.
                if (newOwner.isEmpty()) {
                    if (m_readAfterLoss)
                        return m_note(m_logger, QStringLiteral("The desktop portal went again before answering: the "
                                                               "appearance stays as it was until one starts"));
                    m_readAfterLoss = true;
                    m_note(m_logger, QStringLiteral("The desktop portal has gone: the appearance stays as it was, "
                                                    "and the portal is asked again"));
                }
                read(QStringLiteral("ReadOne"));
            });
    read(QStringLiteral("ReadOne"));
}

PortalAppearance::~PortalAppearance()
{
    m_retry.cancel();
}

QString PortalAppearance::systemAppearanceName()
{
    return QString::fromLatin1(m_preference.value_or(false) ? darkAqua : aqua);
}

std::optional<bool> PortalAppearance::desktopPreference()
{
    return m_preference;
}

void PortalAppearance::read(const QString &method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                          QLatin1String(kInterface), method);
    message << kNamespace << kKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, bus::kCallTimeoutMs * 5), this);
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, method, generation](QDBusPendingCallWatcher *call) { readFinished(call, method, generation); });
}

void PortalAppearance::readFinished(QDBusPendingCallWatcher *call, const QString &method, int generation)
{
    call->deleteLater();
    if (generation != m_generation)
        return;
    const QDBusMessage reply = call->reply();
    if (!bus::timedOut(reply.errorName()))
        m_readAfterLoss = false;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // Portals before the single-value read offer only the older one.
        if (method == QLatin1String("ReadOne") && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
            read(QStringLiteral("Read"));
            return;
        }
        // What it said before stands.
        m_note(m_logger, QStringLiteral("The desktop portal does not answer (%1): %2 until it does")
                             .arg(reply.errorName(),
                                  m_preference ? QStringLiteral("the appearance stays as it was")
                                               : QStringLiteral("the system appearance is light")));
        // One that holds its name but did not answer in time is asked again later.
        if (bus::timedOut(reply.errorName()))
            m_retry = scheduler().after(bus::kRetryMs, this, [this, method] { read(method); });
        return;
    }
    useScheme(reply.arguments().value(0), QStringLiteral("the portal's answer"));
}

void PortalAppearance::settingChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 3 || arguments.at(0).toString() != kNamespace || arguments.at(1).toString() != kKey)
        return;
    useScheme(arguments.at(2), QStringLiteral("the portal's change"));
}

void PortalAppearance::useScheme(const QVariant &value, const QString &origin)
{
    const QVariant scheme = bus::unwrapped(value);
    const std::optional<double> number = bus::number(scheme);
    if (!number) {
        m_note(m_logger, QStringLiteral("%1 gives %2 as the colour scheme; the appearance stays as it was")
                             .arg(origin, bus::typeText(scheme)));
        return;
    }
    m_note(m_logger, QString());
    const std::optional<bool> preference =
        *number == kPreferDark ? std::optional<bool>(true) : *number == kPreferLight ? std::optional<bool>(false) : std::nullopt;
    if (preference == m_preference)
        return;
    m_preference = preference;
    emit systemAppearanceChanged();
}

} // namespace qv
