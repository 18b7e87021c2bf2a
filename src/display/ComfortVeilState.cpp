#include "display/ComfortVeilState.h"

namespace qv {

bool ComfortVeilState::showsAnything() const
{
    if (!enabled)
        return false;
    return (peripheralSofteningEnabled && peripheralSoftening > 0.01)
        || (highlightDampeningEnabled && highlightDampening > 0.01) || (colorCalmEnabled && colorCalm > 0.01)
        || (microtextureEnabled && microtexture > 0.01);
}

} // namespace qv
