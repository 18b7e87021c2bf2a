#include "platform/host/GammaRestoreFile.h"

#include "runtime/Files.h"
#include "runtime/Logging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <xcb/xcb.h>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {
const QString kFormat = QStringLiteral("quellvista-gamma-ramps");
constexpr int kVersion = 3;
// Files of version 2 keep ramps by output only.
constexpr int kOldestReadVersion = 2;

QString encodeChannel(const QList<quint16> &values)
{
    QByteArray bytes(values.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < values.size(); ++i)
        qToLittleEndian(values[i], bytes.data() + 2 * i);
    return QString::fromLatin1(bytes.toBase64());
}

bool decodeChannel(const QJsonValue &value, QList<quint16> *values)
{
    if (!value.isString())
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() % 2 != 0)
        return false;
    const QByteArray &bytes = decoded.decoded;
    values->resize(bytes.size() / 2);
    for (qsizetype i = 0; i < values->size(); ++i)
        (*values)[i] = qFromLittleEndian<quint16>(bytes.constData() + 2 * i);
    return true;
}

// A folder of this user's alone: created with mode 0700 when missing; an existing one must
// be a folder (not a link to one), owned by this user, that no one else may enter.
bool makePrivateFolder(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("%1 cannot be created: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        *error = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (status.st_uid != ::getuid()) {
        *error = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    if ((status.st_mode & 077) != 0) {
        *error = QStringLiteral("%1 is open to other users (mode %2)").arg(path).arg(status.st_mode & 0777, 0, 8);
        return false;
    }
    return true;
}
} // namespace

QString GammaRestoreFile::privateFolder(QString *error)
{
    QString problem;
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::tempPath() + QStringLiteral("/quellvista-runtime-%1").arg(::getuid());
        if (!makePrivateFolder(base, &problem)) {
            if (error)
                *error = problem;
            return {};
        }
    }
    const QString folder = base + QStringLiteral("/Quellvista");
    if (!makePrivateFolder(folder, &problem)) {
        if (error)
            *error = problem;
        return {};
    }
    return folder;
}

QString GammaRestoreFile::serverOfDisplay(const QString &displayName)
{
    char *host = nullptr;
    int display = 0;
    const QByteArray name = displayName.toLocal8Bit();
    if (!xcb_parse_display(name.isEmpty() ? nullptr : name.constData(), &host, &display, nullptr))
        return {};
    QString server = QString::fromLocal8Bit(host);
    std::free(host);
    // A local socket by path, "unix:" or no host: the server on this machine.
    if (server == QLatin1String("unix") || server.startsWith(QLatin1Char('/')))
        server.clear();
    return server.isEmpty() ? QString::number(display) : server + QLatin1Char('/') + QString::number(display);
}

QString GammaRestoreFile::pathForDisplay(const QString &displayName, QString *error)
{
    const QString server = serverOfDisplay(displayName);
    if (server.isEmpty()) {
        if (error)
            *error = QStringLiteral("\"%1\" is not an X display name").arg(displayName);
        return {};
    }
    return pathForServer(server, error);
}

QString GammaRestoreFile::pathForServer(const QString &server, QString *error)
{
    if (server.isEmpty()) {
        if (error)
            *error = QStringLiteral("the server has no name to keep its ramps by");
        return {};
    }
    const QString folder = privateFolder(error);
    if (folder.isEmpty())
        return {};
    QString name = server;
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return folder + QStringLiteral("/gamma-ramps-") + name + QStringLiteral(".json");
}

int GammaRestoreFile::removeStaleTemporaryFiles()
{
    const QString folder = privateFolder(nullptr);
    if (folder.isEmpty())
        return 0;
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.partial-[A-Za-z0-9]{6}$"));
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-60);
    int removed = 0;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() || !entry.isFile() || !pattern.match(entry.fileName()).hasMatch()
            || entry.lastModified().toUTC() > cutoff)
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    if (removed)
        Logger("HostDisplays").info("Removed %d file(s) left by interrupted writes in %s", removed,
                                    qUtf8Printable(folder));
    return removed;
}

GammaRestoreFile::State GammaRestoreFile::read(const QString &server, QString *serverMark,
                                               QList<SavedGammaRamp> *ramps, QString *error) const
{
    ramps->clear();
    const auto corrupt = [error](const QString &why) {
        if (error)
            *error = why;
        return State::corrupt;
    };
    struct stat status {};
    if (::lstat(QFile::encodeName(m_path).constData(), &status) != 0)
        return errno == ENOENT ? State::absent : corrupt(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(status.st_mode))
        return corrupt(QStringLiteral("it is a link, which is not followed"));
    if (status.st_uid != ::getuid())
        return corrupt(QStringLiteral("it belongs to another user"));
    const files::StoredFile stored = files::readStoredFile(m_path);
    if (stored.state == files::StoredFile::State::absent)
        return State::absent;
    if (stored.state == files::StoredFile::State::unreadable)
        return corrupt(stored.error);
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(stored.bytes, &parseError);
    if (!document.isObject())
        return corrupt(parseError.error != QJsonParseError::NoError
                             ? QStringLiteral("it is not JSON (%1)").arg(parseError.errorString())
                             : QStringLiteral("it is not a JSON object"));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat
        || root.value(QStringLiteral("version")).toInt() < kOldestReadVersion
        || root.value(QStringLiteral("version")).toInt() > kVersion)
        return corrupt(QStringLiteral("it is of another format"));
    if (root.value(QStringLiteral("server")).toString() != server)
        return corrupt(QStringLiteral("they were kept for X server \"%1\"").arg(root.value(QStringLiteral("server")).toString()));
    if (serverMark)
        *serverMark = root.value(QStringLiteral("mark")).toString();
    const QJsonValue list = root.value(QStringLiteral("outputs"));
    if (!list.isArray())
        return corrupt(QStringLiteral("it has no output list"));
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        SavedGammaRamp saved;
        saved.output = object.value(QStringLiteral("output")).toString();
        saved.monitor = object.value(QStringLiteral("monitor")).toString();
        const QJsonValue crtcValue = object.value(QStringLiteral("crtc"));
        const double crtc = crtcValue.toDouble(0);
        if ((!crtcValue.isUndefined() && !crtcValue.isDouble()) || crtc < 0 || crtc > 0xFFFFFFFFu || crtc != std::floor(crtc))
            return corrupt(QStringLiteral("a CRTC is not a number"));
        saved.crtc = quint32(crtc);
        for (const QJsonValue &user : object.value(QStringLiteral("users")).toArray())
            saved.users << user.toString();
        if (saved.output.isEmpty())
            return corrupt(QStringLiteral("an output has no name"));
        if (!decodeChannel(object.value(QStringLiteral("red")), &saved.ramp.red)
            || !decodeChannel(object.value(QStringLiteral("green")), &saved.ramp.green)
            || !decodeChannel(object.value(QStringLiteral("blue")), &saved.ramp.blue))
            return corrupt(QStringLiteral("a ramp cannot be decoded"));
        if (saved.ramp.green.size() != saved.ramp.red.size() || saved.ramp.blue.size() != saved.ramp.red.size())
            return corrupt(QStringLiteral("a ramp has %1 red, %2 green and %3 blue entries")
                               .arg(saved.ramp.red.size())
                               .arg(saved.ramp.green.size())
                               .arg(saved.ramp.blue.size()));
        if (!isUsableGammaRampSize(saved.ramp.size()))
            return corrupt(QStringLiteral("a ramp has %1 entries, not 2 to %2").arg(saved.ramp.size()).arg(kMaxGammaRampSize));
        ramps->append(saved);
    }
    return State::read;
}

bool GammaRestoreFile::write(const QString &server, const QString &serverMark, const QList<SavedGammaRamp> &ramps,
                             QString *error) const
{
    if (m_path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no private folder");
        return false;
    }
    QJsonArray list;
    for (const SavedGammaRamp &saved : ramps) {
        list.append(QJsonObject{{QStringLiteral("output"), saved.output},
                                {QStringLiteral("monitor"), saved.monitor},
                                {QStringLiteral("crtc"), qint64(saved.crtc)},
                                {QStringLiteral("users"), QJsonArray::fromStringList(saved.users)},
                                {QStringLiteral("red"), encodeChannel(saved.ramp.red)},
                                {QStringLiteral("green"), encodeChannel(saved.ramp.green)},
                                {QStringLiteral("blue"), encodeChannel(saved.ramp.blue)}});
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("server"), server},
                           {QStringLiteral("mark"), serverMark},
                           {QStringLiteral("outputs"), list}};
    // A link in the file's place is replaced, never followed.
    const QByteArray name = QFile::encodeName(m_path);
    struct stat status {};
    if (::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode))
        ::unlink(name.constData());
    return files::writeAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Compact), error);
}

void GammaRestoreFile::remove() const
{
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

GammaRestoreFile::Lock::Lock(const GammaRestoreFile &file)
{
    if (file.path().isEmpty())
        return;
    m_fd = ::open(QFile::encodeName(file.path() + QStringLiteral(".lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Without the lock file the copies of ours are merely not kept apart.
    if (m_fd >= 0) {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

GammaRestoreFile::Lock::~Lock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace qv
