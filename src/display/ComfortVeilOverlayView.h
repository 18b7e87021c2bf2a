#pragma once

#include "display/ComfortVeilState.h"
#include "platform/Panels.h"

#include <QRectF>

namespace qv {

// The content of one comfort-veil panel: the state it paints over its whole area.
// The controller assigns a new state only when it differs and then marks the view as
// needing display.
class ComfortVeilOverlayView : public PaintedPanelView {
    Q_OBJECT
public:
    explicit ComfortVeilOverlayView(const QRectF &frame, QObject *parent = nullptr)
        : PaintedPanelView(parent), m_frame(frame)
    {
    }

    static constexpr int kAutoresizingMask = 18; // width and height sizable

    QRectF frame() const { return m_frame; }
    const ComfortVeilState &state() const { return m_state; }
    void setState(const ComfortVeilState &state) { m_state = state; }

    void setNeedsDisplay()
    {
        ++m_displayRequests;
        emit needsDisplay();
    }
    // How often the view was marked as needing display.
    int displayRequestCount() const { return m_displayRequests; }

    // The veil's drawing comes with the drawing code; until then nothing is painted.
    void paint(QPainter &, const QRectF &) override {}

private:
    QRectF m_frame;
    ComfortVeilState m_state;
    int m_displayRequests = 0;
};

} // namespace qv
