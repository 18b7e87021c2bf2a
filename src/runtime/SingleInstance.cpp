#include "runtime/SingleInstance.h"

#include "runtime/Logging.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace qv {

namespace {
const Logger &logger()
{
    static Logger l("App");
    return l;
}
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}

QString SingleInstance::defaultName()
{
    return QStringLiteral("com.tebrix.Quellvista-%1").arg(getuid());
}

bool SingleInstance::claim()
{
    {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(500)) {
            socket.write("activate\n");
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            logger().info("Another copy is running; asked it to show its window");
            return false;
        }
    }
    // No answer: a socket left by a copy that crashed is stale.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        logger().error("Could not listen for later launches: %s", qUtf8Printable(m_server->errorString()));
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("activate"))
                    emit activationRequested();
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace qv
