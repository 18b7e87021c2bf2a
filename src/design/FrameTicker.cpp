#include "design/FrameTicker.h"

#include "platform/Platform.h"
#include "platform/WindowSight.h"

#include <algorithm>

namespace qv {

FrameTicker::FrameTicker(QQuickItem *item, std::function<qint64()> tick)
    : QObject(item), m_item(item), m_tick(std::move(tick))
{
    connect(item, &QQuickItem::windowChanged, this, [this](QQuickWindow *w) {
        watchWindow(w);
        reconsider();
    });
    connect(item, &QQuickItem::visibleChanged, this, &FrameTicker::reconsider);
    watchWindow(item->window());
    reconsider();
}

void FrameTicker::setWanted(bool wanted)
{
    m_wanted = wanted;
    reconsider();
}

void FrameTicker::restart()
{
    if (!m_running)
        return;
    m_task.cancel();
    ++m_generation;
    m_task = scheduler().post(this, [this] { fire(); });
}

qint64 FrameTicker::untilChange(qint64 fromMs, qint64 toMs, qint64 stepMs,
                                const std::function<bool(qint64)> &changedAfter)
{
    for (qint64 delay = fromMs; delay < toMs; delay += std::max<qint64>(1, stepMs))
        if (changedAfter(delay))
            return delay;
    return toMs;
}

void FrameTicker::schedule(qint64 delayMs)
{
    // Onto the grid of the monotonic clock, never sooner than asked.
    const qint64 now = scheduler().monotonicMs();
    const qint64 delay = std::clamp<qint64>(delayMs, 1, kMaxSleepMs);
    const qint64 due = (now + delay + kGridMs - 1) / kGridMs * kGridMs;
    m_task = scheduler().after(due - now, this, [this] { fire(); });
}

void FrameTicker::fire()
{
    // Just after a frame (one that took long, say, and kept this wake-up waiting), the
    // change waits for the next step of the grid rather than ask for a frame of its own.
    const qint64 sinceFrame = scheduler().monotonicMs() - m_lastFrameMs;
    if (sinceFrame >= 0 && sinceFrame < kGridMs / 2) {
        schedule(kGridMs - sinceFrame);
        return;
    }
    const quint64 generation = ++m_generation;
    const qint64 next = m_tick();
    // The tick may have stopped the ticker, or started it afresh.
    if (m_running && generation == m_generation)
        schedule(next);
}

void FrameTicker::watchWindow(QQuickWindow *window)
{
    for (const auto &c : m_windowConnections)
        disconnect(c);
    m_windowConnections.clear();
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (!window)
        return;
    // Exposure comes as an event of the window's, after the window took it in.
    window->installEventFilter(this);
    m_windowConnections << connect(window, &QWindow::visibilityChanged, this, &FrameTicker::reconsider);
    if (WindowSight *sight = platform().windowSight)
        m_windowConnections << connect(sight, &WindowSight::outOfSightChanged, this, [this](QWindow *w) {
            if (w == m_window)
                reconsider();
        });
    m_windowConnections << connect(window, &QObject::destroyed, this, &FrameTicker::reconsider);
    // Sent from the render thread where there is one: then it arrives a little later.
    m_windowConnections << connect(window, &QQuickWindow::frameSwapped, this,
                                   [this] { m_lastFrameMs = scheduler().monotonicMs(); });
}

bool FrameTicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Expose)
        reconsider();
    return false;
}

void FrameTicker::reconsider()
{
    const bool shown = m_window && m_window->isVisible() && m_window->visibility() != QWindow::Minimized &&
                       m_window->visibility() != QWindow::Hidden && m_window->isExposed() &&
                       !(platform().windowSight && platform().windowSight->isOutOfSight(m_window));
    const bool run = m_wanted && shown && m_item->isVisible();
    if (run && !m_running) {
        m_running = true;
        ++m_generation;
        m_task = scheduler().post(this, [this] { fire(); });
        emit runningChanged();
    } else if (!run && m_running) {
        m_running = false;
        ++m_generation;
        m_task.cancel();
        emit runningChanged();
    }
}

} // namespace qv
