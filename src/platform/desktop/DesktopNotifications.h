#pragma once

#include "platform/Notifications.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <optional>

namespace qv {

// Notifications through the desktop's notification service (org.freedesktop.Notifications
// on the session bus). A notification posted again under the same identifier replaces the
// one shown. Without a bus the notification is written to the log instead; a service that
// is absent or answers with an error is logged with the notification's text.
class DesktopNotifications final : public QObject, public Notifications {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.Notifications";
    static constexpr const char *kPath = "/org/freedesktop/Notifications";

    explicit DesktopNotifications(const QDBusConnection &bus, QObject *parent = nullptr);

    // Granted when the service answers; refused when there is no bus or it does not.
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    void post(const QString &identifier, const QString &title, const QString &body) override;

    // The service's id of the notification shown under identifier, once it answered.
    std::optional<quint32> shownId(const QString &identifier) const
    {
        const auto it = m_shown.constFind(identifier);
        return it == m_shown.constEnd() ? std::nullopt : std::optional<quint32>(*it);
    }

private:
    Logger m_logger{"Notifications"};
    QDBusConnection m_bus;
    QHash<QString, quint32> m_shown; // identifier -> the service's id of the one shown
};

} // namespace qv
