#include "PrivateBus.h"

#include "support/SessionBusConfig.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace qv::test {

namespace {
constexpr const char *kPython = "/usr/bin/python3";
constexpr int kStartLimitMs = 20'000;
int g_busCount = 0;
} // namespace

bool PrivateBus::mockAvailable()
{
    QProcess probe;
    probe.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    return probe.waitForFinished(20'000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

PrivateBus::PrivateBus()
{
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QDir(m_dir.path()).mkdir(QStringLiteral("services"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                              "<auth>EXTERNAL</auth><servicedir>%1/services</servicedir><policy context=\"default\"><allow send_destination=\"*\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                   .arg(m_dir.path())
                   .toUtf8());
    file.close();
    m_daemon.start(QStringLiteral(QV_DBUS_DAEMON),
                   {QStringLiteral("--config-file=%1").arg(config), QStringLiteral("--address=unix:dir=%1").arg(m_dir.path()),
                    QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(kStartLimitMs))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(kStartLimitMs)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        return;
    m_connection = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(m_address, QStringLiteral("private-bus-%1").arg(++g_busCount)));
}

PrivateBus::~PrivateBus()
{
    for (auto &[service, process] : m_mocks) {
        ::kill(pid_t(process->processId()), SIGCONT);
        process->terminate();
        process->waitForFinished(5'000);
        delete process;
    }
    if (m_connection)
        QDBusConnection::disconnectFromBus(m_connection->name());
    m_daemon.terminate();
    m_daemon.waitForFinished(5'000);
}

void PrivateBus::stopDaemon()
{
    m_daemon.terminate();
    m_daemon.waitForFinished(5'000);
}

bool PrivateBus::startMock(const QString &service, const QStringList &arguments)
{
    return startService(service, QString(), arguments);
}

bool PrivateBus::startService(const QString &service, const QString &script, const QStringList &arguments)
{
    if (!isRunning())
        return false;
    auto *process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    // A service stopped (pauseMock) stays stopped until the test lets it go on: in a session of
    // its own, the kernel's SIGHUP and SIGCONT to a process group that loses its last parent
    // outside it (the shell that started the test exiting, say) never reach it. It ends with
    // the test program.
    process->setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    process->start(QString::fromLatin1(kPython),
                   (script.isEmpty() ? QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock")} : QStringList{script})
                       + arguments);
    m_mocks.append({service, process});
    QDBusConnectionInterface *bus = m_connection->interface();
    return QTest::qWaitFor([&] { return bus->isServiceRegistered(service).value(); }, kStartLimitMs);
}

bool PrivateBus::makeActivatable(const QString &service, const QStringList &arguments)
{
    QStringList words{QString::fromLatin1(kPython), QStringLiteral("-m"), QStringLiteral("dbusmock")};
    for (const QString &argument : arguments)
        words << QStringLiteral("'%1'").arg(argument);
    QFile file(m_dir.filePath(QStringLiteral("services/%1.service").arg(service)));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n").arg(service, words.join(QLatin1Char(' '))).toUtf8());
    file.close();
    // The daemon reads its services folder again now, not when it notices the file.
    return call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"))
        .isEmpty();
}

void PrivateBus::stopMock(const QString &service)
{
    for (qsizetype i = 0; i < m_mocks.size(); ++i) {
        if (m_mocks.at(i).first != service)
            continue;
        QProcess *process = m_mocks.takeAt(i).second;
        ::kill(pid_t(process->processId()), SIGCONT);
        process->terminate();
        process->waitForFinished(5'000);
        delete process;
        QDBusConnectionInterface *bus = m_connection->interface();
        (void)QTest::qWaitFor([&] { return !bus->isServiceRegistered(service).value(); }, kStartLimitMs);
        return;
    }
}

void PrivateBus::pauseMock(const QString &service, bool paused)
{
    for (const auto &[name, process] : std::as_const(m_mocks))
        if (name == service)
            ::kill(pid_t(process->processId()), paused ? SIGSTOP : SIGCONT);
}

QString PrivateBus::call(const QString &service, const QString &path, const QString &interface, const QString &method,
                         const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_connection->call(message, QDBus::Block, kStartLimitMs);
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() + QStringLiteral(": ") + reply.errorMessage()
                                                      : QString();
}

QString PrivateBus::setProperty(const QString &service, const QString &path, const QString &interface,
                                const QString &name, const QVariant &value)
{
    return call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {interface, name, QVariant::fromValue(QDBusVariant(value))});
}

QString PrivateBus::emitSignal(const QString &service, const QString &path, const QString &interface,
                               const QString &name, const QString &signature, const QVariantList &arguments)
{
    QVariantList wrapped;
    for (const QVariant &argument : arguments)
        wrapped << QVariant::fromValue(QDBusVariant(argument));
    return call(service, path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                {interface, name, signature, QVariant::fromValue(wrapped)});
}

} // namespace qv::test
