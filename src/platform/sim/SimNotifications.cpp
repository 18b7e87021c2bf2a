#include "platform/sim/SimNotifications.h"

namespace qv {

void SimNotifications::requestAuthorization(std::function<void(bool granted)> completion)
{
    ++m_requests;
    if (completion)
        completion(m_grants);
}

void SimNotifications::post(const QString &identifier, const QString &title, const QString &body)
{
    m_posted.append({identifier, title, body});
}

} // namespace qv
