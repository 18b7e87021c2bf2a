#include "runtime/Files.h"

#include "runtime/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace qv::files {

namespace {
QString &rootOverride()
{
    static QString value;
    return value;
}
} // namespace

void setRootOverride(const QString &root)
{
    rootOverride() = root;
}

QString dataRoot()
{
    if (!rootOverride().isEmpty())
        return rootOverride() + QStringLiteral("/data");
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString applicationSupportDirectory()
{
    return dataRoot() + QStringLiteral("/Quellvista");
}

QString configDirectory()
{
    if (!rootOverride().isEmpty())
        return rootOverride() + QStringLiteral("/config/Quellvista");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Quellvista");
}

bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString moveAside(const QString &path)
{
    const QFileInfo info(path);
    const QString stamp = scheduler().now().toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QString stem =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".unreadable-") + stamp;
    QString target = stem + suffix;
    for (int n = 2; QFile::exists(target); ++n)
        target = stem + QStringLiteral("-%1").arg(n) + suffix;
    return QFile::rename(path, target) ? target : QString();
}

} // namespace qv::files
