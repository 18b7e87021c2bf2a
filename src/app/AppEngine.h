#pragma once

class QQmlEngine;

namespace qv {

// Readies an engine for the application's views: the design module and the
// Quellvista.App types, and the page blocks'.
void prepareAppEngine(QQmlEngine &engine);

} // namespace qv
