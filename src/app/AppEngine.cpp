#include "app/AppEngine.h"

#include "design/Design.h"

#include <QQmlEngine>

void qml_register_types_Quellvista_App();
void qml_register_types_Quellvista_Pages_DisplayComfort();
void qml_register_types_Quellvista_Pages_DisplayComfort_Blocks();
void qml_register_types_Quellvista_Pages_Wellness();
void qml_register_types_Quellvista_Support();

namespace qv {

void prepareAppEngine(QQmlEngine &engine)
{
    design::prepareEngine(engine);
    static const bool registered = [] {
        qml_register_types_Quellvista_App();
        qml_register_types_Quellvista_Pages_DisplayComfort();
        qml_register_types_Quellvista_Pages_DisplayComfort_Blocks();
        qml_register_types_Quellvista_Pages_Wellness();
        qml_register_types_Quellvista_Support();
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace qv
