#pragma once

#include <QColor>

#include <optional>

namespace qv {

// The colour a system tray host asks its icons to draw in: the first of the colours it
// publishes on its manager window (_NET_SYSTEM_TRAY_COLORS: foreground, error, warning,
// success, each as 16-bit red, green, blue). Nothing when it publishes none, or off X11.
std::optional<QColor> trayHostForeground(quint32 trayManagerWindow);

// Whether a window of this application is embedded in another client's window (as a tray
// host embeds its icons) and shown there. Nothing off X11.
std::optional<bool> isEmbeddedAndShown(quintptr window);

// Asks a system tray host (its manager window) to embed a window as an icon
// (SYSTEM_TRAY_REQUEST_DOCK). False off X11.
bool requestTrayDock(quint32 trayManagerWindow, quintptr window);

} // namespace qv
