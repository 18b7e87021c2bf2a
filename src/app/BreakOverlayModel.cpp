#include "app/BreakOverlayModel.h"

namespace qv {

BreakOverlayModel::BreakOverlayModel(QObject *parent) : BreakOverlayModel(nullptr, parent) {}

BreakOverlayModel::BreakOverlayModel(BreakReminder *reminder, QObject *parent) : QObject(parent)
{
    setReminder(reminder);
    m_messageTimer = scheduler().every(kMessageIntervalMs, this, [this] { advanceMessage(); });
}

void BreakOverlayModel::setReminder(BreakReminder *reminder)
{
    if (reminder == m_reminder)
        return;
    disconnect(m_secondsConnection);
    m_reminder = reminder;
    if (reminder)
        m_secondsConnection = connect(reminder, &BreakReminder::breakSecondsRemainingChanged, this,
                                      &BreakOverlayModel::secondsRemainingChanged);
    emit reminderChanged();
    emit secondsRemainingChanged();
}

int BreakOverlayModel::secondsRemaining() const
{
    return m_reminder ? m_reminder->breakSecondsRemaining() : kDefaultSeconds;
}

QStringList BreakOverlayModel::messages()
{
    return {QStringLiteral("Blink slowly. Relax your jaw and shoulders."),
            QStringLiteral("You deserve this moment."),
            QStringLiteral("Let your focus soften into the distance."),
            QStringLiteral("Take a slow, deep breath.")};
}

void BreakOverlayModel::skip()
{
    if (m_reminder)
        m_reminder->endBreak(false);
}

void BreakOverlayModel::advanceMessage()
{
    m_messageIndex = nextMessageIndex(m_messageIndex, int(messages().size()));
    emit messageIndexChanged();
}

} // namespace qv
