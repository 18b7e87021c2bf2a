#pragma once

#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

namespace qv::x11 {

// The application's X server connection, null when the display server is not X11.
xcb_connection_t *connection();
xcb_window_t rootWindow(xcb_connection_t *connection);
// The first keycode whose keysyms include keysym, 0 for none.
quint8 keycodeFor(xcb_connection_t *connection, quint32 keysym);
// The modifier mask (Mod1 ... Mod5, Shift, Lock, Control) the keysym's key sets, 0 when
// no modifier carries it.
quint16 modifierMaskFor(xcb_connection_t *connection, quint32 keysym);

} // namespace qv::x11
#endif
