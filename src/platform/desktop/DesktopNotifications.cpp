#include "platform/desktop/DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace qv {

namespace {

QDBusMessage serviceCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QLatin1String(DesktopNotifications::kService),
                                          QLatin1String(DesktopNotifications::kPath),
                                          QLatin1String(DesktopNotifications::kService), method);
}

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
}

void DesktopNotifications::requestAuthorization(std::function<void(bool granted)> completion)
{
    if (!m_bus.isConnected()) {
        m_logger.info("No session bus: notifications are written to the log");
        if (completion)
            completion(false);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(serviceCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, completion](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const bool granted = !call->isError();
        if (!granted)
            m_logger.info("The notification service does not answer (%s): notifications are written to the log",
                          qUtf8Printable(call->error().name()));
        if (completion)
            completion(granted);
    });
}

void DesktopNotifications::post(const QString &identifier, const QString &title, const QString &body)
{
    if (!m_bus.isConnected()) {
        m_logger.info("Notification \"%s\": %s — %s", qUtf8Printable(identifier), qUtf8Printable(title),
                      qUtf8Printable(body));
        return;
    }
    QDBusMessage message = serviceCall(QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    message << QStringLiteral("Quellvista") << m_shown.value(identifier, 0u) << QString() << title << body
            << QStringList() << hints << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier, title, body](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                QDBusPendingReply<quint32> reply = *call;
                if (reply.isError()) {
                    m_logger.error("Notification \"%s\" not shown (%s: %s): %s — %s", qUtf8Printable(identifier),
                                   qUtf8Printable(reply.error().name()), qUtf8Printable(reply.error().message()),
                                   qUtf8Printable(title), qUtf8Printable(body));
                    return;
                }
                m_shown.insert(identifier, reply.value());
            });
}

} // namespace qv
