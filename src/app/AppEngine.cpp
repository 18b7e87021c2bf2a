#include "app/AppEngine.h"

#include "design/Design.h"
#include "pages/wellness/WellnessPages.h"

#include <QQmlEngine>

void qml_register_types_Quellvista_App();

namespace qv {

void prepareAppEngine(QQmlEngine &engine)
{
    design::prepareEngine(engine);
    registerWellnessPages();
    static const bool registered = [] {
        qml_register_types_Quellvista_App();
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace qv
