#pragma once

#include <QString>

#include <xcb/xcb.h>

namespace qv::host {

// A connection of its own to the X server named by display (empty: $DISPLAY), or null when
// there is none; with the first screen's root window. Close it with xcb_disconnect.
xcb_connection_t *connectToX(const QString &display, xcb_window_t *root);

} // namespace qv::host
