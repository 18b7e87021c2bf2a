#include "app/AppEngine.h"

#include "design/Design.h"

#include <QList>
#include <QQmlEngine>

void qml_register_types_Quellvista_App();

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
        return true;
    }();
    Q_UNUSED(registered)
    for (auto setup : engineSetups())
        setup(engine);
}

} // namespace qv
