#include "design/FrameTicker.h"

#include "platform/desktop/WindowOcclusion.h"

namespace qv {

FrameTicker::FrameTicker(QQuickItem *item, std::function<qint64()> intervalMs, std::function<void()> tick)
    : QObject(item), m_item(item), m_interval(std::move(intervalMs)), m_tick(std::move(tick))
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
    if (!m_task.isActive())
        return;
    m_task.cancel();
    m_task = scheduler().every(std::max<qint64>(1, m_interval()), this, m_tick);
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
    m_windowConnections << connect(&WindowOcclusion::shared(), &WindowOcclusion::obscuredChanged, this,
                                   [this](QWindow *w) {
                                       if (w == m_window)
                                           reconsider();
                                   });
    m_windowConnections << connect(window, &QObject::destroyed, this, &FrameTicker::reconsider);
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
                       !WindowOcclusion::shared().isFullyObscured(m_window);
    const bool run = m_wanted && shown && m_item->isVisible();
    if (run && !m_task.isActive()) {
        m_task = scheduler().every(std::max<qint64>(1, m_interval()), this, m_tick);
        emit runningChanged();
    } else if (!run && m_task.isActive()) {
        m_task.cancel();
        emit runningChanged();
    }
}

} // namespace qv
