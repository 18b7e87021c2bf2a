#include "pages/display_comfort/DisplayComfortBlocks.h"
#include <QtGlobal>

void qml_register_types_Quellvista_Pages_DisplayComfort_Blocks();

namespace qv {

void registerDisplayComfortBlocks()
{
    static const bool registered = [] {
        qml_register_types_Quellvista_Pages_DisplayComfort_Blocks();
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace qv
