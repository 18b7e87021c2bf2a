#include "display/FontSmoothingController.h"

#include "platform/Platform.h"
#include "platform/Processes.h"
#include "platform/Workspace.h"
#include "runtime/Files.h"
#include "runtime/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

FontSmoothingController::FontSmoothingController(QObject *parent) : QObject(parent), m_onHost(platform().onHost)
{
    if (!m_onHost)
        return;
    // Unknown until the first refresh finds the setting.
    m_isAvailable = false;
    if (Workspace *workspace = platform().workspace)
        connect(workspace, &Workspace::applicationWillTerminate, this, &FontSmoothingController::restoreDesktopValue);
    // A run that ended without terminating left its switch in place.
    if (QFile::exists(keptValuePath()))
        restoreDesktopValue();
}

void FontSmoothingController::refresh()
{
    if (m_onHost) {
        refreshDesktop();
        return;
    }
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
    if (m_onHost) {
        setDesktopDisabled(disabled);
        return;
    }
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

// ---- the Linux desktop's font antialiasing ----

namespace {
const QString kNone = QStringLiteral("none");
const QString kOriginalField = QStringLiteral("original");
const QString kWrittenField = QStringLiteral("written");
} // namespace

QString FontSmoothingController::keptValuePath() const
{
    return QDir(files::applicationSupportDirectory()).filePath(kKeptValueFile);
}

std::optional<QString> FontSmoothingController::keptValue() const
{
    const files::StoredFile stored = files::readStoredFile(keptValuePath());
    if (stored.state != files::StoredFile::State::read)
        return std::nullopt;
    const QString value = QJsonDocument::fromJson(stored.bytes).object().value(kOriginalField).toString();
    return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
}

std::optional<QString> FontSmoothingController::readDesktopValue(QString *failure)
{
    const ProcessResult result =
        platform().processes->run(kDesktopProgram, {"get", kDesktopSchema, kDesktopKey}, kTimeoutMs);
    if (!result.succeeded()) {
        *failure = failureText(result);
        return std::nullopt;
    }
    // An enumeration prints as its quoted name: 'grayscale'.
    QString value = trimmedUtf8(result.standardOutput);
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    if (value != kNone && value != QLatin1String("grayscale") && value != QLatin1String("rgba")) {
        *failure = QStringLiteral("an unknown value \"%1\"").arg(value.left(80));
        return std::nullopt;
    }
    return value;
}

bool FontSmoothingController::writeDesktopValue(const QString &value, QString *failure)
{
    const ProcessResult result =
        platform().processes->run(kDesktopProgram, {"set", kDesktopSchema, kDesktopKey, value}, kTimeoutMs);
    if (result.succeeded())
        return true;
    *failure = failureText(result);
    return false;
}

void FontSmoothingController::refreshDesktop()
{
    QString failure;
    const std::optional<QString> value = readDesktopValue(&failure);
    if (!value) {
        if (!m_unavailableReported) {
            m_unavailableReported = true;
            m_log.error("Font smoothing cannot be switched on this desktop: %s", qUtf8Printable(failure));
        }
        assignAvailable(false);
        assignDisabled(false);
        return;
    }
    assignAvailable(true);
    assignDisabled(*value == kNone);
}

void FontSmoothingController::setDesktopDisabled(bool disabled)
{
    if (!m_isAvailable) {
        m_log.error("Failed to toggle font smoothing: the setting is not available on this desktop");
        return;
    }
    QString failure;
    const std::optional<QString> current = readDesktopValue(&failure);
    if (!current) {
        m_log.error("Failed to toggle font smoothing: %s", qUtf8Printable(failure));
        return;
    }
    // The desktop's own value is kept before the first change, so that it can be put back
    // whatever happens to this process; without it nothing is changed.
    std::optional<QString> original = keptValue();
    if (!original)
        original = *current;
    const QString target = disabled ? kNone : (*original != kNone ? *original : QStringLiteral("grayscale"));
    const auto keep = [&](const QString &written) {
        QString error;
        const QJsonObject object{{kOriginalField, *original}, {kWrittenField, written}};
        if (files::writeAtomically(keptValuePath(), QJsonDocument(object).toJson(QJsonDocument::Compact), &error))
            return true;
        m_log.error("Failed to toggle font smoothing: the desktop's value cannot be kept (%s)", qUtf8Printable(error));
        return false;
    };
    if (!keep(target))
        return;
    if (!writeDesktopValue(target, &failure)) {
        // Whatever the failed command did, the desktop keeps the value it had.
        QString ignored;
        writeDesktopValue(*current, &ignored);
        if (*current == *original)
            QFile::remove(keptValuePath());
        else
            keep(*current);
        m_log.error("Failed to toggle font smoothing: %s", qUtf8Printable(failure));
        return;
    }
    if (target == *original)
        QFile::remove(keptValuePath()); // the desktop is as the user had it
    assignDisabled(disabled);
    m_lastToggleTime = scheduler().now();
    emit lastToggleTimeChanged();
    m_log.info("Font smoothing set to %s", disabled ? "DISABLED" : "ENABLED");
}

void FontSmoothingController::restoreDesktopValue()
{
    const files::StoredFile stored = files::readStoredFile(keptValuePath());
    if (stored.state == files::StoredFile::State::absent)
        return;
    const QJsonObject object = QJsonDocument::fromJson(stored.bytes).object();
    const QString original = object.value(kOriginalField).toString();
    const QString written = object.value(kWrittenField).toString();
    if (original.isEmpty()) {
        m_log.error("Ignoring the kept font antialiasing value: the file cannot be read");
        QFile::remove(keptValuePath());
        return;
    }
    QString failure;
    const std::optional<QString> current = readDesktopValue(&failure);
    if (!current) {
        m_log.error("Could not put back the desktop's font antialiasing: %s", qUtf8Printable(failure));
        return; // kept for the next start
    }
    // A value the user chose since (not the one written here) is theirs to keep.
    if (*current == written && *current != original && !writeDesktopValue(original, &failure)) {
        m_log.error("Could not put back the desktop's font antialiasing: %s", qUtf8Printable(failure));
        return;
    }
    QFile::remove(keptValuePath());
    m_log.info("Font antialiasing put back to %s", qUtf8Printable(*current == written ? original : *current));
    assignDisabled((*current == written ? original : *current) == kNone);
}

void FontSmoothingController::assignAvailable(bool available)
{
    if (available == m_isAvailable)
        return;
    m_isAvailable = available;
    emit isAvailableChanged();
}

void FontSmoothingController::assignDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    m_isDisabled = disabled;
    emit isDisabledChanged();
}

} // namespace qv
