#include "runtime/ProcessRunner.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace qv {

ProcessResult ProcessRunner::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ProcessResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(5000)) {
        result.errorText = process.errorString();
        return result;
    }
    result.started = true;
    process.closeWriteChannel();

    // waitForReadyRead/waitForFinished read both channels into QProcess's buffers as data
    // arrives; take it out as we go so the buffers never hold the whole output twice.
    QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            result.timedOut = true;
            process.kill();
            process.waitForFinished(2000);
            break;
        }
        process.waitForFinished(int(qMin<qint64>(deadline.remainingTime(), 100)));
        result.standardOutput += process.readAllStandardOutput();
        result.standardError += process.readAllStandardError();
    }
    result.standardOutput += process.readAllStandardOutput();
    result.standardError += process.readAllStandardError();
    if (!result.timedOut) {
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.exitCode = process.exitCode();
    }
    if (result.timedOut)
        result.errorText = QStringLiteral("timed out after %1 ms").arg(timeoutMs);
    else if (result.crashed)
        result.errorText = process.errorString();
    return result;
}

} // namespace qv
