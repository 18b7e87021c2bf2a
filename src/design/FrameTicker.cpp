#include "design/FrameTicker.h"

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

void FrameTicker::watchWindow(QQuickWindow *window)
{
    for (const auto &c : m_windowConnections)
        disconnect(c);
    m_windowConnections.clear();
    m_window = window;
    if (!window)
        return;
    m_windowConnections << connect(window, &QWindow::visibilityChanged, this, &FrameTicker::reconsider);
    m_windowConnections << connect(window, &QObject::destroyed, this, &FrameTicker::reconsider);
}

void FrameTicker::reconsider()
{
    const bool shown = m_window && m_window->isVisible() && m_window->visibility() != QWindow::Minimized &&
                       m_window->visibility() != QWindow::Hidden;
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
