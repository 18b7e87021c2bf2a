#pragma once

namespace qv {

// Registers the Quellvista.Pages.Wellness types (once per process).
void registerWellnessPages();

} // namespace qv
