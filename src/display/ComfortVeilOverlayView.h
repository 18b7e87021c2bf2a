#pragma once

#include "display/ComfortVeilState.h"
#include "platform/Panels.h"

#include <QImage>
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

    // Paints, in this order and each only when switched on: highlight dampening, colour
    // calm, the peripheral vignette and the microtexture. Nothing while the veil is off.
    void paint(QPainter &painter, const QRectF &bounds) override;

    // How often the microtexture was drawn afresh (once per area size and pixel ratio).
    int textureRenderCount() const { return m_textureRenders; }

private:
    void paintMicrotexture(QPainter &painter, const QRectF &bounds, double amount);

    QRectF m_frame;
    ComfortVeilState m_state;
    int m_displayRequests = 0;

    // The microtexture at full scale for one area size and pixel ratio.
    QImage m_texture;
    QImage m_scaledTexture; // m_texture at m_scaledOpacity
    double m_scaledOpacity = 0;
    QSizeF m_textureSize;
    double m_texturePixelRatio = 0;
    bool m_textureFailed = false;
    int m_textureRenders = 0;
};

} // namespace qv
