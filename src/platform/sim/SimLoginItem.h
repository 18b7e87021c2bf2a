#pragma once

#include "platform/LoginItem.h"

#include <QStringList>

namespace qv {

// The simulated Mac's login item: a status tests set, failures they arm, and the calls
// made ("register", "unregister") in order.
class SimLoginItem final : public LoginItem {
public:
    Status status() override { return m_status; }
    bool registerItem(QString *error) override;
    bool unregisterItem(QString *error) override;

    void setStatus(Status status) { m_status = status; }
    // A non-empty text makes the calls fail with it as the description.
    void setRegisterFailure(const QString &description) { m_registerFailure = description; }
    void setUnregisterFailure(const QString &description) { m_unregisterFailure = description; }
    const QStringList &calls() const { return m_calls; }

private:
    Status m_status = Status::notRegistered;
    QString m_registerFailure;
    QString m_unregisterFailure;
    QStringList m_calls;
};

} // namespace qv
