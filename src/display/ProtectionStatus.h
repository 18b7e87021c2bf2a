#pragma once

#include "runtime/StoredSetting.h"

#include <QObject>
#include <QString>

namespace qv {

class DisplayTuning;
class PwmDimmingActs;

// Which display protections act on the screen now: the one reading every status line and
// every protection switch shows, so that none says on while another says off.
//   - Dithering and uniformity act where the machine's framebuffers hold them
//     (DisplayEngine::framebufferProtectionsAvailable) and their stored switches ask for it.
//   - PWM-safe dimming acts while its stored switch is on and display tuning dims the
//     picture (with Neutral active the switch may be stored on while nothing is dimmed).
// Says changed when any of that turns, not at every step of a transition.
class ProtectionStatus : public QObject {
    Q_OBJECT
public:
    explicit ProtectionStatus(QObject *parent = nullptr);
    ProtectionStatus(DisplayTuning &tuning, QObject *parent);
    ~ProtectionStatus() override;

    bool ditheringActs() const;
    bool pwmActs() const;
    bool uniformityActs() const;
    // How many act, of availableCount().
    int activeCount() const;
    // How many this machine can act on: 3 where framebuffers hold dithering and
    // uniformity, else 1 (PWM-safe dimming).
    static int availableCount();
    bool allActive() const { return activeCount() == availableCount(); }
    // Whether the comfort veil tints a screen while no screen takes the formula (a desktop
    // with no way to set gamma): the veil then softens the screen in the formula's place,
    // so the status does not read as if nothing acted.
    bool veilStandsIn() const;
    // Whether anything counted here acts: a protection, or the veil standing in.
    bool anyActs() const { return activeCount() > 0 || veilStandsIn(); }

    // The status in words: "Eye Comfort: Active", "Partial protection", "Protection off"
    // (only while nothing acts: not while the veil stands in).
    QString title() const;
    // Under it: "All protections are enabled" or "1 of 3 protections active"; where only
    // PWM-safe dimming can act, "PWM-safe dimming is on" or "... is off".
    QString countLine() const;

    // The stored switches, for the controls that write them.
    StoredSetting &disableDithering() { return m_disableDithering; }
    StoredSetting &disableUniformity2D() { return m_disableUniformity2D; }
    StoredSetting &pwmAvoidanceEnabled() { return m_pwmAvoidanceEnabled; }

signals:
    void changed();

private slots:
    void checkVeil();

private:
    StoredSetting m_disableDithering;
    StoredSetting m_disableUniformity2D;
    StoredSetting m_pwmAvoidanceEnabled;
    PwmDimmingActs *m_pwmDimming;
    bool m_veilStoodIn = false; // as last said
};

} // namespace qv
