#include "design/KeyboardControl.h"

#include "design/AccessibleValue.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace qv::design {

std::optional<double> sliderValueForKey(int key, double value, double from, double to, double step)
{
    if (!(step > 0) || !std::isfinite(step) || !std::isfinite(from) || !std::isfinite(to))
        return std::nullopt;
    const double low = std::min(from, to);
    const double high = std::max(from, to);
    if (!std::isfinite(value))
        value = low;
    int steps = 0;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        steps = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        steps = 1;
        break;
    case Qt::Key_PageDown:
        steps = -10;
        break;
    case Qt::Key_PageUp:
        steps = 10;
        break;
    case Qt::Key_Home:
        return low;
    case Qt::Key_End:
        return high;
    default:
        return std::nullopt;
    }
    // Counted in steps from the lower end; a value between two steps counts as the one it
    // leaves behind, so that one press always reaches the next step shown.
    const double position = (value - low) / step;
    const double epsilon = 1e-6;
    const double target = steps > 0 ? std::floor(position + epsilon) + steps : std::ceil(position - epsilon) + steps;
    return std::clamp(low + target * step, low, high);
}

bool opensContextMenu(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    return (key == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

namespace {

bool inside(const QQuickItem *scope, const QQuickItem *item)
{
    return item && (item == scope || scope->isAncestorOf(item));
}

// The items inside scope that Tab stops at, in Tab order (the order of the item tree).
void collectTabStops(QQuickItem *item, QList<QQuickItem *> &stops)
{
    if (!item->isVisible() || !item->isEnabled())
        return;
    if (item->activeFocusOnTab())
        stops << item;
    for (QQuickItem *child : item->childItems())
        collectTabStops(child, stops);
}

QList<QQuickItem *> tabStops(QQuickItem *scope)
{
    QList<QQuickItem *> stops;
    for (QQuickItem *child : scope->childItems())
        collectTabStops(child, stops);
    return stops;
}

bool showsFocusRing(const QQuickItem *item)
{
    return item && item->property("visualFocus").toBool();
}

bool canTakeFocus(const QQuickItem *item)
{
    return item && item->window() && item->isVisible() && item->isEnabled();
}

} // namespace

bool moveFocusWithin(QQuickItem *scope, bool forward)
{
    if (!scope || !scope->window())
        return false;
    const QList<QQuickItem *> stops = tabStops(scope);
    if (stops.isEmpty())
        return false;
    // From the stop that holds the focus (or lies round it), one on, round at the ends.
    QQuickItem *focused = scope->window()->activeFocusItem();
    qsizetype at = -1;
    for (qsizetype i = 0; i < stops.size() && at < 0; ++i)
        if (focused && (stops[i] == focused || stops[i]->isAncestorOf(focused)))
            at = i;
    const qsizetype count = stops.size();
    const qsizetype next = at < 0 ? (forward ? 0 : count - 1) : ((at + (forward ? 1 : -1)) % count + count) % count;
    stops[next]->forceActiveFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool focusFirstWithin(QQuickItem *scope, Qt::FocusReason reason)
{
    if (!scope || !scope->window())
        return false;
    const QList<QQuickItem *> stops = tabStops(scope);
    if (stops.isEmpty())
        return false;
    stops.first()->forceActiveFocus(reason);
    return true;
}

namespace {

// Turns Return and Enter on a focused button into Space, which the buttons know.
class KeyboardActivation : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || !watched->isWindowType())
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *window = qobject_cast<QQuickWindow *>(watched);
        QQuickItem *focused = window ? window->activeFocusItem() : nullptr;
        if (!focused || !focused->inherits("QQuickAbstractButton") || !focused->isEnabled())
            return false;
        if (key->isAutoRepeat())
            return true;
        QKeyEvent space(event->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(window, &space);
        return true;
    }
};

} // namespace

void installKeyboardActivation()
{
    static QPointer<KeyboardActivation> filter;
    if (filter || !QCoreApplication::instance())
        return;
    filter = new KeyboardActivation(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

KeyboardControl *KeyboardControl::create(QQmlEngine *, QJSEngine *)
{
    static KeyboardControl *instance = new KeyboardControl;
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

bool KeyboardControl::moveSlider(QQuickItem *slider, int key, double step)
{
    if (!slider)
        return false;
    const double value = slider->property("value").toDouble();
    const std::optional<double> target = sliderValueForKey(key, value, slider->property("from").toDouble(),
                                                           slider->property("to").toDouble(), step);
    if (!target)
        return false;
    if (*target != value) {
        // Written from here, the value keeps the binding its owner gave it; the owner
        // takes the move as it takes a drag.
        slider->setProperty("value", *target);
        QMetaObject::invokeMethod(slider, "moved");
    }
    return true;
}

void KeyboardControl::focus(QQuickItem *item, bool keyboard)
{
    if (item)
        item->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

// ---- SheetFocus ----

namespace {

// The sheets active now, in the order they opened: the last of a window holds its tree.
QList<QPointer<SheetFocus>> &openSheets()
{
    static QList<QPointer<SheetFocus>> sheets;
    return sheets;
}

} // namespace

QQuickItem *SheetFocus::openSheet(const QQuickWindow *window)
{
    const QList<QPointer<SheetFocus>> &sheets = openSheets();
    for (auto sheet = sheets.crbegin(); sheet != sheets.crend(); ++sheet)
        if (*sheet && (*sheet)->m_coversPage && (*sheet)->m_scope && window && (*sheet)->m_scope->window() == window)
            return (*sheet)->m_scope;
    return nullptr;
}

SheetFocus::SheetFocus(QObject *parent) : QObject(parent) {}

SheetFocus::~SheetFocus()
{
    if (!m_entered)
        return;
    // Items around may be going away with this one: the tree is not walked now; the page
    // behind comes back to it, and the focus to the opener, once they are gone.
    openSheets().removeAll(this);
    if (m_window)
        m_window->removeEventFilter(this);
    QPointer<QQuickItem> opener = m_opener;
    const bool keyboard = m_keyboard;
    QPointer<QQuickWindow> window = m_coversPage ? m_treeWindow : nullptr;
    QTimer::singleShot(0, QCoreApplication::instance(), [opener, keyboard, window] {
        announceWindowTree(window);
        if (canTakeFocus(opener))
            opener->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
    });
}

void SheetFocus::setScope(QQuickItem *scope)
{
    if (m_scope == scope)
        return;
    if (m_scope)
        disconnect(m_scope, nullptr, this, nullptr);
    if (m_entered) {
        // An open sheet that moves to another scope (a tour's next step) takes the tree along.
        QQuickWindow *from = m_scope ? m_scope->window() : nullptr;
        QQuickWindow *to = scope ? scope->window() : nullptr;
        if (from != to)
            changeWindowTree(from, [&] { m_scope = nullptr; });
        changeWindowTree(to, [&] { m_scope = scope; });
    }
    m_scope = scope;
    if (m_scope) {
        connect(m_scope, &QQuickItem::windowChanged, this, &SheetFocus::update);
        // A sheet shown by the same change that activates it is not shown yet then.
        connect(m_scope, &QQuickItem::visibleChanged, this, [this] {
            if (m_entered && m_focusPending)
                takeFocus();
        });
    }
    follow(m_scope ? m_scope->window() : nullptr);
    emit scopeChanged();
    if (m_entered)
        takeFocus();
    update();
}

void SheetFocus::setInitialItem(QQuickItem *item)
{
    if (m_initial == item)
        return;
    m_initial = item;
    emit initialItemChanged();
}

void SheetFocus::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
    update();
}

void SheetFocus::setCoversPage(bool covers)
{
    if (m_coversPage == covers)
        return;
    changeWindowTree(m_entered && m_scope ? m_scope->window() : nullptr, [&] { m_coversPage = covers; });
    emit coversPageChanged();
}

void SheetFocus::componentComplete()
{
    m_complete = true;
    update();
}

void SheetFocus::follow(QQuickWindow *window)
{
    if (m_followed == window)
        return;
    if (m_followed)
        disconnect(m_followed, &QQuickWindow::activeFocusItemChanged, this, nullptr);
    m_followed = window;
    if (window)
        connect(window, &QQuickWindow::activeFocusItemChanged, this, &SheetFocus::remember);
    remember();
}

void SheetFocus::remember()
{
    if (m_entered || !m_followed || !m_scope)
        return;
    // The last control that had the focus before the sheet: not the sheet's own items,
    // nor the items that hold it (a pop-up takes the focus itself as it opens).
    QQuickItem *focused = m_followed->activeFocusItem();
    if (!focused || inside(m_scope, focused) || focused->isAncestorOf(m_scope) || focused == m_followed->contentItem())
        return;
    m_opener = focused;
    m_keyboard = showsFocusRing(focused);
}

void SheetFocus::update()
{
    if (!m_complete)
        return;
    if (m_scope)
        follow(m_scope->window());
    const bool wanted = m_active && m_scope && m_scope->window();
    if (wanted && !m_entered)
        enter();
    else if (!m_active && m_entered)
        leave();
}

void SheetFocus::enter()
{
    changeWindowTree(m_scope->window(), [this] {
        m_entered = true;
        openSheets().removeAll(this);
        openSheets().append(this);
    });
    m_window = m_scope->window();
    m_treeWindow = m_scope->window();
    m_window->installEventFilter(this);
    takeFocus();
}

void SheetFocus::leave()
{
    changeWindowTree(m_scope ? m_scope->window() : nullptr, [this] {
        m_entered = false;
        openSheets().removeAll(this);
    });
    m_focusPending = false;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = nullptr;
    if (canTakeFocus(m_opener))
        m_opener->forceActiveFocus(m_keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

void SheetFocus::takeFocus()
{
    if (!m_scope)
        return;
    m_focusPending = !m_scope->isVisible();
    if (m_focusPending)
        return;
    const Qt::FocusReason reason = m_keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason;
    if (canTakeFocus(m_initial) && inside(m_scope, m_initial))
        m_initial->forceActiveFocus(reason);
    else
        focusFirstWithin(m_scope, reason);
}

bool SheetFocus::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::KeyPress || !m_scope)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Tab && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier))
        return moveFocusWithin(m_scope, modifiers == Qt::NoModifier) || true;
    if (key->key() == Qt::Key_Backtab)
        return moveFocusWithin(m_scope, false) || true;
    if (key->key() == Qt::Key_Escape && modifiers == Qt::NoModifier && m_closesOnEscape) {
        if (!key->isAutoRepeat())
            emit escapePressed();
        return true;
    }
    return false;
}

double scrollToShow(double contentY, double viewHeight, double contentHeight, double top, double bottom)
{
    double y = contentY;
    if (bottom - top > viewHeight || top < contentY)
        y = top;
    else if (bottom > contentY + viewHeight)
        y = bottom - viewHeight;
    return std::clamp(y, 0.0, std::max(0.0, contentHeight - viewHeight));
}

std::optional<double> scrollForKey(int key, double contentY, double viewHeight, double contentHeight)
{
    const double end = std::max(0.0, contentHeight - viewHeight);
    const double page = viewHeight * 0.9;
    switch (key) {
    case Qt::Key_PageDown:
        return std::clamp(contentY + page, 0.0, end);
    case Qt::Key_PageUp:
        return std::clamp(contentY - page, 0.0, end);
    case Qt::Key_End:
        return end;
    case Qt::Key_Home:
        return 0.0;
    default:
        return std::nullopt;
    }
}

void KeepFocusInView::setFlickable(QQuickItem *flickable)
{
    if (m_flickable == flickable)
        return;
    if (m_flickable) {
        disconnect(m_flickable, nullptr, this, nullptr);
        m_flickable->removeEventFilter(this);
    }
    m_flickable = flickable;
    if (m_flickable) {
        connect(m_flickable, &QQuickItem::windowChanged, this, &KeepFocusInView::follow);
        // A key the focused control does not take goes on to the items round it, the page
        // among them.
        m_flickable->installEventFilter(this);
    }
    follow();
    emit flickableChanged();
}

void KeepFocusInView::follow()
{
    QQuickWindow *window = m_flickable ? m_flickable->window() : nullptr;
    if (m_window == window)
        return;
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (m_window)
        connect(m_window, &QQuickWindow::activeFocusItemChanged, this, &KeepFocusInView::focusChanged);
}

void KeepFocusInView::focusChanged()
{
    if (!m_window || !m_flickable)
        return;
    QQuickItem *focused = m_window->activeFocusItem();
    auto *content = m_flickable->property("contentItem").value<QQuickItem *>();
    if (!focused || !content || !content->isAncestorOf(focused))
        return;
    const int reason = focused->property("focusReason").toInt();
    const QQuickItem *sheet = SheetFocus::openSheet(m_window);
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && !(sheet && sheet->isAncestorOf(focused)))
        return;
    // Every page between the control and this one (a page inside a window that scrolls
    // across) is scrolled, the innermost first: each brings the control, where the pages
    // inside it now show it, into its view, across and down.
    const QRectF rect(0, 0, focused->width(), focused->height());
    // The ring lies just outside the control; a little room beyond it.
    const double margin = 12;
    for (QQuickItem *item = focused->parentItem(); item; item = item->parentItem()) {
        if (!item->inherits("QQuickFlickable"))
            continue;
        auto *inner = item->property("contentItem").value<QQuickItem *>();
        if (!inner)
            continue;
        const QRectF area = focused->mapRectToItem(inner, rect);
        item->setProperty("contentX", scrollToShow(item->property("contentX").toDouble(), item->width(),
                                                   item->property("contentWidth").toDouble(), area.left() - margin,
                                                   area.right() + margin));
        item->setProperty("contentY", scrollToShow(item->property("contentY").toDouble(), item->height(),
                                                   item->property("contentHeight").toDouble(), area.top() - margin,
                                                   area.bottom() + margin));
        if (item == m_flickable)
            break;
    }
}

bool KeepFocusInView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_flickable || event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const std::optional<double> y = scrollForKey(key->key(), m_flickable->property("contentY").toDouble(),
                                                 m_flickable->height(), m_flickable->property("contentHeight").toDouble());
    if (!y)
        return false;
    m_flickable->setProperty("contentY", *y);
    return true;
}

} // namespace qv::design
