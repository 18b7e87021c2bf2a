#include "runtime/Files.h"

#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::files {

namespace {
const Logger &filesLog()
{
    static Logger l("Files");
    return l;
}

QString &rootOverride()
{
    static QString value;
    return value;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Why something that is not a regular file cannot be a stored file.
QString notARegularFile(const QString &path, mode_t mode)
{
    const char *kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a pipe"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "something else";
    return QStringLiteral("%1 is %2, not a regular file").arg(path, QLatin1String(kind));
}

QString tooLarge(const QString &path, qint64 size, qint64 maxBytes, bool writing = false)
{
    return QStringLiteral("%1 %2 %3 bytes, more than the %4 a stored file may hold")
        .arg(path, QLatin1String(writing ? "would hold" : "holds"))
        .arg(size)
        .arg(maxBytes);
}

// A copy "<name>.unreadable-*.<ext>" beside path that holds exactly bytes; empty when none.
QString existingCopy(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QFileInfoList copies = QDir(info.absolutePath())
                                     .entryInfoList({info.completeBaseName() + QStringLiteral(".unreadable-*") + suffix},
                                                    QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &copy : copies) {
        if (copy.isSymLink() || copy.size() != bytes.size())
            continue;
        const StoredFile file = readStoredFile(copy.absoluteFilePath());
        if (file.state == StoredFile::State::read && file.bytes == bytes)
            return copy.absoluteFilePath();
    }
    return QString();
}

// A free name "<name>.unreadable-<time>[-n].<ext>" beside path.
QString asideName(const QString &path)
{
    const QFileInfo info(path);
    const QString stamp = scheduler().now().toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QString stem =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".unreadable-") + stamp;
    QString target = stem + suffix;
    for (int n = 2; QFileInfo(target).exists() || QFileInfo(target).isSymLink(); ++n)
        target = stem + QStringLiteral("-%1").arg(n) + suffix;
    return target;
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

StoredFile readStoredFile(const QString &path, qint64 maxBytes)
{
    StoredFile result;
    auto unreadable = [&result](const QString &why) {
        result.state = StoredFile::State::unreadable;
        result.error = why;
        return result;
    };
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return result;
        return unreadable(systemError(errno));
    }
    if (!S_ISREG(status.st_mode))
        return unreadable(notARegularFile(path, status.st_mode));
    // Not blocking, and checked again once open: what is there may have changed meanwhile.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return unreadable(systemError(errno));
    int code = 0;
    if (::fstat(fd, &status) != 0) {
        code = errno;
    } else if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return unreadable(notARegularFile(path, status.st_mode));
    } else if (status.st_size > maxBytes) {
        ::close(fd);
        return unreadable(tooLarge(path, status.st_size, maxBytes));
    }
    QByteArray bytes;
    bytes.reserve(qsizetype(status.st_size));
    char buffer[65536];
    while (code == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0 && bytes.size() + n > maxBytes) // grew while being read
            code = EFBIG;
        else if (n > 0)
            bytes.append(buffer, n);
        else if (n == 0)
            break;
        else if (errno != EINTR)
            code = errno;
    }
    ::close(fd);
    if (code != 0)
        return unreadable(systemError(code));
    result.state = StoredFile::State::read;
    result.bytes = std::move(bytes);
    return result;
}

bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > kMaxStoredFileBytes)
        return fail(tooLarge(path, bytes.size(), kMaxStoredFileBytes, true));
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create folder %1").arg(info.absolutePath()));
    const QFileInfo target(info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath());
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    struct stat status {};
    const bool replacing = ::stat(targetName.constData(), &status) == 0;
    if (replacing && !S_ISREG(status.st_mode))
        return fail(notARegularFile(path, status.st_mode));

    QByteArray temporary = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                             QStringLiteral(".partial-XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(systemError(errno));
    // The temporary file starts private; a replaced file keeps its permissions.
    if (replacing)
        ::fchmod(fd, status.st_mode & 07777);
    int code = 0;
    for (qsizetype done = 0; done < bytes.size() && code == 0;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            code = EIO;
        else if (errno != EINTR)
            code = errno;
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(temporary.constData(), targetName.constData()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(temporary.constData());
        return fail(systemError(code));
    }
    return true;
}

QString moveAside(const QString &path, QString *error)
{
    // Not QFile::rename: its fallback to copying would open (and block on) a pipe.
    const QString target = asideName(path);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) == 0)
        return target;
    if (error)
        *error = systemError(errno);
    return QString();
}

bool keepAside(const QString &path, QString *keptAs, QString *error)
{
    if (keptAs)
        keptAs->clear();
    const StoredFile file = readStoredFile(path);
    if (file.state == StoredFile::State::absent)
        return true;
    // A readable file is copied, never moved: should the save that follows fail, the
    // original is still where the next start looks for it.
    QString target;
    if (file.state == StoredFile::State::read) {
        // Kept once: a file that stayed unreadable since an earlier start is there already.
        target = existingCopy(path, file.bytes);
        if (target.isEmpty()) {
            target = asideName(path);
            if (!writeAtomically(target, file.bytes, error))
                return false;
        }
    } else {
        target = moveAside(path, error);
        if (target.isEmpty())
            return false;
    }
    if (keptAs)
        *keptAs = target;
    return true;
}

bool UnreadFile::clearForSave(const QString &path, const std::function<void(const QString &)> &kept,
                              const std::function<void(const QString &)> &refused)
{
    if (!m_marked)
        return true;
    QString keptAs;
    QString error;
    if (!keepAside(path, &keptAs, &error)) {
        if (!m_refusalReported)
            refused(error);
        m_refusalReported = true;
        return false;
    }
    if (!keptAs.isEmpty())
        kept(keptAs);
    m_marked = false;
    return true;
}

int removeStaleTemporaryFiles()
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.partial-[A-Za-z0-9]{6}$"));
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-60);
    int removed = 0;
    for (const QString &folder : {applicationSupportDirectory(), configDirectory()}) {
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo &entry : entries) {
            if (entry.isSymLink() || !entry.isFile() || !pattern.match(entry.fileName()).hasMatch() ||
                entry.lastModified().toUTC() > cutoff)
                continue;
            if (QFile::remove(entry.absoluteFilePath())) {
                ++removed;
                filesLog().info("Removed %s, left by an interrupted write", qUtf8Printable(entry.absoluteFilePath()));
            } else {
                filesLog().error("Could not remove %s, left by an interrupted write",
                               qUtf8Printable(entry.absoluteFilePath()));
            }
        }
    }
    return removed;
}

} // namespace qv::files
