#include "wellness/MenuBarBlinker.h"

#include "wellness/BreakReminder.h"

#include <cmath>
#include <numbers>

namespace qv {

MenuBarBlinker::MenuBarBlinker(QObject *parent) : QObject(parent) {}

MenuBarBlinker::~MenuBarBlinker()
{
    m_timer.cancel();
}

void MenuBarBlinker::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void MenuBarBlinker::setOpacity(double opacity)
{
    if (m_opacity == opacity)
        return;
    m_opacity = opacity;
    emit opacityChanged();
}

double MenuBarBlinker::opacityAt(double phase)
{
    constexpr double pi = std::numbers::pi;
    return kMinimumOpacity + (1.0 - kMinimumOpacity) * (std::sin(phase * pi - pi / 2) + 1.0) / 2.0;
}

void MenuBarBlinker::startBlink()
{
    m_timer.cancel();
    m_phase = 0.0;
    // Each fire runs the tick as a task of its own that holds the blinker weakly.
    m_timer = scheduler().every(kTickMs, this, [this] { scheduler().post(this, [this] { tick(); }); });
}

void MenuBarBlinker::stopBlink()
{
    m_timer.cancel();
    m_timer = TaskHandle();
    setOpacity(1.0);
}

void MenuBarBlinker::tick()
{
    if (!m_active)
        return;
    m_phase += kTickSeconds;
    setOpacity(opacityAt(m_phase));
}

bool MenuBarBlinker::shouldBlink(bool remindersEnabled, bool onBreak, int secondsUntilBreak)
{
    return remindersEnabled && !onBreak && secondsUntilBreak >= 1 && secondsUntilBreak <= 60;
}

bool MenuBarBlinker::shouldBlink(const BreakReminder &reminder)
{
    return shouldBlink(reminder.isEnabled(), reminder.isOnBreak(), reminder.secondsUntilBreak());
}

void MenuBarBlinker::update(bool wanted)
{
    if (wanted == m_active)
        return;
    setActive(wanted);
    if (wanted)
        startBlink();
    else
        stopBlink();
}

void MenuBarBlinker::follow(BreakReminder *reminder)
{
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_reminder = reminder;
    if (!reminder)
        return;
    auto check = [this] {
        if (m_reminder)
            update(shouldBlink(*m_reminder));
    };
    m_connections << connect(reminder, &BreakReminder::isEnabledChanged, this, check)
                  << connect(reminder, &BreakReminder::isOnBreakChanged, this, check)
                  << connect(reminder, &BreakReminder::secondsUntilBreakChanged, this, check);
    check();
}

} // namespace qv
