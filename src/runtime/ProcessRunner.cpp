#include "runtime/ProcessRunner.h"

#include "runtime/TextDecoding.h"

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

    // waitForReadyRead reads both channels into QProcess's buffers as data arrives, and
    // returns once the channel waited on got some: taken out as it comes, in short turns on
    // each channel, the output is never held twice nor read far beyond the limit.
    QDeadlineTimer deadline(timeoutMs);
    bool outputTurn = true;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            result.timedOut = true;
            process.kill();
            process.waitForFinished(2000);
            break;
        }
        process.setReadChannel(outputTurn ? QProcess::StandardOutput : QProcess::StandardError);
        outputTurn = !outputTurn;
        const int slice = int(qMin<qint64>(deadline.remainingTime(), 20));
        // Nothing came (or the channel is closed while the child runs on): wait for its end.
        if (!process.waitForReadyRead(slice) && process.state() != QProcess::NotRunning)
            process.waitForFinished(slice);
        result.standardOutput += process.readAllStandardOutput();
        result.standardError += process.readAllStandardError();
        if (result.standardOutput.size() > kMaxOutputBytes || result.standardError.size() > kMaxOutputBytes) {
            result.tooMuchOutput = true;
            process.kill();
            process.waitForFinished(2000);
            break;
        }
    }
    if (!result.tooMuchOutput) {
        result.standardOutput += process.readAllStandardOutput();
        result.standardError += process.readAllStandardError();
    }
    result.standardOutput.truncate(kMaxOutputBytes);
    result.standardError.truncate(kMaxOutputBytes);
    if (!result.timedOut && !result.tooMuchOutput) {
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.exitCode = process.exitCode();
    }
    if (result.tooMuchOutput)
        result.errorText = QStringLiteral("wrote more than %1 bytes").arg(kMaxOutputBytes);
    else if (result.timedOut)
        result.errorText = QStringLiteral("timed out after %1 ms").arg(timeoutMs);
    else if (result.crashed)
        result.errorText = process.errorString();
    return result;
}

QString ProcessResult::failure() const
{
    if (!started)
        return errorText.isEmpty() ? QStringLiteral("the command could not be started") : errorText;
    if (timedOut)
        return QStringLiteral("the command ran past its time limit");
    if (crashed)
        return QStringLiteral("the command crashed");
    if (tooMuchOutput)
        return QStringLiteral("the command wrote more than it may");
    const QString error = text::decodeUtf8OrLatin1(standardError).trimmed().left(200);
    return error.isEmpty() ? QStringLiteral("the command exited with status %1").arg(exitCode)
                           : QStringLiteral("the command exited with status %1: %2").arg(exitCode).arg(error);
}

} // namespace qv
