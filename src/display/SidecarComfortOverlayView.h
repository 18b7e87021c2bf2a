#pragma once

#include "display/ComfortVeilDrawing.h"
#include "display/SidecarComfortOverlayState.h"
#include "platform/Panels.h"

#include <QList>
#include <QRectF>

namespace qv {

// The content of one Sidecar overlay panel: up to three translucent fills (darkening,
// warming, red no-blue) over its whole area.
class SidecarComfortOverlayView : public PaintedPanelView {
    Q_OBJECT
public:
    explicit SidecarComfortOverlayView(const QRectF &frame, QObject *parent = nullptr)
        : PaintedPanelView(parent), m_frame(frame)
    {
    }

    static constexpr int kAutoresizingMask = 18; // width and height sizable

    QRectF frame() const { return m_frame; }
    const SidecarComfortOverlayState &state() const { return m_state; }
    void setState(const SidecarComfortOverlayState &state) { m_state = state; }

    void setNeedsDisplay()
    {
        ++m_displayRequests;
        emit needsDisplay();
    }
    int displayRequestCount() const { return m_displayRequests; }

    // The fills a state paints, in order, each with its alpha above 0.001; nothing while
    // the state is disabled. The inputs are clamped (brightness 0.1...1, warmth 0...1.4,
    // the rest 0...1); darkening is capped at 0.74, warming at 0.46, red at 0.34.
    static QList<veil::Wash> fills(const SidecarComfortOverlayState &state);

    void paint(QPainter &painter, const QRectF &bounds) override;

private:
    QRectF m_frame;
    SidecarComfortOverlayState m_state;
    int m_displayRequests = 0;
};

} // namespace qv
