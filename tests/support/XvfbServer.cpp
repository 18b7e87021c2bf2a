#include "support/XvfbServer.h"

namespace qv::test {

XvfbServer::XvfbServer(const QString &screen) : m_process(std::make_unique<QProcess>())
{
    // Xvfb writes the display number it chose to the descriptor given (standard output).
    m_process->setProgram(QStringLiteral("Xvfb"));
    m_process->setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                             QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                             QStringLiteral("-noreset")});
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->start();
    if (!m_process->waitForStarted(10000))
        return;
    QByteArray out;
    while (!out.contains('\n') && m_process->waitForReadyRead(20000))
        out += m_process->readAllStandardOutput();
    const QByteArray number = out.trimmed();
    if (!number.isEmpty())
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
}

XvfbServer::~XvfbServer()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_process->waitForFinished(10000);
    }
}

} // namespace qv::test
