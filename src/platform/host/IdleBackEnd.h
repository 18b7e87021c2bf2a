#pragma once

#include "platform/Idle.h"

#include <QtGlobal>

#include <optional>

namespace qv::host {

// What the host's idle sources share: while the user is idle, the moment of the last
// input (on the scheduler's monotonic clock), told on as it changes; a user not known to
// be idle counts as present (0 s).
class IdleBackEnd : public Idle {
    Q_OBJECT
public:
    using Idle::Idle;

    double secondsSinceLastInputEvent() const override;
    // The last input while the user is idle; nothing while present.
    std::optional<qint64> lastInputMs() const { return m_lastInputMs; }

protected:
    // The user has been idle since lastInputMs: idleStarted when this is news.
    void idleSince(qint64 lastInputMs);
    // The user is present: resumed when the user was idle.
    void present();

private:
    std::optional<qint64> m_lastInputMs;
};

} // namespace qv::host
