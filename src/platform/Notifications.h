#pragma once

#include <QString>

#include <functional>

namespace qv {

// The user-notification centre: alerts with the default sound, delivered at once.
class Notifications {
public:
    virtual ~Notifications() = default;
    // Asks for permission to post alerts with sound; completion gets the answer (it may
    // run later, or never when the system does not answer).
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
    // Posts a notification now. A notification posted with the identifier of an earlier
    // one replaces it. Failures are logged, never reported.
    virtual void post(const QString &identifier, const QString &title, const QString &body) = 0;
};

} // namespace qv
