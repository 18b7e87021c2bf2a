#include "platform/host/XConnection.h"

#include <cstdlib>

namespace qv::host {

xcb_connection_t *connectToX(const QString &display, xcb_window_t *root)
{
    const QByteArray name = display.toLocal8Bit();
    if (name.isEmpty() && !std::getenv("DISPLAY"))
        return nullptr;
    xcb_connection_t *connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    *root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    return connection;
}

} // namespace qv::host
