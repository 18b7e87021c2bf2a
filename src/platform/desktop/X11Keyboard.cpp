#include "platform/desktop/X11Keyboard.h"


#if QT_CONFIG(xcb)
#include "platform/x11/XConnection.h"
#include "runtime/Scheduler.h"

#include <QGuiApplication>
#include <QPointer>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>

namespace qv::x11 {

xcb_connection_t *connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

x11::XConnection *qtConnection()
{
    Q_ASSERT(isMainThread());
    static QPointer<x11::XConnection> wrapper; // goes with the application
    xcb_connection_t *qt = connection();
    if (!qt)
        return nullptr;
    if (!wrapper || wrapper->get() != qt)
        wrapper = new x11::XConnection(qt, Logger("X11"), qApp);
    return wrapper;
}

xcb_window_t rootWindow(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

quint8 keycodeFor(xcb_connection_t *connection, quint32 keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    quint8 found = 0;
    for (int i = 0; i < count && !found; ++i)
        for (int j = 0; j < perCode; ++j)
            if (syms[i * perCode + j] == keysym) {
                found = quint8(setup->min_keycode + i);
                break;
            }
    std::free(reply);
    return found;
}

quint16 modifierMaskFor(xcb_connection_t *connection, quint32 keysym)
{
    const quint8 keycode = keycodeFor(connection, keysym);
    if (keycode == 0)
        return 0;
    xcb_get_modifier_mapping_reply_t *reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return 0;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    quint16 mask = 0;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (codes[modifier * perModifier + i] == keycode) {
                mask = quint16(1u << modifier);
                break;
            }
    std::free(reply);
    return mask;
}

} // namespace qv::x11
#endif
