#pragma once

#include "platform/Notifications.h"

#include <QList>

namespace qv {

// The simulated notification centre: records what was asked and posted.
class SimNotifications final : public Notifications {
public:
    struct Posted {
        QString identifier;
        QString title;
        QString body;
        bool operator==(const Posted &) const = default;
    };

    void requestAuthorization(std::function<void(bool granted)> completion) override;
    void post(const QString &identifier, const QString &title, const QString &body) override;

    // What the user answers to an authorisation request (granted unless changed).
    void setGrantsAuthorization(bool grants) { m_grants = grants; }
    int authorizationRequestCount() const { return m_requests; }
    // Everything posted, oldest first.
    QList<Posted> posted() const { return m_posted; }

private:
    bool m_grants = true;
    int m_requests = 0;
    QList<Posted> m_posted;
};

} // namespace qv
