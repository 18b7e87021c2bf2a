#pragma once

#include <QtGlobal>

namespace qv {

class BreakReminder;

// What the break schedule asks of whoever shows a break: the full-screen panel with its
// Esc-key monitors, and the system notification. The schedule decides when a break starts
// and ends; the presenter only shows and hides.
class BreakPresenter {
public:
    virtual ~BreakPresenter() = default;

    // Once, when the schedule is created: ask for permission to post alerts with sound.
    // The answer is not used.
    virtual void requestNotificationAuthorization() = 0;

    // Shows the full-screen break panel for the reminder's running break and installs the
    // Esc monitors, which end the break uncounted through reminder.endBreak(false).
    // Returns the panel's id, or 0 when no panel could be shown (no main screen).
    virtual quint64 showBreakOverlay(BreakReminder &reminder) = 0;
    // The break ended: remove the Esc monitors of the panel. The panel stays up until
    // closeBreakOverlay(), so that the event that ended the break finishes first.
    virtual void removeEscMonitors(quint64 panel) = 0;
    virtual void closeBreakOverlay(quint64 panel) = 0;

    // Posts the break notification for the reminder's break now.
    virtual void sendBreakNotification(BreakReminder &reminder) = 0;
};

} // namespace qv
