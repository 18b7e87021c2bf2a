#pragma once

#include <QObject>

namespace qv {

class DisplayTuning;

// Whether PWM-safe dimming acts on the screen: only while display tuning is on, dims the
// picture (with Neutral active the switch may be on while nothing is dimmed) and a screen
// takes the formula (not where every screen's ramp is refused or there is no way to set
// one). Says so when that turns, not at every step of a transition, so that a status line
// that counts it is drawn again only then.
class PwmDimmingActs : public QObject {
    Q_OBJECT
public:
    explicit PwmDimmingActs(DisplayTuning &tuning, QObject *parent = nullptr);

    bool value() const { return m_acts; }
    static bool of(const DisplayTuning &tuning);
    // Whether any active screen takes the formula now.
    static bool aScreenTakesFormula();

signals:
    void changed();
    // A back-end heard later whether a screen took its formula (a compositor's answer).
    void formulaNoteChanged();

private slots:
    void check();

private:
    DisplayTuning &m_tuning;
    bool m_acts = false;
};

} // namespace qv
