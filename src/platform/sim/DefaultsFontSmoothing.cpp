#include "platform/sim/DefaultsFontSmoothing.h"

#include "platform/Processes.h"
#include "runtime/TextDecoding.h"

namespace qv {

DefaultsFontSmoothing::DefaultsFontSmoothing(Processes *processes, QObject *parent)
    : FontSmoothing(parent), m_processes(processes)
{
}

FontSmoothing::Outcome DefaultsFontSmoothing::readNow()
{
    Outcome outcome;
    const ProcessResult result = m_processes->run(kProgram, {"read", "-g", kKey}, kTimeoutMs);
    if (!result.started || result.timedOut || result.crashed) {
        outcome.failure = result.failure();
        return outcome;
    }
    // Output that is not UTF-8 counts as none.
    const QString text = text::decodeUtf8(result.standardOutput).value_or(QString()).trimmed();
    // "0" and "1" are the two answers of a set switch; nothing (a switch never set) means
    // smoothing is on. Anything else is read as on as well, and said, once for as long as
    // it stays so (the switch is read by several models at start).
    const bool set = text == QLatin1String("0") || text == QLatin1String("1");
    if (!set && text != m_lastUnusableText) {
        if (text.isEmpty())
            m_log.debug("Font smoothing switch is not set (exit status %d); taking it as enabled", result.exitCode);
        else
            m_log.error("Unexpected font smoothing value \"%s\"; taking it as enabled", qUtf8Printable(text.left(80)));
    }
    m_lastUnusableText = set ? std::optional<QString>() : std::optional<QString>(text);
    outcome.succeeded = true;
    outcome.disabled = text == QLatin1String("1");
    return outcome;
}

void DefaultsFontSmoothing::read(Done done)
{
    done(readNow());
}

void DefaultsFontSmoothing::write(bool disabled, Done done)
{
    const ProcessResult result =
        m_processes->run(kProgram, {"write", "-g", kKey, "-bool", disabled ? "YES" : "NO"}, kTimeoutMs);
    if (!result.succeeded()) {
        Outcome outcome;
        outcome.failure = result.failure();
        done(outcome);
        return;
    }
    // What the domain holds now is what counts.
    Outcome outcome = readNow();
    if (outcome.succeeded && outcome.disabled != disabled) {
        outcome.succeeded = false;
        outcome.notKept = true;
        outcome.failure = QStringLiteral("the setting reads back as %1").arg(*outcome.disabled ? "1" : "0");
    } else if (!outcome.succeeded) {
        outcome.failure = QStringLiteral("the setting cannot be read back: %1").arg(outcome.failure);
    }
    outcome.wrote = outcome.succeeded;
    done(outcome);
}

} // namespace qv
