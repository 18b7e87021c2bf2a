#include "support/DummyXorg.h"

#include <QDeadlineTimer>
#include <QFile>

namespace qv::test {

DummyXorg::DummyXorg()
{
    const QString config = QStringLiteral(QV_TEST_SUPPORT_DIR "/dummy-xorg.conf");
    if (!QFile::exists(QStringLiteral("/usr/lib/xorg/modules/drivers/dummy_drv.so"))) {
        m_failure = QStringLiteral("the dummy video driver is not installed (xserver-xorg-video-dummy)");
        return;
    }
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.setStandardErrorFile(QProcess::nullDevice());
    // The server prints its display number when it is ready to take clients.
    m_server.start(QStringLiteral("Xorg"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-config"), config,
                    QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    QStringLiteral("-logfile"), m_folder.filePath(QStringLiteral("xorg.log"))});
    if (!m_server.waitForStarted(10000)) {
        m_failure = QStringLiteral("Xorg could not be started (xserver-xorg-core)");
        return;
    }
    QByteArray number;
    QDeadlineTimer deadline(30000);
    while (!number.contains('\n') && !deadline.hasExpired() && m_server.waitForReadyRead(int(deadline.remainingTime())))
        number += m_server.readAllStandardOutput();
    if (!number.contains('\n')) {
        QFile log(m_folder.filePath(QStringLiteral("xorg.log")));
        log.open(QIODevice::ReadOnly);
        m_failure = QStringLiteral("Xorg did not start: ") + QString::fromLocal8Bit(log.readAll().right(2000));
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

DummyXorg::~DummyXorg()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
        m_server.waitForFinished(10000);
    }
}

int DummyXorg::xrandr(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("xrandr"), arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool DummyXorg::enable(const QString &output, const QString &mode, QPoint position)
{
    // Adding a mode the output already has is an error; the output is lit all the same.
    xrandr({QStringLiteral("--current"), QStringLiteral("--addmode"), output, mode});
    return xrandr({QStringLiteral("--current"), QStringLiteral("--output"), output, QStringLiteral("--mode"), mode,
                   QStringLiteral("--pos"), QStringLiteral("%1x%2").arg(position.x()).arg(position.y())})
           == 0;
}

bool DummyXorg::disable(const QString &output)
{
    return xrandr({QStringLiteral("--current"), QStringLiteral("--output"), output, QStringLiteral("--off")}) == 0;
}

} // namespace qv::test
