#include "pages/wellness/WellnessPages.h"

#include <QtGlobal>

void qml_register_types_Quellvista_Pages_Wellness();

namespace qv {

void registerWellnessPages()
{
    static const bool registered = [] {
        qml_register_types_Quellvista_Pages_Wellness();
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace qv
