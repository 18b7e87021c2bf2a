#pragma once

namespace qv {

struct SimDisplay;

// Gives a display's framebuffer service ("IOMobileFramebufferAP") the properties a real
// framebuffer carries, typed as the registry types them: `external`, `enableDither`, the
// product name and attributes of an external panel, the brightness, compensation and
// backlight-modulation entries of a built-in panel, pixel encodings, HDR support and
// colour elements. `uniformity2D` belongs to mini-LED built-in panels only and comes from
// the machine description. A property already present is left as it is.
void addFramebufferProperties(SimDisplay &display);

} // namespace qv
