#pragma once

namespace qv {

// The comfort veil's eleven values: as the user set them, as a profile keeps them, and
// clamped, everything a comfort-veil panel needs to paint. The defaults are what a fresh
// overlay view holds.
struct ComfortVeilState {
    bool enabled = false;
    bool peripheralSofteningEnabled = true;
    double peripheralSoftening = 0.32;
    bool focusWindowEnabled = false;
    double focusWindowSize = 0.58;
    bool highlightDampeningEnabled = true;
    double highlightDampening = 0.22;
    bool colorCalmEnabled = false;
    double colorCalm = 0.0;
    bool microtextureEnabled = false;
    double microtexture = 0.18;

    bool operator==(const ComfortVeilState &) const = default;

    // True when the veil is on and at least one of its four effects is on with an amount
    // above 0.01.
    bool showsAnything() const;
};

} // namespace qv
