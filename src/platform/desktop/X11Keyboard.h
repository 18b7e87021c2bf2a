#pragma once

#include <QtGui/qtguiglobal.h>

namespace qv::x11 {
// The lock modifiers a grab must also be made with: Caps Lock, and the Mod2 that usually
// carries Num Lock (whose real mask comes from modifierMaskFor(kNumLockKeysym)).
inline constexpr quint16 kLockMask = 1 << 1;
inline constexpr quint16 kMod2Mask = 1 << 4;
inline constexpr quint32 kNumLockKeysym = 0xff7f;
} // namespace qv::x11

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

namespace qv::x11 {
class XConnection;
}

namespace qv::x11 {

// The application's X server connection, null when the display server is not X11.
xcb_connection_t *connection();
// The same connection behind the host back-ends' wrapper (atoms, replies and errors; its
// events stay Qt's), null when the display server is not X11. Main thread only.
x11::XConnection *qtConnection();
xcb_window_t rootWindow(xcb_connection_t *connection);
// The first keycode whose keysyms include keysym, 0 for none.
quint8 keycodeFor(xcb_connection_t *connection, quint32 keysym);
// The modifier mask (Mod1 ... Mod5, Shift, Lock, Control) the keysym's key sets, 0 when
// no modifier carries it.
quint16 modifierMaskFor(xcb_connection_t *connection, quint32 keysym);

} // namespace qv::x11
#endif
