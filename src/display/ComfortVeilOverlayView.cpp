#include "display/ComfortVeilOverlayView.h"

#include "display/ComfortVeilDrawing.h"
#include "runtime/Logging.h"

#include <QPaintDevice>
#include <QPainter>
#include <QRadialGradient>

namespace qv {

namespace {

const Logger &log()
{
    static const Logger logger("ComfortVeil");
    return logger;
}

} // namespace

void ComfortVeilOverlayView::paint(QPainter &painter, const QRectF &bounds)
{
    if (!m_state.enabled || !bounds.isValid())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // The highlight and colour-calm washes are uniform, so they are painted as the one
    // wash they add up to.
    QList<veil::Wash> washes;
    if (m_state.highlightDampeningEnabled) {
        if (const double a = veil::effectiveAmount(m_state.highlightDampening, veil::kHighlightCap); a > 0)
            washes << veil::highlightWashes(a);
    }
    if (m_state.colorCalmEnabled) {
        if (const double c = veil::effectiveAmount(m_state.colorCalm, veil::kColorCalmCap); c > 0)
            washes << veil::colorCalmWashes(c);
    }
    if (const QColor wash = veil::composeWashes(washes); wash.alpha() > 0)
        painter.fillRect(bounds, wash);

    if (m_state.peripheralSofteningEnabled) {
        if (const double a = veil::effectiveAmount(m_state.peripheralSoftening, veil::kPeripheralCap); a > 0) {
            const veil::Vignette v = veil::vignetteGeometry(bounds);
            // From the inner circle (0) to the outer one (1); padding keeps the last
            // colour beyond the outer circle and the clear first one inside the inner.
            QRadialGradient gradient(v.center, v.outerRadius, v.center, v.innerRadius);
            gradient.setSpread(QGradient::PadSpread);
            for (const veil::VignetteStop &stop : veil::vignetteStops(a))
                gradient.setColorAt(stop.location, QColor::fromRgbF(0, 0, 0, float(stop.alpha)));
            painter.fillRect(bounds, gradient);
        }
    }

    if (m_state.microtextureEnabled) {
        if (const double m = veil::effectiveAmount(m_state.microtexture, veil::kMicrotextureCap); m > 0)
            paintMicrotexture(painter, bounds, m);
    }
    painter.restore();
}

void ComfortVeilOverlayView::paintMicrotexture(QPainter &painter, const QRectF &bounds, double amount)
{
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (m_textureSize != bounds.size() || m_texturePixelRatio != ratio) {
        m_textureSize = bounds.size();
        m_texturePixelRatio = ratio;
        m_texture = veil::renderMicrotexture(bounds.size(), ratio);
        ++m_textureRenders;
        m_textureFailed = m_texture.isNull();
        if (m_textureFailed)
            log().error("The veil's texture cannot be drawn on an area of %g x %g at pixel ratio %g",
                        bounds.width(), bounds.height(), ratio);
    }
    if (m_textureFailed)
        return;
    const double opacity = veil::microtextureImageOpacity(amount);
    if (m_scaledTexture.isNull() || m_scaledOpacity != opacity || m_scaledTexture.size() != m_texture.size()) {
        m_scaledTexture = veil::scaledMicrotexture(m_texture, opacity);
        m_scaledOpacity = opacity;
    }
    painter.drawImage(bounds.topLeft(), m_scaledTexture);
}

} // namespace qv
