#pragma once

#include "runtime/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>

#include <functional>
#include <limits>

namespace qv {

// Calls tick() while the item is visible in a window that is shown, not minimised, exposed
// (not on another workspace; under Wayland, while the compositor asks for frames: Qt takes
// a window that gets no frame callback as unexposed), not wholly covered by other windows
// and not on a blanked screen (the platform's WindowSight): once as soon as that holds, then again
// after as many milliseconds of the scheduler's time as tick() returned, so that an
// animation sleeps until its next visible change. A sleep never lasts longer
// than kMaxSleepMs, so that a clock that jumped (suspend and resume, a set clock) is
// noticed soon. Wake-ups fall on a grid of kGridMs, so that animations due at nearly the
// same moment change in one frame, and one that comes just after a frame waits for the next
// step of the grid. Closing or hiding the window stops it.
class FrameTicker : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kGridMs = 16;
    static constexpr qint64 kMaxSleepMs = 1000;

    FrameTicker(QQuickItem *item, std::function<qint64()> tick);

    // Whether the owner wants ticks at all (a still logo does not).
    void setWanted(bool wanted);
    // Ticks at once (on a later turn of the event loop) when running.
    void restart();
    bool isRunning() const { return m_running; }

    // The first delay of fromMs, fromMs + stepMs, ... up to toMs at which changedAfter(delay)
    // holds, or toMs when none does.
    static qint64 untilChange(qint64 fromMs, qint64 toMs, qint64 stepMs,
                              const std::function<bool(qint64 delayMs)> &changedAfter);

signals:
    void runningChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow(QQuickWindow *window);
    void reconsider();
    void schedule(qint64 delayMs);
    void fire();

    QQuickItem *m_item;
    std::function<qint64()> m_tick;
    QPointer<QQuickWindow> m_window;
    QList<QMetaObject::Connection> m_windowConnections;
    TaskHandle m_task;
    bool m_wanted = true;
    bool m_running = false;
    quint64 m_generation = 0;
    qint64 m_lastFrameMs = std::numeric_limits<qint64>::min() / 2;
};

} // namespace qv
