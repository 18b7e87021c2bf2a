#include "platform/desktop/DesktopKeyMonitors.h"

#include "platform/KeyCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#if QT_CONFIG(xcb)
#include "platform/desktop/X11Keyboard.h"
#endif

namespace qv {

namespace {

#if QT_CONFIG(xcb)
constexpr quint32 kEscapeKeysym = 0xff1b;
using x11::kLockMask;
using x11::kMod2Mask;
using x11::kNumLockKeysym;
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
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return keyCodeForCharacter(QChar(qtKey));
    return -1;
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
    xcb_connection_t *connection = x11::connection();
    if (!connection) {
        m_logger.info("Global key monitors are not available on the \"%s\" platform",
                      qUtf8Printable(QGuiApplication::platformName()));
        return false;
    }
    const quint8 keycode = x11::keycodeFor(connection, kEscapeKeysym);
    if (keycode == 0) {
        m_logger.error("The keyboard has no Escape key to watch");
        return false;
    }
    // Escape alone, and with Caps Lock, Num Lock or both on: a press with any other
    // modifier is not the user's "stop". Grabbing every combination would fail wherever
    // the window manager binds one of them (Alt+Escape, say). Synchronous keyboard mode:
    // each press is held until it is replayed to its window.
    quint16 numLockMask = x11::modifierMaskFor(connection, kNumLockKeysym);
    if (!numLockMask)
        numLockMask = kMod2Mask;
    const xcb_window_t root = x11::rootWindow(connection);
    const QList<quint16> variants{0, kLockMask, numLockMask, quint16(kLockMask | numLockMask)};
    QList<xcb_void_cookie_t> cookies;
    for (quint16 modifiers : variants)
        cookies << xcb_grab_key_checked(connection, 1, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_SYNC);
    m_escapeModifiers.clear();
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookies[i])) {
            m_logger.error("Escape with modifiers 0x%x cannot be watched outside the application (X error %d)",
                           unsigned(variants[i]), int(error->error_code));
            free(error);
        } else {
            m_escapeModifiers << variants[i];
        }
    }
    // Without plain Escape the monitor would miss the usual press: give the others up.
    if (!m_escapeModifiers.contains(0)) {
        for (quint16 modifiers : std::as_const(m_escapeModifiers))
            xcb_ungrab_key(connection, keycode, root, modifiers);
        xcb_flush(connection);
        m_escapeModifiers.clear();
        m_logger.error("Escape cannot be watched outside the application");
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
    if (xcb_connection_t *connection = x11::connection()) {
        for (quint16 modifiers : std::as_const(m_escapeModifiers))
            xcb_ungrab_key(connection, m_escapeKeycode, x11::rootWindow(connection), modifiers);
        // A press the grab caught that this process has not read yet holds the whole
        // keyboard until it is replayed, and once the filter is gone nothing would replay
        // it: every key, Ctrl+Q included, would stay held. Let it go on now (the server
        // ignores this when no press is held).
        xcb_allow_events(connection, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
    if (qApp)
        qApp->removeNativeEventFilter(this);
    m_escapeKeycode = 0;
    m_escapeModifiers.clear();
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
    xcb_connection_t *connection = x11::connection();
    if (press->detail != m_escapeKeycode || !connection || press->event != x11::rootWindow(connection))
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
