#pragma once

#include "platform/host/BusValues.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace qv {

// Follows the session's wake-ups and the system's time zone and announces them: the
// screens woke when logind says the system came back from sleep (PrepareForSleep with
// false) or that our session is active again (its Active property true after false, as
// when the user switches back to its virtual terminal); the time zone changed when timedated reports a new zone or the zone file
// (/etc/localtime) is replaced. A zone reported by both is announced once. The workspace
// forwards the two signals as its own.
class SessionWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SessionWatcher(const QDBusConnection &systemBus,
                            QString zoneFile = QStringLiteral("/etc/localtime"), QObject *parent = nullptr);

    // The zone a zone file names: the zone's name when it links into a zone database,
    // else a fingerprint of its contents; empty when it cannot be read.
    static QString zoneOfFile(const QString &path);

signals:
    void screensDidWake();
    void timeZoneChanged();

private slots:
    void prepareForSleep(const QDBusMessage &message);
    void timedatePropertiesChanged(const QDBusMessage &message);
    void sessionPropertiesChanged(const QDBusMessage &message);

private:
    void followSession();
    void zoneFileChanged();
    void watchZoneFile();
    void announceZone(const QString &zone);

    Logger m_logger{"SessionWatcher"};
    QDBusConnection m_bus;
    QString m_zoneFile;
    QString m_zone; // the zone last announced (or found at the start)
    QFileSystemWatcher m_watcher;
    bus::Note m_sleepNote;
    bus::Note m_zoneNote;
    bus::Note m_sessionNote;
    bool m_sessionActive = true; // a session we run in is taken as active until told otherwise
};

} // namespace qv
