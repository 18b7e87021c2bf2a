#include "support/SessionBusConfig.h"

#include <QDir>
#include <QFile>

namespace qv::test {

QString writeSessionBusConfig(const QString &dir, const QStringList &services)
{
    const QDir folder(dir);
    const QString config = folder.filePath(QStringLiteral("session-bus.conf"));
    if (!QDir().mkpath(folder.filePath(QStringLiteral("services"))) ||
        !QFile::copy(QStringLiteral(QV_TEST_SUPPORT_DIR "/session-bus.conf"), config))
        return {};
    for (const QString &service : services) {
        const QString file = service + QStringLiteral(".service");
        if (!QFile::copy(QStringLiteral("/usr/share/dbus-1/services/") + file,
                         folder.filePath(QStringLiteral("services/") + file)))
            return {};
    }
    return config;
}

} // namespace qv::test
