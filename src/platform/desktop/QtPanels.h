#pragma once

#include "platform/Panels.h"

#include <QPointer>
#include <QWindow>

#include <functional>
#include <memory>

class QBackingStore;
class QQuickItem;
class QQuickWindow;

namespace qv {

// Whether translucent windows show as such (their clear parts show what lies below).
using CompositingCheck = std::function<bool()>;

// The window that shows a self-painting view: a raster window with its own backing store,
// painted at the screen's pixel ratio. Requests for display coalesce into one paint at the
// next frame.
class PaintedPanelWindow final : public QWindow {
    Q_OBJECT
public:
    explicit PaintedPanelWindow(PaintedPanelView *view, const QColor &background);
    ~PaintedPanelWindow() override;

    // Paints now, when the window is on the screen.
    void paintNow();
    // How often the view was painted.
    int paintCount() const { return m_paints; }

protected:
    bool event(QEvent *event) override;
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<PaintedPanelView> m_view;
    QColor m_background;
    std::unique_ptr<QBackingStore> m_store;
    int m_paints = 0;
};

// An overlay panel in a real top-level window of the window system: borderless,
// transparent, above normal windows, focused only when made key, left out of the task switcher and
// (unless it takes the mouse) letting clicks through to the windows below. A click-through
// panel stays off the screen while translucent windows show black: it would hide the
// screen from the user working through it. Ordered front, it follows the compositing
// manager as it comes and goes (off the screen while none runs, back when one starts), and
// goes back above any ordinary window that is opened or raised over it. On Qt's own Wayland
// platform a click-through panel is never shown, and a panel that takes the mouse (the break
// panel) asks for full screen.
class QtPanel final : public Panel {
public:
    QtPanel(const PanelConfiguration &configuration, QObject *contentView, CompositingCheck compositing);
    ~QtPanel() override;

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF &frame, bool display) override;
    bool isVisible() const override;
    void orderFrontRegardless() override;
    void orderOut() override;
    // The window may take the focus from now on and is activated (on X11 the focus is set
    // on it directly: the window manager leaves it alone).
    bool makeKey() override;
    bool isKey() const override { return m_window->isActive(); }
    QObject *contentView() const override { return m_content; }

    // The window that shows the panel.
    QWindow *window() const { return m_window.get(); }

    // The title of every panel window, so that tools and people can find them.
    static QString windowTitle();
    // The window flags a panel with this configuration gets.
    static Qt::WindowFlags windowFlags(const PanelConfiguration &configuration);

    // The compositing manager came or left: a click-through panel ordered front shows
    // while one runs and hides while none does.
    void compositingChanged();

private:
    void show();

    QRectF m_frame;
    bool m_clickThrough;
    bool m_orderedFront = false;
    CompositingCheck m_compositing;
    QPointer<QObject> m_content;
    std::unique_ptr<QWindow> m_window;
};

// The panels of the window system the application runs on.
class QtPanels final : public Panels {
public:
    // Whether the application's platform shows windows to a user (an X11 or Wayland
    // display server), not an offscreen or headless one.
    static bool isAvailable();
    // Whether a compositing manager runs (X11), or the platform composites itself.
    static bool compositingManagerRunning();

    explicit QtPanels(CompositingCheck compositing = &compositingManagerRunning);

    std::unique_ptr<Panel> createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                       QObject *contentView) override;
    // On Qt's own Wayland platform (no layer-shell) a click-through panel would be an
    // ordinary window that takes the focus and the clicks: it is never shown there.
    QString overlayLimitation() const override;

private:
    CompositingCheck m_compositing;
};

} // namespace qv
