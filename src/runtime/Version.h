#pragma once

#include <QString>

namespace qv {

// The application's version, the project's as CMake names it ("1.0.0"): the one text the
// bundle information, the Support page, the feedback file and --version show.
QString applicationVersion();

} // namespace qv
