#include "runtime/SingleInstance.h"

#include "runtime/Logging.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qv {

namespace {
const Logger &singleInstanceLog()
{
    static Logger l("App");
    return l;
}
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}

QString SingleInstance::defaultName(const QString &xDisplay)
{
    const QString name = QStringLiteral("com.tebrix.Quellvista-%1").arg(getuid());
    const QString server = xServerKey(xDisplay.isEmpty() ? qEnvironmentVariable("DISPLAY") : xDisplay);
    return server.isEmpty() ? name : name + QStringLiteral("-x") + server;
}

QString SingleInstance::xServerKey(const QString &xDisplay)
{
    const QString text = xDisplay.trimmed();
    if (text.isEmpty())
        return {};
    // [protocol/]host:display[.screen]; the host is empty (or "unix") for the local server.
    static const QRegularExpression form(QStringLiteral("^(?:[^/:]*/)?(.*):(\\d+)(?:\\.\\d+)?$"));
    QString host, number;
    if (const QRegularExpressionMatch match = form.match(text); match.hasMatch()) {
        host = match.captured(1);
        number = QString::number(match.captured(2).toULongLong());
        if (host == QLatin1String("unix"))
            host.clear();
    } else {
        host = text; // a form we do not know: the text itself names the server
    }
    QString key = host.isEmpty() || number.isEmpty() ? host + number : host + QLatin1Char('-') + number;
    // A socket name holds no path separators or other odd characters.
    for (QChar &c : key)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return key;
}

SingleInstance::~SingleInstance()
{
    if (m_lock >= 0)
        ::close(m_lock); // the lock goes with it
}

QString SingleInstance::lockPath() const
{
    return QDir::tempPath() + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

bool SingleInstance::askRunningCopy()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(500))
        return false;
    socket.write("activate\n");
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim()
{
    // The lock decides, atomically: of two copies started at the same moment exactly one
    // holds it. It is let go when its holder ends in any way, so a crashed copy leaves
    // nothing that stands in the way.
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        singleInstanceLog().error("Could not open the lock %s (%s); running without the single-copy check",
                       path.constData(), std::strerror(errno));
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        // The holder may still be starting: give it a few seconds to listen.
        for (int attempt = 0; attempt < 25; ++attempt) {
            if (askRunningCopy()) {
                singleInstanceLog().info("Another copy is running; asked it to show its window");
                return false;
            }
            QThread::msleep(200);
        }
        singleInstanceLog().info("Another copy is running but did not answer; this one ends");
        return false;
    } else {
        m_lock = fd;
    }
    // The lock is ours: a socket still there was left by a copy that crashed.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        singleInstanceLog().error("Could not listen for later launches: %s", qUtf8Printable(m_server->errorString()));
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            // Only the first word matters: whatever else a client sends is never held.
            socket->setReadBufferSize(64);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->read(64).startsWith("activate"))
                    emit activationRequested();
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace qv
