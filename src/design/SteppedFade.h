#pragma once

#include "design/FrameTicker.h"

#include <QQuickItem>

namespace qv {

// A value that eases from `from` to `to` over `duration` milliseconds once start() is
// called, for an opacity to bind to; it holds `to` until then. It changes at most every
// kStepMs, and only at the instants every other stepped animation of a window changes at
// (multiples of kStepMs on the monotonic clock), so that a window whose animations all
// step this way draws at most 1000 / kStepMs frames a second, however many of them run.
// Like every ticking item it rests while its window is not seen.
class SteppedFadeItem : public QQuickItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(SteppedFade)
    Q_PROPERTY(qreal from MEMBER m_from NOTIFY curveChanged)
    Q_PROPERTY(qreal to READ to WRITE setTo NOTIFY curveChanged)
    Q_PROPERTY(int duration MEMBER m_duration NOTIFY curveChanged)
    Q_PROPERTY(Curve curve MEMBER m_curve NOTIFY curveChanged)
    Q_PROPERTY(qreal value READ value NOTIFY valueChanged)
public:
    enum Curve { OutCubic, InOutQuad, InQuad };
    Q_ENUM(Curve)

    explicit SteppedFadeItem(QQuickItem *parent = nullptr);

    // Every third step of the ticker's grid: at most 20.8 steps a second.
    static constexpr qint64 kStepMs = 3 * FrameTicker::kGridMs;
    // A fade this close to its end (in 8-bit levels of the value) ends at the next step.
    static constexpr qreal kEndLevels = 2;

    // The delay to ask a FrameTicker for, at nowMs, so that it wakes at the first multiple
    // of kStepMs at least delayMs on and more than half a grid step away (never later than
    // its longest sleep allows): less
    // half a grid step, so that a tick that took a millisecond or two still lands there
    // once the ticker brings the wake-up onto its grid.
    static qint64 onStepGrid(qint64 nowMs, qint64 delayMs);
    // The curve's share of the way at progress 0 ... 1.
    static qreal eased(Curve curve, qreal progress);

    qreal to() const { return m_to; }
    void setTo(qreal to);
    qreal value() const { return m_value; }

    // Starts the fade afresh at `from`.
    Q_INVOKABLE void start();

signals:
    void curveChanged();
    void valueChanged();

private:
    qint64 tick();
    void setValue(qreal value);

    FrameTicker *m_ticker;
    qreal m_from = 0;
    qreal m_to = 1;
    int m_duration = 250;
    Curve m_curve = OutCubic;
    qreal m_value = 1;
    bool m_started = false;
    qint64 m_startMs = 0;
};

} // namespace qv
