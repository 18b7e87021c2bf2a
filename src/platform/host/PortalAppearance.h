#pragma once

#include "platform/Appearance.h"
#include "platform/host/BusValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace qv {

// The desktop's light or dark preference from the desktop portal's settings
// (org.freedesktop.appearance color-scheme: 1 prefers dark; 0, no preference, and 2,
// prefers light, draw light), followed through the portal's change signal, and read
// again whenever a portal starts (one that starts after the program included) or goes (a
// bus may start it again on demand). Until the portal answers, and without one, the
// appearance is light; one that goes leaves it as it was. The only reader of the
// setting: the tray asks this service too.
class PortalAppearance final : public Appearance {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kInterface = "org.freedesktop.portal.Settings";

    explicit PortalAppearance(const QDBusConnection &sessionBus, QObject *parent = nullptr);

    QString systemAppearanceName() override;
    std::optional<bool> desktopPreference() override;
    ~PortalAppearance() override;

private slots:
    void settingChanged(const QDBusMessage &message);

private:
    void read(const QString &method);
    void readFinished(QDBusPendingCallWatcher *call, const QString &method, int generation);
    void useScheme(const QVariant &value, const QString &origin);

    Logger m_logger{"Appearance"};
    QDBusConnection m_bus;
    std::optional<bool> m_preference; // 1: true, 2: false, 0 or none: nothing
    int m_generation = 0;             // answers of a portal that has gone since are dropped
    bool m_readAfterLoss = false;     // read because the portal went, not answered since
    bus::Note m_note;
    TaskHandle m_retry; // reads again a portal that let a read go unanswered
};

} // namespace qv
