#include "platform/host/ScreenSaverIdle.h"

#include "platform/x11/XConnection.h"

#include <xcb/screensaver.h>

#include <algorithm>
#include <cstdlib>

namespace qv::host {

ScreenSaverIdle::ScreenSaverIdle(x11::XConnection &x, qint64 idleAfterMs, QObject *parent)
    : IdleBackEnd(parent), m_x(&x), m_idleAfterMs(idleAfterMs)
{
    check();
}

ScreenSaverIdle::~ScreenSaverIdle()
{
    m_next.cancel();
}

void ScreenSaverIdle::check()
{
    m_next.cancel();
    if (!m_x)
        return;
    const auto reply = m_x->reply(xcb_screensaver_query_info_reply,
                                  xcb_screensaver_query_info(m_x->get(), m_x->root()), "asking for the idle time");
    if (!reply) {
        m_x = nullptr;
        present();
        emit gone();
        return;
    }
    const qint64 idleMs = reply->ms_since_user_input;
    const qint64 now = scheduler().monotonicMs();
    // Often enough that input is seen before the user could be idle again.
    const qint64 checkMs = std::min(kIdleCheckMs, m_idleAfterMs / 2);
    if (idleMs >= m_idleAfterMs) {
        // Idle: the moment of the last input moves only by input since (beyond the
        // difference of the two clocks between two looks).
        const qint64 lastInput = now - idleMs;
        if (!lastInputMs() || std::abs(*lastInputMs() - lastInput) > checkMs / 2)
            idleSince(lastInput);
        m_next = scheduler().after(checkMs, this, [this] { check(); });
    } else {
        present();
        m_next = scheduler().after(std::max<qint64>(m_idleAfterMs - idleMs, 50), this, [this] { check(); });
    }
}

} // namespace qv::host
