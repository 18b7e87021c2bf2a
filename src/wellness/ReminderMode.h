#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// How a break is presented.
class ReminderModes {
    Q_GADGET
public:
    enum class ReminderMode {
        fullScreen,   // "Full Screen Overlay": the full-screen break panel
        notification, // "System Notification": a system notification
        menuBarOnly,  // "Menu Bar Flash": nothing at the break itself
    };
    Q_ENUM(ReminderMode)
};

using ReminderMode = ReminderModes::ReminderMode;

// The stored and shown text of a mode, and back (an exact, case-sensitive match).
QString rawValue(ReminderMode mode);
std::optional<ReminderMode> reminderModeFromRawValue(const QString &rawValue);
QList<ReminderMode> allReminderModes();

} // namespace qv
