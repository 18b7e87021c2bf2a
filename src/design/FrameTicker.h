#pragma once

#include "runtime/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>

#include <functional>

namespace qv {

// Calls tick() every intervalMs (asked at each start) of the scheduler's time while the
// item is visible in a window that is shown, not minimised, exposed (not on another
// workspace) and not wholly covered by other windows. Closing or hiding the window stops it.
class FrameTicker : public QObject {
    Q_OBJECT
public:
    FrameTicker(QQuickItem *item, std::function<qint64()> intervalMs, std::function<void()> tick);

    // Whether the owner wants ticks at all (a still logo does not).
    void setWanted(bool wanted);
    // Starts again at the interval the owner gives now, when running.
    void restart();
    bool isRunning() const { return m_task.isActive(); }

signals:
    void runningChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow(QQuickWindow *window);
    void reconsider();

    QQuickItem *m_item;
    std::function<qint64()> m_interval;
    std::function<void()> m_tick;
    QPointer<QQuickWindow> m_window;
    QList<QMetaObject::Connection> m_windowConnections;
    TaskHandle m_task;
    bool m_wanted = true;
};

} // namespace qv
