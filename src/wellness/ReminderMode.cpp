#include "wellness/ReminderMode.h"

namespace qv {

QString rawValue(ReminderMode mode)
{
    switch (mode) {
    case ReminderMode::fullScreen:
        return QStringLiteral("Full Screen Overlay");
    case ReminderMode::notification:
        return QStringLiteral("System Notification");
    case ReminderMode::menuBarOnly:
        return QStringLiteral("Menu Bar Flash");
    }
    return QString();
}

std::optional<ReminderMode> reminderModeFromRawValue(const QString &text)
{
    for (ReminderMode mode : allReminderModes())
        if (text == rawValue(mode))
            return mode;
    return std::nullopt;
}

QList<ReminderMode> allReminderModes()
{
    return {ReminderMode::fullScreen, ReminderMode::notification, ReminderMode::menuBarOnly};
}

} // namespace qv
