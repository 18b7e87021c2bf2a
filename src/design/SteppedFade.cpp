#include "design/SteppedFade.h"

#include "runtime/Scheduler.h"

#include <QEasingCurve>

#include <algorithm>
#include <cmath>

namespace qv {

SteppedFadeItem::SteppedFadeItem(QQuickItem *parent)
    : QQuickItem(parent), m_ticker(new FrameTicker(this, [this] { return tick(); }))
{
    m_ticker->setWanted(false);
}

qint64 SteppedFadeItem::onStepGrid(qint64 nowMs, qint64 delayMs)
{
    const qint64 slack = FrameTicker::kGridMs / 2;
    qint64 due = (nowMs + std::max<qint64>(delayMs, 0) + kStepMs - 1) / kStepMs * kStepMs;
    // Too close to absorb a slow tick: the step after.
    if (due - slack - nowMs < 1)
        due += kStepMs;
    while (due - kStepMs - slack > nowMs && due - slack - nowMs > FrameTicker::kMaxSleepMs)
        due -= kStepMs;
    return std::max<qint64>(1, due - slack - nowMs);
}

qreal SteppedFadeItem::eased(Curve curve, qreal t)
{
    // As QML's animations of the same names ease.
    static const QEasingCurve curves[] = {QEasingCurve(QEasingCurve::OutCubic), QEasingCurve(QEasingCurve::InOutQuad),
                                          QEasingCurve(QEasingCurve::InQuad)};
    return curves[curve].valueForProgress(std::clamp<qreal>(t, 0, 1));
}

void SteppedFadeItem::setTo(qreal to)
{
    if (m_to == to)
        return;
    m_to = to;
    emit curveChanged();
    if (!m_started)
        setValue(to);
}

void SteppedFadeItem::start()
{
    m_started = true;
    m_startMs = scheduler().monotonicMs();
    setValue(m_from);
    m_ticker->setWanted(true);
    m_ticker->restart();
}

qint64 SteppedFadeItem::tick()
{
    const qint64 now = scheduler().monotonicMs();
    const qint64 elapsed = now - m_startMs;
    const qreal value = m_from + (m_to - m_from) * eased(m_curve, qreal(elapsed) / m_duration);
    // Within a couple of levels of its end (a fade settling) it goes there at once: a step
    // that small is not seen, and its frame is saved.
    if (elapsed >= m_duration || std::abs(m_to - value) <= kEndLevels / 255.0) {
        setValue(m_to);
        m_ticker->setWanted(false);
        return FrameTicker::kMaxSleepMs;
    }
    setValue(value);
    return onStepGrid(now, 1);
}

void SteppedFadeItem::setValue(qreal value)
{
    if (m_value == value)
        return;
    m_value = value;
    emit valueChanged();
}

} // namespace qv
