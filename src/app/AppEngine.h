#pragma once

class QQmlEngine;

namespace qv {

// Readies an engine for the application's views: the design module and the
// Quellvista.App types.
void prepareAppEngine(QQmlEngine &engine);

// A step every later prepareAppEngine() runs too (the pages register their QML types so).
void addEngineSetup(void (*setup)(QQmlEngine &engine));

} // namespace qv
