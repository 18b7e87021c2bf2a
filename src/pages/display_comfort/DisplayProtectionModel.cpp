#include "pages/display_comfort/DisplayProtectionModel.h"

#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "display/LiveVerificationMonitor.h"
#include "platform/RegistryValue.h"

namespace qv {

namespace displayCard {

DisplayStand stand(const LiveVerificationDisplayState &display)
{
    const QString &icon = display.iconName;
    if (icon == QLatin1String("display") || icon == QLatin1String("tv") || icon == QLatin1String("videoprojector"))
        return DisplayStand::footAndBase;
    return display.isExternal ? DisplayStand::none : DisplayStand::bar;
}

QString connectionSummary(const LiveVerificationDisplayState &display)
{
    QStringList parts;
    for (const std::optional<QString> &part : {display.connection, display.resolution})
        if (part && !part->isEmpty())
            parts << *part;
    if (!parts.isEmpty())
        return parts.join(QStringLiteral(" - "));
    return display.isExternal ? QStringLiteral("External display") : QStringLiteral("Built-in retina display");
}

int protectionScore(const LiveVerificationDisplayState &display, bool pwmAvoidanceEnabled, bool framebufferProtections)
{
    if (!framebufferProtections)
        return pwmAvoidanceEnabled ? 100 : 0;
    const bool uniformityCounts = !display.isExternal && display.uniformity2D.has_value();
    int on = int(!display.ditherEnabled) + int(pwmAvoidanceEnabled);
    if (uniformityCounts && !*display.uniformity2D)
        ++on;
    return on * 100 / (uniformityCounts ? 3 : 2);
}

} // namespace displayCard

DisplayCardModel::DisplayCardModel(DisplayProtectionModel &list, const LiveVerificationDisplayState &display)
    : QObject(&list), m_list(list), m_display(display)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &DisplayCardModel::changed);
}

void DisplayCardModel::setDisplay(const LiveVerificationDisplayState &display)
{
    if (m_display == display)
        return;
    m_display = display;
    emit changed();
}

bool DisplayCardModel::framebufferSwitchesAvailable() const
{
    return DisplayEngine::framebufferProtectionsAvailable();
}

bool DisplayCardModel::pwmOn() const
{
    return m_list.status().pwmActs();
}

QColor DisplayCardModel::scoreColor() const
{
    return score() < 60 ? Theme::shared().copper() : Theme::shared().sage();
}

void DisplayCardModel::setDithering(bool on)
{
    m_list.switches().setDisableDithering(on);
    m_list.engine().setDither(!on, DisplayEngine::Target::service(m_display.id));
}

void DisplayCardModel::setPwm(bool on)
{
    m_list.switches().setPwmAvoidanceEnabled(on);
    if (on)
        m_list.engine().enablePWMAvoidance(0.55);
    else
        m_list.engine().disablePWMAvoidance();
}

void DisplayCardModel::setUniformity(bool on)
{
    m_list.switches().setDisableUniformity2D(on);
    m_list.engine().applyProperties({{QStringLiteral("uniformity2D"), RegistryValue::boolean(!on)}},
                                    DisplayEngine::Target::builtIn());
}

DisplayProtectionModel::DisplayProtectionModel(QObject *parent)
    : DisplayProtectionModel(DisplayEngine::shared(), parent)
{
}

DisplayProtectionModel::DisplayProtectionModel(DisplayEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_monitor(std::make_unique<LiveVerificationMonitor>(engine))
{
    connect(m_monitor.get(), &LiveVerificationMonitor::snapshotChanged, this, &DisplayProtectionModel::rebuild);
    auto refreshCards = [this] {
        for (DisplayCardModel *card : std::as_const(m_cards))
            card->refresh();
    };
    connect(&m_switches, &ProtectionSwitches::changed, this, refreshCards);
    connect(&m_status, &ProtectionStatus::changed, this, refreshCards);
    rebuild();
}

DisplayProtectionModel::~DisplayProtectionModel() = default;

QList<QObject *> DisplayProtectionModel::cardObjects() const
{
    QList<QObject *> objects;
    for (DisplayCardModel *card : m_cards)
        objects << card;
    return objects;
}

void DisplayProtectionModel::rebuild()
{
    // Cards are kept by display id: a display that stays keeps its card (and its
    // delegate); one that went loses it.
    QList<DisplayCardModel *> cards;
    QList<DisplayCardModel *> old = m_cards;
    for (const LiveVerificationDisplayState &display : m_monitor->snapshot().displayStates) {
        DisplayCardModel *card = nullptr;
        for (DisplayCardModel *candidate : std::as_const(old))
            if (candidate->display().id == display.id) {
                card = candidate;
                break;
            }
        if (card) {
            old.removeOne(card);
            card->setDisplay(display);
        } else {
            card = new DisplayCardModel(*this, display);
        }
        cards << card;
    }
    const bool sameList = cards == m_cards;
    m_cards = cards;
    if (!sameList)
        emit cardsChanged();
    for (DisplayCardModel *gone : std::as_const(old))
        gone->deleteLater();
}

} // namespace qv
