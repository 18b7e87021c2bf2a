#include "display/SidecarComfortOverlayView.h"

#include "runtime/Clamp.h"


namespace qv {

QList<veil::Wash> SidecarComfortOverlayView::fills(const SidecarComfortOverlayState &state)
{
    if (!state.enabled)
        return {};
    const double b = clampTo(state.brightness, 0.1, 1);
    const double w = clampTo(state.warmth, 0, 1.4);
    const double s = clamp01(state.softWhite);
    const double h = clamp01(state.highlightCompression);
    const double n = clamp01(state.noBlueAmount);

    const veil::Wash all[] = {
        {QColor::fromRgbF(0, 0, 0), clampTo(0.74 * (1 - b) + 0.1 * h + 0.08 * n, 0, 0.74)},
        {QColor::fromRgbF(1.0f, 0.62f, 0.2f), clampTo(0.18 * w + 0.08 * s + 0.2 * n, 0, 0.46)},
        {QColor::fromRgbF(1.0f, 0.18f, 0.05f), clampTo(0.3 * n, 0, 0.34)},
    };
    QList<veil::Wash> out;
    for (const veil::Wash &fill : all)
        if (fill.alpha > 0.001)
            out << fill;
    return out;
}

veil::VeilLayers SidecarComfortOverlayView::layers() const
{
    veil::VeilLayers layers;
    layers.wash = veil::composeWashes(fills(m_state));
    return layers;
}

} // namespace qv
