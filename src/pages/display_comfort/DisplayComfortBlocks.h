#pragma once

namespace qv {

// Registers the QML types of the tuning panel and the comfort profiles grid
// (Quellvista.Pages.DisplayComfort.Blocks). Idempotent.
void registerDisplayComfortBlocks();

} // namespace qv
