#include "support/WaylandTestCompositor.h"

#include <QDir>

#include <csignal>

namespace qv::test {

namespace {
constexpr int kAnswerMs = 5000;
}

WaylandTestCompositor::WaylandTestCompositor(const QStringList &options) : m_process(std::make_unique<QProcess>())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral(QV_TEST_COMPOSITOR), options);
    if (!m_process->waitForStarted(kAnswerMs))
        return;
    const QString socket = command({});
    if (!socket.isEmpty())
        m_socket = QDir(m_runtime.path()).filePath(socket);
}

WaylandTestCompositor::~WaylandTestCompositor()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->write("quit\n");
    if (!m_process->waitForFinished(kAnswerMs))
        m_process->kill();
    m_process->waitForFinished(kAnswerMs);
}

QString WaylandTestCompositor::command(const QString &line)
{
    if (!line.isEmpty())
        m_process->write((line + QLatin1Char('\n')).toUtf8());
    while (!m_process->canReadLine()) {
        if (m_process->state() != QProcess::Running || !m_process->waitForReadyRead(kAnswerMs))
            return {};
    }
    return QString::fromUtf8(m_process->readLine()).trimmed();
}

void WaylandTestCompositor::addOutput(const QString &name, int size, const QString &make, const QString &model,
                                      const QString &serial)
{
    command(QStringLiteral("add %1 %2 %3 %4 %5").arg(name).arg(size).arg(make, model, serial).trimmed());
}

void WaylandTestCompositor::removeOutput(const QString &name)
{
    command(QStringLiteral("remove ") + name);
}

void WaylandTestCompositor::failControl(const QString &name)
{
    command(QStringLiteral("fail ") + name);
}

WaylandTestCompositor::Shown WaylandTestCompositor::shown(const QString &name)
{
    const QStringList words = command(QStringLiteral("ramp ") + name).split(QLatin1Char(' '));
    Shown shown;
    if (words.size() < 4 || words[0] != QLatin1String("ramp"))
        return shown;
    const int size = words[1].toInt();
    shown.writes = words[2].toInt();
    shown.held = words[3] == QLatin1String("1");
    const QStringList values = words.mid(4);
    if (values.size() != 3 * size)
        return shown;
    QList<quint16> *channels[] = {&shown.ramp.red, &shown.ramp.green, &shown.ramp.blue};
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < size; ++i)
            channels[c]->append(quint16(values[c * size + i].toUInt()));
    }
    return shown;
}

int WaylandTestCompositor::controlRequests(const QString &name)
{
    return command(QStringLiteral("asked ") + name).section(QLatin1Char(' '), 1).toInt();
}

QList<quint32> WaylandTestCompositor::idleTimeouts()
{
    QList<quint32> timeouts;
    const QStringList words = command(QStringLiteral("timeouts")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words.mid(1))
        timeouts << word.toUInt();
    return timeouts;
}

void WaylandTestCompositor::setIdle(bool idle)
{
    command(idle ? QStringLiteral("idle") : QStringLiteral("active"));
}

void WaylandTestCompositor::withdrawIdleNotifier()
{
    command(QStringLiteral("withdraw-idle"));
}

void WaylandTestCompositor::kill()
{
    m_process->kill();
    m_process->waitForFinished(kAnswerMs);
}

} // namespace qv::test

namespace qv::test {

void WaylandTestCompositor::freeze(bool frozen)
{
    ::kill(pid_t(m_process->processId()), frozen ? SIGSTOP : SIGCONT);
}

} // namespace qv::test
