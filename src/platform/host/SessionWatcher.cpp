#include "platform/host/SessionWatcher.h"

#include <QCryptographicHash>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QFileInfo>

#include <ctime>
#include <utility>

namespace qv {

namespace {
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kTimedateService = QStringLiteral("org.freedesktop.timedate1");
} // namespace

SessionWatcher::SessionWatcher(const QDBusConnection &systemBus, QString zoneFile, QObject *parent)
    : QObject(parent), m_bus(systemBus), m_zoneFile(std::move(zoneFile))
{
    m_zone = zoneOfFile(m_zoneFile);
    watchZoneFile();
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SessionWatcher::zoneFileChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SessionWatcher::zoneFileChanged);

    if (!m_bus.isConnected()) {
        m_logger.info("No system bus: waking from sleep is not followed; time-zone changes are read from %s",
                      qUtf8Printable(m_zoneFile));
        return;
    }
    m_bus.connect(kLogindService, QStringLiteral("/org/freedesktop/login1"),
                  QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                  SLOT(prepareForSleep(QDBusMessage)));
    m_bus.connect(kTimedateService, QStringLiteral("/org/freedesktop/timedate1"),
                  QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), this,
                  SLOT(timedatePropertiesChanged(QDBusMessage)));
    followSession();
    // logind runs for the whole session; timedated starts on demand, so its absence
    // says nothing.
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kLogindService;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, bus::kCallTimeoutMs * 5), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        const QVariant running = reply.arguments().value(0);
        if (reply.type() == QDBusMessage::ReplyMessage && running.typeId() == QMetaType::Bool && !running.toBool())
            m_logger.info("logind is not running: waking from sleep is followed once it starts");
    });
}

void SessionWatcher::prepareForSleep(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 1 || arguments.first().userType() != QMetaType::Bool) {
        m_sleepNote(m_logger, QStringLiteral("logind's PrepareForSleep carries \"%1\" in place of yes or no; ignored")
                                  .arg(message.signature()));
        return;
    }
    if (!arguments.first().toBool())
        emit screensDidWake();
}

void SessionWatcher::followSession()
{
    // Our session's object: the one $XDG_SESSION_ID names, else the one logind finds for
    // this process ("auto").
    const QString id = qEnvironmentVariable("XDG_SESSION_ID", QStringLiteral("auto"));
    QDBusMessage ask = QDBusMessage::createMethodCall(kLogindService, QStringLiteral("/org/freedesktop/login1"),
                                                      QStringLiteral("org.freedesktop.login1.Manager"),
                                                      QStringLiteral("GetSession"));
    ask << id;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, bus::kCallTimeoutMs * 5), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        const QVariant path = reply.arguments().value(0);
        if (reply.type() != QDBusMessage::ReplyMessage || path.userType() != qMetaTypeId<QDBusObjectPath>()) {
            // Without logind, the line that says so is enough.
            if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
                return;
            m_logger.info("logind names no session \"%s\" (%s): a return to the session is not followed",
                          qUtf8Printable(id), qUtf8Printable(reply.errorMessage()));
            return;
        }
        m_bus.connect(kLogindService, path.value<QDBusObjectPath>().path(),
                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), this,
                      SLOT(sessionPropertiesChanged(QDBusMessage)));
    });
}

void SessionWatcher::sessionPropertiesChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty() || arguments.first().toString() != QLatin1String("org.freedesktop.login1.Session"))
        return;
    const std::optional<QVariantMap> changed = arguments.size() > 1 ? bus::propertyMap(arguments.at(1)) : std::nullopt;
    if (!changed || !changed->contains(QStringLiteral("Active")))
        return;
    const QVariant active = bus::unwrapped(changed->value(QStringLiteral("Active")));
    if (active.userType() != QMetaType::Bool) {
        m_sessionNote(m_logger, QStringLiteral("logind gives %1 as the session's Active; ignored").arg(bus::typeText(active)));
        return;
    }
    const bool wasActive = std::exchange(m_sessionActive, active.toBool());
    if (m_sessionActive && !wasActive)
        emit screensDidWake();
}

void SessionWatcher::timedatePropertiesChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty() || arguments.first().toString() != kTimedateService)
        return;
    const std::optional<QVariantMap> changed = arguments.size() > 1 ? bus::propertyMap(arguments.at(1)) : std::nullopt;
    if (!changed) {
        m_zoneNote(m_logger, QStringLiteral("timedated reports a change with %1 in place of the properties; ignored")
                                 .arg(bus::typeText(arguments.value(1))));
        return;
    }
    if (changed->contains(QStringLiteral("Timezone"))) {
        const QVariant zone = bus::unwrapped(changed->value(QStringLiteral("Timezone")));
        if (zone.userType() == QMetaType::QString) {
            announceZone(zone.toString());
            return;
        }
        // A zone of some other form: the zone changed, to what the zone file says.
        m_zoneNote(m_logger, QStringLiteral("timedated gives %1 as the time zone; the zone file is read instead")
                                 .arg(bus::typeText(zone)));
        announceZone(zoneOfFile(m_zoneFile));
        return;
    }
    const QStringList invalidated = arguments.size() > 2 ? arguments.at(2).toStringList() : QStringList();
    if (invalidated.contains(QStringLiteral("Timezone")))
        announceZone(zoneOfFile(m_zoneFile));
}

void SessionWatcher::zoneFileChanged()
{
    // The file is replaced rather than written (a new link put in its place), which ends
    // a watch on the file itself: watch again.
    watchZoneFile();
    announceZone(zoneOfFile(m_zoneFile));
}

void SessionWatcher::watchZoneFile()
{
    const QFileInfo info(m_zoneFile);
    if (!m_watcher.directories().contains(info.absolutePath()))
        m_watcher.addPath(info.absolutePath());
    if (info.exists() && !m_watcher.files().contains(m_zoneFile))
        m_watcher.addPath(m_zoneFile);
}

void SessionWatcher::announceZone(const QString &zone)
{
    if (zone == m_zone)
        return;
    m_zone = zone;
    // The C library reads the zone again for the conversions that follow.
    tzset();
    emit timeZoneChanged();
}

QString SessionWatcher::zoneOfFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        const qsizetype at = target.indexOf(QLatin1String("zoneinfo/"));
        if (at >= 0)
            return target.mid(at + 9);
        return target;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QStringLiteral("contents ")
        + QString::fromLatin1(QCryptographicHash::hash(file.read(1 << 20), QCryptographicHash::Sha1).toHex());
}

} // namespace qv
