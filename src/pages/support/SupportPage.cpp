#include "pages/support/SupportPage.h"

#include "app/AppEngine.h"

#include <QtGlobal>

void qml_register_types_Quellvista_Support();

namespace qv {

void registerSupportPage()
{
    addEngineSetup([](QQmlEngine &) {
        static const bool registered = [] {
            qml_register_types_Quellvista_Support();
            return true;
        }();
        Q_UNUSED(registered)
    });
}

} // namespace qv
