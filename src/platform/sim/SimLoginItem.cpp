#include "platform/sim/SimLoginItem.h"

namespace qv {

bool SimLoginItem::registerItem(QString *error)
{
    m_calls << QStringLiteral("register");
    if (!m_registerFailure.isEmpty()) {
        if (error)
            *error = m_registerFailure;
        return false;
    }
    m_status = Status::enabled;
    return true;
}

bool SimLoginItem::unregisterItem(QString *error)
{
    m_calls << QStringLiteral("unregister");
    if (!m_unregisterFailure.isEmpty()) {
        if (error)
            *error = m_unregisterFailure;
        return false;
    }
    m_status = Status::notRegistered;
    return true;
}

} // namespace qv
