#pragma once

namespace qv {

// Makes the Support page's QML module known to every engine the application prepares.
void registerSupportPage();

} // namespace qv
