#pragma once

#include <QString>

namespace qv {

// The application's own login item: whether the program starts with the user's session.
class LoginItem {
public:
    // The main application service's status; enabled is 1.
    enum class Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    virtual ~LoginItem() = default;

    virtual Status status() = 0;
    // Each returns false with the cause in error (a localized description) on failure.
    virtual bool registerItem(QString *error) = 0;
    virtual bool unregisterItem(QString *error) = 0;
    // True when the user switched the item off in the desktop's own settings, which keep
    // it in place but mark it not to start: a choice to keep, not an item to register.
    virtual bool switchedOffByUser() { return false; }
    // True when an enabled item would start a program that is gone, or another copy than
    // the installed one this process is: registering again brings it up to date.
    virtual bool needsRenewal() { return false; }
};

} // namespace qv
