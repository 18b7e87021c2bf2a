#include "pages/display_comfort/DisplayHardwareModel.h"

#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/ProtectionSettings.h"

namespace qv {

ProtectionSwitches::ProtectionSwitches(QObject *parent)
    : QObject(parent),
      m_disableDithering(settings::disableDithering),
      m_disableUniformity2D(settings::disableUniformity2D),
      m_pwmAvoidanceEnabled(settings::pwmAvoidanceEnabled)
{
    for (StoredSetting *setting : {&m_disableDithering, &m_disableUniformity2D, &m_pwmAvoidanceEnabled})
        connect(setting, &StoredSetting::valueChanged, this, &ProtectionSwitches::changed);
}

DisplayHardwareModel::DisplayHardwareModel(QObject *parent) : DisplayHardwareModel(DisplayEngine::shared(), parent) {}

DisplayHardwareModel::DisplayHardwareModel(DisplayEngine &engine, QObject *parent)
    : QObject(parent), m_monitor(std::make_unique<LiveVerificationMonitor>(engine))
{
    connect(m_monitor.get(), &LiveVerificationMonitor::snapshotChanged, this, &DisplayHardwareModel::summaryChanged);
    connect(&m_switches, &ProtectionSwitches::changed, this, [this] {
        emit summaryChanged();
        emit colorsChanged();
    });
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &DisplayHardwareModel::colorsChanged);
    connect(&m_status, &ProtectionStatus::changed, this, [this] {
        emit summaryChanged();
        emit colorsChanged();
    });
}

DisplayHardwareModel::~DisplayHardwareModel() = default;

void DisplayHardwareModel::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    emit expandedChanged();
}

int DisplayHardwareModel::activeAssistCount() const
{
    // Only assists that act on the screen count.
    return m_status.activeCount();
}

QString DisplayHardwareModel::summaryText(qint64 displays, qint64 assists)
{
    return QStringLiteral("%1 connected - %2 assist%3 active")
        .arg(displays)
        .arg(assists)
        .arg(assists == 1 ? QString() : QStringLiteral("s"));
}

QString DisplayHardwareModel::toggleText() const
{
    return m_expanded ? QStringLiteral("Hide controls") : QStringLiteral("Show controls");
}

QColor DisplayHardwareModel::badgeFill() const
{
    const Theme &theme = Theme::shared();
    return Theme::withOpacity(activeAssistCount() >= 1 ? theme.sage() : theme.textTertiary(), 0.14);
}

QColor DisplayHardwareModel::badgeSymbolColor() const
{
    const Theme &theme = Theme::shared();
    return activeAssistCount() >= 1 ? theme.sage() : theme.textSecondary();
}

QString DisplayHardwareModel::note()
{
    return QStringLiteral("These controls are display-level assists. Most users can leave them as-is and use "
                          "comfort profiles first.");
}

QString DisplayHardwareModel::accessibleValue() const
{
    return m_expanded ? QStringLiteral("Expanded") : QStringLiteral("Collapsed");
}

} // namespace qv
