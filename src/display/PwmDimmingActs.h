#pragma once

#include <QObject>

namespace qv {

class DisplayTuning;

// Whether PWM-safe dimming acts on the screen: only while display tuning is on and dims
// the picture (with Neutral active the switch may be on while nothing is dimmed). Says so
// when that turns, not at every step of a transition, so that a status line that counts
// it is drawn again only then.
class PwmDimmingActs : public QObject {
    Q_OBJECT
public:
    explicit PwmDimmingActs(DisplayTuning &tuning, QObject *parent = nullptr);

    bool value() const { return m_acts; }
    static bool of(const DisplayTuning &tuning);

signals:
    void changed();

private:
    DisplayTuning &m_tuning;
    bool m_acts = false;
};

} // namespace qv
