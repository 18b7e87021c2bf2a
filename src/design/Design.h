#pragma once

class QQmlEngine;

namespace qv::design {

// Makes the shared look available to an engine: registers the Quellvista.Design types
// (and the application's, when given), adds the import path of the compiled-in modules.
void prepareEngine(QQmlEngine &engine);

// Process-wide defaults of the look: Inter as the application font and text drawn with
// the platform's own rasteriser. Call once after the application object exists.
void applyApplicationDefaults();

// Draws the scene with Qt Quick's software renderer when OpenGL is itself a software
// rasteriser, or cannot be asked (glxinfo, whose answer is cached per display and
// driver): that renderer repaints only what changed, where a software OpenGL redraws the
// whole window for every frame of the logo. Everything of the shared look is painted by
// our own items, so nothing depends on shader effects. A backend chosen through
// QT_QUICK_BACKEND is left alone. Returns true when it chose software.
bool chooseSceneGraphBackend();

} // namespace qv::design
