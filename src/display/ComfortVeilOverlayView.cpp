#include "display/ComfortVeilOverlayView.h"

#include "display/ComfortVeilDrawing.h"

namespace qv {

veil::VeilLayers ComfortVeilOverlayView::layersFor(const ComfortVeilState &state)
{
    veil::VeilLayers layers;
    if (!state.enabled)
        return layers;
    // The highlight and colour-calm washes are uniform, so they are painted as the one
    // wash they add up to.
    QList<veil::Wash> washes;
    if (state.highlightDampeningEnabled) {
        if (const double a = veil::effectiveAmount(state.highlightDampening, veil::kHighlightCap); a > 0)
            washes << veil::highlightWashes(a);
    }
    if (state.colorCalmEnabled) {
        if (const double c = veil::effectiveAmount(state.colorCalm, veil::kColorCalmCap); c > 0)
            washes << veil::colorCalmWashes(c);
    }
    layers.wash = veil::composeWashes(washes);
    if (state.peripheralSofteningEnabled)
        layers.vignette = veil::kVignetteStrongest * veil::effectiveAmount(state.peripheralSoftening, veil::kPeripheralCap);
    if (state.microtextureEnabled)
        layers.grain = veil::microtextureImageOpacity(veil::effectiveAmount(state.microtexture, veil::kMicrotextureCap));
    return layers;
}

} // namespace qv
