#include "pages/display_comfort/FrameCoalescer.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace qv {

FrameCoalescer::FrameCoalescer(std::function<void(double)> apply, QObject *parent)
    : QObject(parent), m_apply(std::move(apply))
{
}

FrameCoalescer::~FrameCoalescer()
{
    m_frame.cancel();
    if (m_pending)
        m_apply(*m_pending);
}

qint64 FrameCoalescer::frameIntervalMs()
{
    double hz = 60;
    if (QScreen *screen = QGuiApplication::primaryScreen(); screen && screen->refreshRate() >= 20)
        hz = std::min<double>(screen->refreshRate(), 240);
    return std::max<qint64>(1, qint64(std::floor(1000.0 / hz)));
}

void FrameCoalescer::submit(double value)
{
    if (!m_dragging) {
        m_pending.reset();
        m_apply(value);
        return;
    }
    if (m_frame.isActive()) {
        m_pending = value;
        return;
    }
    m_apply(value);
    startFrame();
}

void FrameCoalescer::setDragging(bool dragging)
{
    if (dragging == m_dragging)
        return;
    m_dragging = dragging;
    if (!dragging) {
        m_frame.cancel();
        flush();
    }
}

void FrameCoalescer::startFrame()
{
    m_frame = scheduler().after(frameIntervalMs(), this, [this] {
        if (!m_pending)
            return;
        flush();
        startFrame();
    });
}

void FrameCoalescer::flush()
{
    if (!m_pending)
        return;
    const double value = *m_pending;
    m_pending.reset();
    m_apply(value);
}

} // namespace qv
