#include "platform/host/ManagerWatch.h"

#include "platform/x11/XConnection.h"

#include <xcb/xfixes.h>

namespace qv::host {

ManagerWatch::ManagerWatch(x11::XConnection &x, QObject *parent) : QObject(parent)
{
    xcb_connection_t *c = x.get();
    if (!c)
        return;
    // The screen the connection reaches: its root's place among the server's screens.
    int screen = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++screen) {
        if (it.data->root == x.root())
            break;
    }
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    // The version must be asked before any other request of the extension.
    if (!xfixes || !xfixes->present
        || !x.reply(xcb_xfixes_query_version_reply, xcb_xfixes_query_version(c, 5, 0), "asking the XFixes version"))
        return;
    QList<xcb_atom_t> selections;
    for (const QByteArray &name : {QByteArray("WM_S"), QByteArray("_NET_WM_CM_S")}) {
        const xcb_atom_t selection = x.atom((name + QByteArray::number(screen)).constData());
        if (selection == XCB_ATOM_NONE)
            return;
        selections << selection;
        xcb_xfixes_select_selection_input(c, x.root(), selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    xcb_flush(c);
    x.onEvent(quint8(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY), this,
              [this, selections](const xcb_generic_event_t &event) {
                  const auto &notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t &>(event);
                  if (selections.contains(notify.selection))
                      emit managerChanged();
              });
    m_watching = true;
}

} // namespace qv::host
