#include "pages/services/PageServices.h"

#include <QQmlEngine>

namespace qv {

PageServices &PageServices::of(QQmlEngine &engine)
{
    if (auto *services = engine.findChild<PageServices *>(QString(), Qt::FindDirectChildrenOnly))
        return *services;
    return *new PageServices(&engine);
}

const PageServices *PageServices::find(const QObject *object)
{
    QQmlEngine *engine = object ? qmlEngine(object) : nullptr;
    return engine ? engine->findChild<PageServices *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace qv
