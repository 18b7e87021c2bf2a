#pragma once

#include "platform/Screens.h"

#include <QColor>
#include <QObject>
#include <QRectF>

#include <memory>

class QPainter;

namespace qv {

// Panel content that paints itself. A panel hosts either one of these or a Qt Quick item
// (content the user can press, such as the break panel). The panel paints the view over
// its whole area whenever the view asks for display; several requests before the next
// frame give one paint.
class PaintedPanelView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Paints the view into bounds (the panel's area in its own coordinates, origin at the
    // top left, in points; the painter's device may have more pixels per point).
    virtual void paint(QPainter &painter, const QRectF &bounds) = 0;

signals:
    // The view's picture changed.
    void needsDisplay();
};

// Content of another kind (a Qt Quick item) that can also paint its whole picture with a
// painter, as PaintedPanelView::paint does: panels that are not Qt windows draw it so.
class PanelPicture {
public:
    virtual ~PanelPicture() = default;
    virtual void paint(QPainter &painter, const QRectF &bounds) = 0;
};

// How an overlay panel is made. The defaults describe a click-through, borderless,
// non-activating, transparent panel above normal windows, on every space and beside
// full-screen windows, kept out of other processes' screen captures.
struct PanelConfiguration {
    QRectF contentRect;               // global coordinates
    quint32 styleMask = 128;          // non-activating panel only
    int backingStore = 2;             // buffered
    bool defer = false;
    bool releasedWhenClosed = false;
    bool ignoresMouseEvents = true;
    bool movable = false;
    bool hasShadow = false;
    bool opaque = false;
    QColor backgroundColor = Qt::transparent;
    bool excludedFromWindowsMenu = true;
    int sharingType = 0;              // none
    int level = 25;                   // status-window level
    quint32 collectionBehavior = 345; // all spaces, transient, stationary, ignores cycle, full-screen auxiliary

    bool operator==(const PanelConfiguration &) const = default;
};

// One overlay panel. Released (destroyed) panels leave the screen.
class Panel {
public:
    virtual ~Panel() = default;

    virtual QRectF frame() const = 0;
    // Moves and resizes the panel; display = redraw at once.
    virtual void setFrame(const QRectF &frame, bool display) = 0;
    virtual bool isVisible() const = 0;
    // Shows the panel above other windows without activating the application.
    virtual void orderFrontRegardless() = 0;
    // Takes the panel off the screen and keeps it.
    virtual void orderOut() = 0;
    // Gives the shown panel the keyboard, taking it from the application's other windows:
    // keys go to its view until another window takes them. False where it cannot have it.
    virtual bool makeKey() { return false; }
    // Whether the panel has the keyboard.
    virtual bool isKey() const { return false; }
    // The one view the panel hosts (owned by the panel).
    virtual QObject *contentView() const = 0;
};

class Panels {
public:
    virtual ~Panels() = default;
    // A new panel on the screen, hosting contentView (ownership passes to the panel).
    // The panel starts off the screen.
    virtual std::unique_ptr<Panel> createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                               QObject *contentView) = 0;
    // Why click-through panels (the veil, the Sidecar overlay) cannot be shown over other
    // windows here, as the desktop's own words for a row's detail ("This desktop does not let
    // it draw over other windows"); empty where they can.
    virtual QString overlayLimitation() const { return {}; }
};

} // namespace qv
