#pragma once

#include "platform/host/IdleBackEnd.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

namespace qv::x11 {
class XConnection;
}

namespace qv::host {

// The user's idle time from the X server's screen-saver extension (milliseconds since the
// last input of any device). The server tells only when asked: it is asked when the user
// could first have been idle for idleAfterMs, and every kIdleCheckMs (at most half of
// idleAfterMs) while the user is idle, to see the input that ends it. An X server that stops answering leaves the user
// present, said once (gone()).
class ScreenSaverIdle final : public IdleBackEnd {
    Q_OBJECT
public:
    static constexpr qint64 kIdleAfterMs = 5'000;
    static constexpr qint64 kIdleCheckMs = 1'000;

    // x has the screen-saver extension (not owned; it outlives this).
    explicit ScreenSaverIdle(x11::XConnection &x, qint64 idleAfterMs = kIdleAfterMs, QObject *parent = nullptr);
    ~ScreenSaverIdle() override;

    bool isAvailable() const { return m_x != nullptr; }

signals:
    // The X server no longer answers; nothing is asked of it again.
    void gone();

private:
    void check();

    x11::XConnection *m_x;
    qint64 m_idleAfterMs;
    TaskHandle m_next;
};

} // namespace qv::host
