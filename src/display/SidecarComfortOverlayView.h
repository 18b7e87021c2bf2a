#pragma once

#include "display/ComfortVeilDrawing.h"
#include "display/SidecarComfortOverlayState.h"
#include "display/VeilSurface.h"

#include <QList>
#include <QRectF>

namespace qv {

// The content of one Sidecar overlay panel: up to three translucent fills (darkening,
// warming, red no-blue) over its whole area, shown by the scene graph as the one wash
// they add up to.
class SidecarComfortOverlayView : public veil::VeilItem {
    Q_OBJECT
public:
    explicit SidecarComfortOverlayView(const QRectF &frame, QQuickItem *parent = nullptr) : VeilItem(frame, parent) {}

    static constexpr int kAutoresizingMask = 18; // width and height sizable

    const SidecarComfortOverlayState &state() const { return m_state; }
    void setState(const SidecarComfortOverlayState &state) { m_state = state; }

    // The fills a state paints, in order, each with its alpha above 0.001; nothing while
    // the state is disabled. The inputs are clamped (brightness 0.1...1, warmth 0...1.4,
    // the rest 0...1); darkening is capped at 0.74, warming at 0.46, red at 0.34.
    static QList<veil::Wash> fills(const SidecarComfortOverlayState &state);

    // The fills as the one wash they add up to.
    veil::VeilLayers layers() const override;

private:
    SidecarComfortOverlayState m_state;
};

} // namespace qv
