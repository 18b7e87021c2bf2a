#include "display/FontSmoothingController.h"

#include "platform/Platform.h"
#include "platform/Processes.h"
#include "runtime/Scheduler.h"

#include <QStringDecoder>

namespace qv {

namespace {

// The text with white space and line ends trimmed; bytes that are not UTF-8 give nothing.
QString trimmedUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text.trimmed();
}

// Why a finished command did not succeed, in a few words.
QString failureText(const ProcessResult &result)
{
    if (!result.started)
        return result.errorText.isEmpty() ? QStringLiteral("the command could not be started") : result.errorText;
    if (result.timedOut)
        return QStringLiteral("the command ran past its time limit");
    if (result.crashed)
        return QStringLiteral("the command crashed");
    const QString error = trimmedUtf8(result.standardError);
    return error.isEmpty() ? QStringLiteral("the command exited with status %1").arg(result.exitCode)
                           : QStringLiteral("the command exited with status %1: %2").arg(result.exitCode).arg(error);
}

} // namespace

FontSmoothingController::FontSmoothingController(QObject *parent) : QObject(parent) {}

void FontSmoothingController::refresh()
{
    const ProcessResult result = platform().processes->run(kProgram, {"read", "-g", kKey}, kTimeoutMs);
    if (!result.started || result.timedOut || result.crashed) {
        m_log.error("Could not read font smoothing (%s); keeping %s", qUtf8Printable(failureText(result)),
                    m_isDisabled ? "DISABLED" : "ENABLED");
        return;
    }
    const QString text = trimmedUtf8(result.standardOutput);
    // "0" and "1" are the two answers of a set switch; nothing (a switch never set) means
    // smoothing is on. Anything else is read as on as well, and said.
    if (text != QLatin1String("0") && text != QLatin1String("1")) {
        if (text.isEmpty())
            m_log.debug("Font smoothing switch is not set (exit status %d); taking it as enabled", result.exitCode);
        else
            m_log.error("Unexpected font smoothing value \"%s\"; taking it as enabled", qUtf8Printable(text.left(80)));
    }
    assignDisabled(text == QLatin1String("1"));
}

void FontSmoothingController::setDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    const ProcessResult result = platform().processes->run(
        kProgram, {"write", "-g", kKey, "-bool", disabled ? "YES" : "NO"}, kTimeoutMs);
    if (!result.succeeded()) {
        m_log.error("Failed to toggle font smoothing: %s", qUtf8Printable(failureText(result)));
        return;
    }
    assignDisabled(disabled);
    m_lastToggleTime = scheduler().now();
    emit lastToggleTimeChanged();
    m_log.info("Font smoothing set to %s", disabled ? "DISABLED" : "ENABLED");
}

void FontSmoothingController::assignDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    m_isDisabled = disabled;
    emit isDisabledChanged();
}

} // namespace qv
