#include "platform/desktop/WindowOcclusion.h"

#include "platform/desktop/X11Keyboard.h"
#include "runtime/Scheduler.h"

#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <vector>

#if QT_CONFIG(xcb)
#include "platform/x11/XConnection.h"

#include <xcb/shape.h>
#endif

namespace qv {

#if QT_CONFIG(xcb)
namespace {

using x11::XConnection;

// The depth of each of the screen's visuals: one of 32 bits carries an alpha channel.
int visualDepth(xcb_connection_t *connection, xcb_visualid_t visual)
{
    static QHash<xcb_visualid_t, int> depths;
    if (depths.isEmpty()) {
        for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens))
            for (auto d = xcb_screen_allowed_depths_iterator(screens.data); d.rem; xcb_depth_next(&d))
                for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                    depths.insert(v.data->visual_id, d.data->depth);
    }
    return depths.value(visual, 24);
}

// Whether the window asks to be drawn translucent: an opacity below full, or a visual
// with an alpha channel.
bool translucent(xcb_connection_t *connection, const xcb_get_window_attributes_reply_t *attributes,
                 const xcb_get_property_reply_t *opacity)
{
    if (attributes && visualDepth(connection, attributes->visual) == 32)
        return true;
    return opacity && opacity->type == XCB_ATOM_CARDINAL && opacity->format == 32
           && xcb_get_property_value_length(opacity) >= 4
           && *static_cast<const quint32 *>(xcb_get_property_value(opacity)) < 0xffffffffu;
}

} // namespace
#endif

WindowOcclusion &WindowOcclusion::shared()
{
    static WindowOcclusion instance;
    return instance;
}

WindowOcclusion::WindowOcclusion() = default;

bool WindowOcclusion::obscured(const Followed &followed) const
{
    return m_enabled && (m_blanked || followed.invisible || followed.covered);
}

void WindowOcclusion::report(QWindow *window, bool wasObscured)
{
    const auto it = window ? m_windows.constFind(window->winId()) : m_windows.cend();
    if (it != m_windows.cend() && obscured(*it) != wasObscured)
        emit outOfSightChanged(window);
}

void WindowOcclusion::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled)
        return;
    const QHash<quintptr, Followed> windows = std::exchange(m_windows, {});
    const bool blanked = m_blanked;
    for (const Followed &followed : windows)
        if (followed.window && (blanked || followed.invisible || followed.covered))
            emit outOfSightChanged(followed.window);
}

void WindowOcclusion::setScreenBlanked(bool blanked)
{
    if (blanked == m_blanked)
        return;
    QList<std::pair<QPointer<QWindow>, bool>> before;
    for (const Followed &followed : std::as_const(m_windows))
        before.append({followed.window, obscured(followed)});
    m_blanked = blanked;
    for (const auto &[window, was] : before)
        report(window, was);
}

bool WindowOcclusion::isFullyObscured(QWindow *window)
{
    if (!window || !m_enabled)
        return false;
    const quintptr id = window->winId();
    auto it = m_windows.find(id);
    if (it == m_windows.end() || it->window != window) {
        follow(window);
        return m_blanked;
    }
    return obscured(*it);
}

bool WindowOcclusion::coveredBy(const QRect &ours, const QList<Above> &above)
{
    if (ours.isEmpty())
        return false;
    QRegion left(ours);
    for (const Above &window : above) {
        if (!window.viewable || !window.opaque)
            continue;
        left -= window.shape;
        if (left.isEmpty())
            return true;
    }
    return false;
}

void WindowOcclusion::follow(QWindow *window)
{
    const quintptr id = window->winId();
    m_windows.insert(id, {window});
#if QT_CONFIG(xcb)
    XConnection *x = x11::qtConnection();
    if (!x)
        return;
    xcb_connection_t *connection = x->get();
    if (!m_filterInstalled) {
        qApp->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    // Add visibility changes to the events the window already selects.
    const auto attributes = x->reply(xcb_get_window_attributes_reply,
                                     xcb_get_window_attributes(connection, xcb_window_t(id)), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    xcb_change_window_attributes(connection, xcb_window_t(id), XCB_CW_EVENT_MASK, &mask);
    if (!m_rootWatched) {
        // The stacking order is a property of the root window.
        m_rootWatched = true;
        m_stackingAtom = x->atom("_NET_CLIENT_LIST_STACKING");
        m_opacityAtom = x->atom("_NET_WM_WINDOW_OPACITY");
        m_stateAtom = x->atom("_NET_WM_STATE");
        m_hiddenAtom = x->atom("_NET_WM_STATE_HIDDEN");
        const xcb_window_t root = x->root();
        const auto rootAttributes = x->reply(xcb_get_window_attributes_reply,
                                             xcb_get_window_attributes(connection, root), "reading the root window");
        const uint32_t rootMask = (rootAttributes ? rootAttributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);
        const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
        m_shapeEvent = shape && shape->present ? shape->first_event : -1;
    }
    xcb_flush(connection);
    restackLater();
#endif
}

void WindowOcclusion::restackLater()
{
    if (m_restackQueued)
        return;
    m_restackQueued = true;
    const qint64 wait = m_lastRestackMs + kRestackGapMs - scheduler().monotonicMs();
    if (wait > 0)
        scheduler().after(wait, this, [this] { restack(); });
    else
        QMetaObject::invokeMethod(this, &WindowOcclusion::restack, Qt::QueuedConnection);
}

void WindowOcclusion::restack()
{
    m_restackQueued = false;
    m_lastRestackMs = scheduler().monotonicMs();
#if QT_CONFIG(xcb)
    XConnection *x = x11::qtConnection();
    if (!x || !m_enabled || m_windows.isEmpty())
        return;
    xcb_connection_t *connection = x->get();
    const xcb_window_t root = x->root();
    // A window may be gone by the time its answer comes: no fault, nothing logged.
    const auto answer = [x](auto replyFunction, auto cookie) { return x->reply(replyFunction, cookie, nullptr); };

    // The managed windows, bottom to top. Without the list nothing counts as covered.
    std::vector<xcb_window_t> stack;
    if (const auto list = x->reply(xcb_get_property_reply,
                                   xcb_get_property(connection, 0, root, m_stackingAtom, XCB_ATOM_WINDOW, 0, 1 << 16),
                                   "reading the stacking order");
        list && list->type == XCB_ATOM_WINDOW && list->format == 32) {
        const auto *ids = static_cast<const xcb_window_t *>(xcb_get_property_value(list.get()));
        stack.assign(ids, ids + xcb_get_property_value_length(list.get()) / 4);
    }
    // From the lowest of ours upwards: the windows that may lie over one of ours.
    std::size_t lowest = stack.size();
    for (std::size_t i = 0; i < stack.size(); ++i)
        if (m_windows.contains(stack[i])) {
            lowest = i;
            break;
        }
    const std::size_t count = stack.size() - lowest;

    // Each window's frame: its ancestor that is a child of the root window.
    std::vector<xcb_window_t> frames(stack.begin() + lowest, stack.end());
    std::vector<bool> found(count, false);
    for (int round = 0; round < 8; ++round) {
        std::vector<xcb_query_tree_cookie_t> trees(count);
        bool asked = false;
        for (std::size_t i = 0; i < count; ++i)
            if (!found[i]) {
                trees[i] = xcb_query_tree(connection, frames[i]);
                asked = true;
            }
        if (!asked)
            break;
        for (std::size_t i = 0; i < count; ++i) {
            if (found[i])
                continue;
            const auto tree = answer(xcb_query_tree_reply, trees[i]);
            if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE)
                found[i] = true; // a window gone meanwhile is left to its destroy event
            else
                frames[i] = tree->parent;
        }
    }

    // What each frame looks like, all asked at once.
    struct Look {
        xcb_get_window_attributes_cookie_t frameAttributes, clientAttributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_shape_get_rectangles_cookie_t shape;
        xcb_get_property_cookie_t frameOpacity, clientOpacity, state;
        xcb_translate_coordinates_cookie_t origin;
    };
    std::vector<Look> looks(count);
    std::vector<bool> shapeAsked(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        const xcb_window_t client = stack[lowest + i];
        Look &look = looks[i];
        look.frameAttributes = xcb_get_window_attributes(connection, frames[i]);
        look.clientAttributes = xcb_get_window_attributes(connection, client);
        look.frameOpacity = xcb_get_property(connection, 0, frames[i], m_opacityAtom, XCB_ATOM_CARDINAL, 0, 1);
        look.clientOpacity = xcb_get_property(connection, 0, client, m_opacityAtom, XCB_ATOM_CARDINAL, 0, 1);
        look.state = xcb_get_property(connection, 0, client, m_stateAtom, XCB_ATOM_ATOM, 0, 64);
        if (m_windows.contains(client)) {
            // Ours: the part that shows the window's content.
            look.geometry = xcb_get_geometry(connection, client);
            look.origin = xcb_translate_coordinates(connection, client, root, 0, 0);
        } else {
            look.geometry = xcb_get_geometry(connection, frames[i]);
            if (m_shapeEvent >= 0) {
                look.shape = xcb_shape_get_rectangles(connection, frames[i], XCB_SHAPE_SK_BOUNDING);
                shapeAsked[i] = true;
            }
        }
    }
    // One entry for each window from the lowest of ours up, in the same order.
    QList<Above> above;
    QHash<xcb_window_t, QRect> ours;
    for (std::size_t i = 0; i < count; ++i) {
        const xcb_window_t client = stack[lowest + i];
        const bool isOurs = m_windows.contains(client);
        const Look &look = looks[i];
        const auto frameAttributes = answer(xcb_get_window_attributes_reply, look.frameAttributes);
        const auto clientAttributes = answer(xcb_get_window_attributes_reply, look.clientAttributes);
        const auto frameOpacity = answer(xcb_get_property_reply, look.frameOpacity);
        const auto clientOpacity = answer(xcb_get_property_reply, look.clientOpacity);
        const auto geometry = answer(xcb_get_geometry_reply, look.geometry);
        const auto state = answer(xcb_get_property_reply, look.state);
        const auto shape = shapeAsked[i] ? answer(xcb_shape_get_rectangles_reply, look.shape)
                                         : XConnection::Reply<xcb_shape_get_rectangles_reply_t>();
        const auto origin = isOurs ? answer(xcb_translate_coordinates_reply, look.origin)
                                   : XConnection::Reply<xcb_translate_coordinates_reply_t>();
        // Changes of the frame and of the window are followed from now on (added to the
        // events already selected on them, ours or another program's).
        if (frameAttributes && !m_watched.contains(frames[i])) {
            m_watched.insert(frames[i]);
            const uint32_t mask = frameAttributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY
                                  | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection, frames[i], XCB_CW_EVENT_MASK, &mask);
            if (m_shapeEvent >= 0)
                xcb_shape_select_input(connection, frames[i], 1);
        }
        if (clientAttributes && client != frames[i] && !m_watched.contains(client)) {
            m_watched.insert(client);
            // Its end too: the server hands its id to a new window soon after.
            const uint32_t mask = clientAttributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY
                                  | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection, client, XCB_CW_EVENT_MASK, &mask);
        }
        Above window;
        window.viewable = geometry && frameAttributes && frameAttributes->map_state == XCB_MAP_STATE_VIEWABLE
                          && frameAttributes->_class != XCB_WINDOW_CLASS_INPUT_ONLY;
        if (state && state->type == XCB_ATOM_ATOM && state->format == 32) {
            // Minimised, by a window manager that keeps its windows mapped.
            const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(state.get()));
            const int n = xcb_get_property_value_length(state.get()) / 4;
            if (std::find(atoms, atoms + n, xcb_atom_t(m_hiddenAtom)) != atoms + n && !isOurs)
                window.viewable = false;
        }
        window.opaque = !translucent(connection, frameAttributes.get(), frameOpacity.get())
                        && !translucent(connection, clientAttributes.get(), clientOpacity.get());
        if (!window.viewable) {
            // Neither hides nor shows anything.
        } else if (isOurs) {
            // Ours hide one another as any window does.
            if (origin)
                ours.insert(client, QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height));
            window.shape = ours.value(client);
        } else if (shape) {
            // The bounding shape, from the frame's origin inside its border; a frame
            // without a shape answers with its whole rectangle.
            const QPoint at(geometry->x + geometry->border_width, geometry->y + geometry->border_width);
            const xcb_rectangle_t *r = xcb_shape_get_rectangles_rectangles(shape.get());
            for (int k = 0, n = xcb_shape_get_rectangles_rectangles_length(shape.get()); k < n; ++k)
                window.shape += QRect(at.x() + r[k].x, at.y() + r[k].y, r[k].width, r[k].height);
        } else {
            const int b = geometry->border_width;
            window.shape = QRect(geometry->x, geometry->y, geometry->width + 2 * b, geometry->height + 2 * b);
        }
        above.append(window);
    }
    xcb_flush(connection);

    // Each of ours against the windows above it.
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
        const bool was = obscured(*it);
        const auto at = std::find(stack.begin(), stack.end(), xcb_window_t(it.key()));
        const auto rect = ours.constFind(xcb_window_t(it.key()));
        if (at == stack.end() || rect == ours.cend()) {
            it->covered = false;
        } else {
            it->covered = coveredBy(*rect, above.mid(qsizetype(at - stack.begin()) - qsizetype(lowest) + 1));
        }
        if (obscured(*it) != was && it->window)
            emit outOfSightChanged(it->window);
    }
#endif
}

bool WindowOcclusion::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (eventType != "xcb_generic_event_t" || !m_enabled || m_windows.isEmpty())
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const int type = event->response_type & 0x7f;
    switch (type) {
    case XCB_VISIBILITY_NOTIFY: {
        const auto *visibility = reinterpret_cast<const xcb_visibility_notify_event_t *>(event);
        auto it = m_windows.find(visibility->window);
        if (it == m_windows.end())
            return false;
        const bool was = obscured(*it);
        it->invisible = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
        if (obscured(*it) != was && it->window)
            emit outOfSightChanged(it->window);
        return false;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (property->atom == m_stackingAtom
            || ((property->atom == m_opacityAtom || property->atom == m_stateAtom) && m_watched.contains(property->window)))
            restackLater();
        return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        if (m_watched.contains(configure->window) || m_windows.contains(configure->window))
            restackLater();
        return false;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
        // Both carry the window where a configure event has it.
        const auto window = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
        if (m_watched.contains(window))
            restackLater();
        return false;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto window = reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window;
        if (m_watched.remove(window))
            restackLater();
        return false;
    }
    default:
        break;
    }
    if (m_shapeEvent >= 0 && type == m_shapeEvent + XCB_SHAPE_NOTIFY) {
        if (m_watched.contains(reinterpret_cast<const xcb_shape_notify_event_t *>(event)->affected_window))
            restackLater();
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}

} // namespace qv
