#pragma once

#include <QCoreApplication>
#include <QQuickItem>

namespace qv::test {

// The item of the given object name below item (item itself included), searching the
// visual tree: repeated and loaded items are children of their visual parent only. Items
// deleted later (a closed pop-up) are gone first.
inline QQuickItem *findItem(QQuickItem *item, const QString &name)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}

} // namespace qv::test
