#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <optional>

class QQmlEngine;
class QJSEngine;
class QQuickWindow;

namespace qv::design {

// The value a slider moves to for a key: the arrow keys one step up or down (from a value
// between steps, to the neighbouring step), Page Up and Page Down ten steps, Home and End
// to the ends; always within from..to. Nothing for any other key or a step that is not
// positive.
std::optional<double> sliderValueForKey(int key, double value, double from, double to, double step);

// Whether a key press asks for a context menu: the Menu key, or Shift+F10.
bool opensContextMenu(int key, Qt::KeyboardModifiers modifiers);

// Moves the keyboard focus to the next (or previous) item inside scope that Tab stops at,
// in Tab order (the order of the item tree), round at the ends; the reason is Tab or
// Backtab. Returns whether an item took the focus.
bool moveFocusWithin(QQuickItem *scope, bool forward);

// Gives the focus to the first item of the Tab chain inside scope.
bool focusFirstWithin(QQuickItem *scope, Qt::FocusReason reason);

// Return and Enter press the focused button as Space does. Installed once, by prepareEngine().
void installKeyboardActivation();

// The keyboard rules the shared controls call from QML.
class KeyboardControl : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    static KeyboardControl *create(QQmlEngine *, QJSEngine *);

    // Moves a slider (its value, from, to) for a key by steps of `step`, as a drag does: the
    // value is set and moved() emitted. Returns whether the key is one of the slider's.
    Q_INVOKABLE static bool moveSlider(QQuickItem *slider, int key, double step);
    Q_INVOKABLE static bool opensMenu(int key, int modifiers)
    {
        return opensContextMenu(key, Qt::KeyboardModifiers(modifiers));
    }
    Q_INVOKABLE static bool focusNext(QQuickItem *scope, bool forward) { return moveFocusWithin(scope, forward); }
    // The first item inside scope takes the focus as from the keyboard (its ring shows).
    Q_INVOKABLE static bool focusFirst(QQuickItem *scope) { return focusFirstWithin(scope, Qt::TabFocusReason); }
    // Gives an item the focus with the reason Tab when `keyboard`, so that its ring shows.
    Q_INVOKABLE static void focus(QQuickItem *item, bool keyboard);
};

// Keyboard focus for a sheet, a dialog or a tour pop-up (`scope`): while `active`, the
// focus is inside it (on `initialItem`, else on its first control, taken when it becomes
// active or its scope changes), Tab and Shift+Tab go round inside it, and Esc emits
// escapePressed() when `closesOnEscape`; when it stops being active (or goes away), the
// focus goes back to the item that had it before, if that can still take it. The focus
// is taken as from the keyboard when the item that had it showed its focus ring. A sheet
// that `coversPage` (all but a tour's pop-up beside the block it explains) hides the page
// from assistive technology too: while it is active, its window's accessibility tree holds
// the sheet alone, and the page behind it comes back when it closes.
class SheetFocus : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *scope READ scope WRITE setScope NOTIFY scopeChanged)
    Q_PROPERTY(QQuickItem *initialItem READ initialItem WRITE setInitialItem NOTIFY initialItemChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(bool closesOnEscape MEMBER m_closesOnEscape NOTIFY closesOnEscapeChanged)
    Q_PROPERTY(bool coversPage READ coversPage WRITE setCoversPage NOTIFY coversPageChanged)
public:
    explicit SheetFocus(QObject *parent = nullptr);
    ~SheetFocus() override;

    QQuickItem *scope() const { return m_scope; }
    void setScope(QQuickItem *scope);
    QQuickItem *initialItem() const { return m_initial; }
    void setInitialItem(QQuickItem *item);
    bool active() const { return m_active; }
    void setActive(bool active);
    bool coversPage() const { return m_coversPage; }
    void setCoversPage(bool covers);

    // The item focus goes back to.
    QQuickItem *opener() const { return m_opener; }

    // The scope of the sheet open in a window that covers its page (the one opened last),
    // else null.
    static QQuickItem *openSheet(const QQuickWindow *window);

    void classBegin() override {}
    void componentComplete() override;

signals:
    void scopeChanged();
    void initialItemChanged();
    void activeChanged();
    void closesOnEscapeChanged();
    void coversPageChanged();
    void escapePressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();
    void follow(QQuickWindow *window);
    void remember();
    void enter();
    void leave();
    void takeFocus();
    void watch(QQuickWindow *window);

    QPointer<QQuickItem> m_scope;
    QPointer<QQuickItem> m_initial;
    QPointer<QQuickItem> m_opener;
    // The window the key filter is on, held as a plain object: it still sends events while
    // it is taken down, when it is a window no longer.
    QPointer<QObject> m_window;
    QPointer<QQuickWindow> m_followed;
    // The window whose tree the sheet holds, taken while it was one.
    QPointer<QQuickWindow> m_treeWindow;
    bool m_active = false;
    bool m_entered = false;
    bool m_focusPending = false;
    bool m_complete = false;
    bool m_closesOnEscape = true;
    bool m_coversPage = true;
    bool m_keyboard = false;
};

// The scroll position of a page that brings a rectangle of its content (with a margin) into
// view, one way (down, or across with left and right for top and bottom): the position
// unchanged when it is in view already, else the nearest one that shows it (its top when it
// is taller than the view), within 0..contentHeight - viewHeight.
double scrollToShow(double contentY, double viewHeight, double contentHeight, double top, double bottom);

// The scroll position a key left unused by the focused control moves a page to: Page Down
// and Page Up a view's height less a tenth (a line or two stays in sight), End and Home to
// the ends; always within 0..contentHeight - viewHeight. Nothing for any other key.
std::optional<double> scrollForKey(int key, double contentY, double viewHeight, double contentHeight);

// Scrolls a page (a Flickable) so that the control that takes the focus from the keyboard
// (Tab, Shift+Tab), or any way inside an open sheet that covers the page (its first field as
// it opens), is in view, across and down, with the pages inside it that hold the control: Tab
// reaches every control of a page larger than its window.
// Page Up, Page Down, Home and End that the focused control leaves unused scroll the page,
// so that text and cards below the last control can be read without a mouse.
class KeepFocusInView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *flickable READ flickable WRITE setFlickable NOTIFY flickableChanged)
public:
    using QObject::QObject;

    QQuickItem *flickable() const { return m_flickable; }
    void setFlickable(QQuickItem *flickable);

signals:
    void flickableChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    void focusChanged();

    QPointer<QQuickItem> m_flickable;
    QPointer<QQuickWindow> m_window;
};

} // namespace qv::design
