#include "platform/desktop/DesktopKeyMonitors.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace qv {

namespace {

#if QT_CONFIG(xcb)
constexpr quint32 kEscapeKeysym = 0xff1b;

xcb_connection_t *x11Connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The first keycode whose keysyms include keysym, 0 for none.
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
    free(reply);
    return found;
}
#endif

} // namespace

DesktopKeyMonitors::DesktopKeyMonitors(QObject *parent) : QObject(parent) {}

DesktopKeyMonitors::~DesktopKeyMonitors()
{
    ungrabEscape();
}

int DesktopKeyMonitors::keyCodeForQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return kKeyCodeEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kKeyCodeReturn;
    case Qt::Key_Tab:
        return kKeyCodeTab;
    case Qt::Key_Space:
        return kKeyCodeSpace;
    case Qt::Key_Backspace:
        return kKeyCodeDelete;
    default:
        break;
    }
    // The letters, by their place on the keyboard.
    static const QMap<int, int> letters{{Qt::Key_A, 0},  {Qt::Key_S, 1},  {Qt::Key_D, 2},  {Qt::Key_F, 3},
                                        {Qt::Key_H, 4},  {Qt::Key_G, 5},  {Qt::Key_Z, 6},  {Qt::Key_X, 7},
                                        {Qt::Key_C, 8},  {Qt::Key_V, 9},  {Qt::Key_B, 11}, {Qt::Key_Q, 12},
                                        {Qt::Key_W, 13}, {Qt::Key_E, 14}, {Qt::Key_R, 15}, {Qt::Key_Y, 16},
                                        {Qt::Key_T, 17}, {Qt::Key_O, 31}, {Qt::Key_U, 32}, {Qt::Key_I, 34},
                                        {Qt::Key_P, 35}, {Qt::Key_L, 37}, {Qt::Key_J, 38}, {Qt::Key_K, 40},
                                        {Qt::Key_N, 45}, {Qt::Key_M, 46}};
    return letters.value(qtKey, -1);
}

KeyMonitors::MonitorToken DesktopKeyMonitors::addLocalKeyDownMonitor(LocalHandler handler)
{
    if (!handler || !qApp)
        return 0;
    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    const MonitorToken token = m_next++;
    m_local.insert(token, std::move(handler));
    return token;
}

KeyMonitors::MonitorToken DesktopKeyMonitors::addGlobalKeyDownMonitor(GlobalHandler handler)
{
    if (!handler)
        return 0;
    if (m_global.isEmpty() && !grabEscape())
        return 0;
    const MonitorToken token = m_next++;
    m_global.insert(token, std::move(handler));
    return token;
}

void DesktopKeyMonitors::removeMonitor(MonitorToken token)
{
    m_local.remove(token);
    if (m_global.remove(token) && m_global.isEmpty())
        ungrabEscape();
    if (m_local.isEmpty() && m_filtering && qApp) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
}

bool DesktopKeyMonitors::eventFilter(QObject *watched, QEvent *event)
{
    // A key press reaches the window first and then its items: look at it once.
    if (event->type() != QEvent::KeyPress || !qobject_cast<QWindow *>(watched))
        return false;
    const int keyCode = keyCodeForQtKey(static_cast<QKeyEvent *>(event)->key());
    const auto monitors = m_local;
    for (auto it = monitors.begin(); it != monitors.end(); ++it)
        if (m_local.contains(it.key()) && it.value()(keyCode))
            return true;
    return false;
}

bool DesktopKeyMonitors::grabEscape()
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11Connection();
    if (!connection) {
        m_logger.info("Global key monitors are not available on the \"%s\" platform",
                      qUtf8Printable(QGuiApplication::platformName()));
        return false;
    }
    const quint8 keycode = keycodeFor(connection, kEscapeKeysym);
    if (keycode == 0) {
        m_logger.error("The keyboard has no Escape key to watch");
        return false;
    }
    // Synchronous keyboard mode: each press is held until it is replayed to its window.
    xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, rootWindow(connection), XCB_MOD_MASK_ANY, keycode,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
    if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
        m_logger.error("Escape cannot be watched outside the application (X error %d)", int(error->error_code));
        free(error);
        return false;
    }
    m_escapeKeycode = keycode;
    qApp->installNativeEventFilter(this);
    return true;
#else
    m_logger.info("Global key monitors are not available on the \"%s\" platform",
                  qUtf8Printable(QGuiApplication::platformName()));
    return false;
#endif
}

void DesktopKeyMonitors::ungrabEscape()
{
#if QT_CONFIG(xcb)
    if (m_escapeKeycode == 0)
        return;
    if (xcb_connection_t *connection = x11Connection()) {
        xcb_ungrab_key(connection, m_escapeKeycode, rootWindow(connection), XCB_MOD_MASK_ANY);
        xcb_flush(connection);
    }
    if (qApp)
        qApp->removeNativeEventFilter(this);
    m_escapeKeycode = 0;
#endif
}

bool DesktopKeyMonitors::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (m_escapeKeycode == 0 || eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    xcb_connection_t *connection = x11Connection();
    if (press->detail != m_escapeKeycode || !connection || press->event != rootWindow(connection))
        return false;
    // Let the key go on to the window it was meant for.
    xcb_allow_events(connection, XCB_ALLOW_REPLAY_KEYBOARD, press->time);
    xcb_flush(connection);
    // While one of our windows has the focus the replayed key reaches the local monitors.
    if (!QGuiApplication::focusWindow()) {
        const auto monitors = m_global;
        for (auto it = monitors.begin(); it != monitors.end(); ++it)
            if (m_global.contains(it.key()))
                it.value()(kKeyCodeEscape);
    }
    return true;
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    return false;
#endif
}

} // namespace qv
