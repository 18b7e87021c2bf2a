#pragma once

namespace qv {

// What an overlay panel on a Sidecar display shows.
struct SidecarComfortOverlayState {
    bool enabled = false;            // panels shown at all
    double brightness = 1.0;         // 0.1 to 1; lower darkens
    double warmth = 0;               // 0 to 1.4
    double softWhite = 0;            // 0 to 1
    double highlightCompression = 0; // 0 to 1
    double noBlueAmount = 0;         // 0 to 1; red no-blue strength

    bool operator==(const SidecarComfortOverlayState &) const = default;
};

} // namespace qv
