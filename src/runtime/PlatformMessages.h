#pragma once

#include <QString>

namespace qv {

// Keeps the platform plugin's notes on window-manager messages it does not handle and that
// ask nothing of the application (_KDE_WM_CHANGE_STATE, sent by openbox on every state
// change) out of the log; every other message goes on to the handler installed before.
void installQuietPlatformMessages();
// Whether installQuietPlatformMessages drops a message.
bool isQuietPlatformMessage(const char *category, const QString &text);

} // namespace qv
