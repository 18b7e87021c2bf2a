#pragma once

class QQmlEngine;

namespace qv::design {

// Makes the shared look available to an engine: registers the Quellvista.Design types
// (and the application's, when given), adds the import path of the compiled-in modules.
void prepareEngine(QQmlEngine &engine);

// Process-wide defaults of the look: Inter as the application font and text drawn with
// the platform's own rasteriser. Call once after the application object exists.
void applyApplicationDefaults();

} // namespace qv::design
