#include "app/AppEngine.h"

#include "design/Design.h"
#include "pages/display_comfort/DisplayComfortBlocks.h"

#include <QList>
#include <QQmlEngine>

void qml_register_types_Quellvista_App();
void qml_register_types_Quellvista_Pages_DisplayComfort();
void qml_register_types_Quellvista_Pages_Wellness();

namespace qv {

namespace {
QList<void (*)(QQmlEngine &)> &engineSetups()
{
    static QList<void (*)(QQmlEngine &)> setups;
    return setups;
}
} // namespace

void addEngineSetup(void (*setup)(QQmlEngine &engine))
{
    if (!engineSetups().contains(setup))
        engineSetups().append(setup);
}

void prepareAppEngine(QQmlEngine &engine)
{
    design::prepareEngine(engine);
    static const bool registered = [] {
        qml_register_types_Quellvista_App();
        qml_register_types_Quellvista_Pages_DisplayComfort();
        qml_register_types_Quellvista_Pages_Wellness();
        registerDisplayComfortBlocks();
        return true;
    }();
    Q_UNUSED(registered)
    for (auto setup : engineSetups())
        setup(engine);
}

} // namespace qv
