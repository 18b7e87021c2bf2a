#pragma once

#include "display/ComfortVeilState.h"
#include "display/VeilSurface.h"

#include <QRectF>

namespace qv {

// The content of one comfort-veil panel: the state it paints over its whole area.
// The controller assigns a new state only when it differs and then marks the view as
// needing display. The view is an item of the scene graph: the vignette's shape and the
// grain are made once per size and pixel ratio, and a new state only changes colours
// and opacities (on a GPU) or is painted in one pass (in software).
class ComfortVeilOverlayView : public veil::VeilItem {
    Q_OBJECT
public:
    explicit ComfortVeilOverlayView(const QRectF &frame, QQuickItem *parent = nullptr) : VeilItem(frame, parent) {}

    static constexpr int kAutoresizingMask = 18; // width and height sizable

    const ComfortVeilState &state() const { return m_state; }
    void setState(const ComfortVeilState &state) { m_state = state; }

    // What a state paints, as the veil's three layers: highlight dampening and colour calm
    // as one wash, the peripheral vignette and the microtexture; each only when switched
    // on. Nothing while the veil is off.
    static veil::VeilLayers layersFor(const ComfortVeilState &state);
    veil::VeilLayers layers() const override { return layersFor(m_state); }

private:
    ComfortVeilState m_state;
};

} // namespace qv
