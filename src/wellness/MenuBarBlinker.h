#pragma once

#include "runtime/Scheduler.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

namespace qv {

class BreakReminder;

// The soft pulse of the menu-bar eye in the last minute before a break: opacity follows
// a raised cosine between 0.45 and 1.0 with a period of two seconds, in 0.05 s steps.
// The owner decides when it runs: it sets active, then calls startBlink() or stopBlink().
class MenuBarBlinker : public QObject {
    Q_OBJECT
    Q_PROPERTY(double opacity READ opacity NOTIFY opacityChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)

public:
    static constexpr qint64 kTickMs = 50;
    static constexpr double kTickSeconds = 0.05;
    static constexpr double kMinimumOpacity = 0.45;

    explicit MenuBarBlinker(QObject *parent = nullptr);
    ~MenuBarBlinker() override;

    double opacity() const { return m_opacity; }
    bool active() const { return m_active; }
    void setActive(bool active);
    // Seconds of pulsing since the last startBlink().
    double phase() const { return m_phase; }
    bool isPulsing() const { return m_timer.isActive(); }

    // (Re)starts the pulse at phase 0; opacity moves from the first tick on.
    Q_INVOKABLE void startBlink();
    // Stops the pulse and shows the eye fully.
    Q_INVOKABLE void stopBlink();

    // The opacity at a phase: 0.45 + 0.55 * (sin(phase * pi - pi/2) + 1) / 2.
    static double opacityAt(double phase);

    // The eye pulses while reminders are on, no break runs and the break is 1 to 60 s away.
    static bool shouldBlink(bool remindersEnabled, bool onBreak, int secondsUntilBreak);
    static bool shouldBlink(const BreakReminder &reminder);

    // The owner's part: compares the wanted state with active and, on a difference,
    // stores it and starts or stops the pulse.
    void update(bool wanted);
    // Follows a reminder: update(shouldBlink(reminder)) now and on every change of the
    // values the test reads.
    void follow(BreakReminder *reminder);

signals:
    void opacityChanged();
    void activeChanged();

private:
    void tick();
    void setOpacity(double opacity);

    double m_opacity = 1.0;
    TaskHandle m_timer;
    bool m_active = false;
    double m_phase = 0.0;
    QPointer<BreakReminder> m_reminder;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace qv
