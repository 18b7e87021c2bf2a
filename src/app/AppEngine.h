#pragma once

class QQmlEngine;

namespace qv {

// Readies an engine for the application's views: the design module, the Quellvista.App
// types and the pages' modules (the application links the page libraries).
void prepareAppEngine(QQmlEngine &engine);

} // namespace qv
