#include "app/SidebarModels.h"

#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "platform/Host.h"
#include "platform/MachineWords.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QFontMetricsF>

#include <algorithm>

namespace qv {

// ---- SidebarItemModel ----

SidebarItemModel::SidebarItemModel(QObject *parent) : QObject(parent)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SidebarItemModel::changed);
}

void SidebarItemModel::setSection(MainWindowModel::Section section)
{
    if (section == m_section)
        return;
    m_section = section;
    emit changed();
}

void SidebarItemModel::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    emit changed();
}

QString SidebarItemModel::title() const
{
    return ovSectionRawValue(MainWindowModel::fromQml(m_section));
}

QString SidebarItemModel::symbol() const
{
    return ovSectionSymbol(MainWindowModel::fromQml(m_section));
}

QColor SidebarItemModel::iconColor() const
{
    const Theme &theme = Theme::shared();
    return m_selected ? theme.accentHighlight() : theme.textSecondary();
}

QColor SidebarItemModel::titleColor() const
{
    return Theme::shared().textPrimary();
}

QFont SidebarItemModel::titleFont() const
{
    return m_selected ? Theme::bodyMedium() : Theme::bodyRegular();
}

// ---- SidebarStatusCardModel ----

SidebarStatusCardModel::SidebarStatusCardModel(QObject *parent) : QObject(parent)
{
    const DisplayEngine *engine = &DisplayEngine::shared();
    for (auto changed : {&DisplayEngine::connectedDisplaysChanged, &DisplayEngine::ditherGloballyDisabledChanged,
                         &DisplayEngine::pwmThresholdPercentChanged, &DisplayEngine::pwmAvoidanceEnabledChanged})
        connect(engine, changed, this, &SidebarStatusCardModel::redraw);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SidebarStatusCardModel::redraw);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SidebarStatusCardModel::statusChanged);
    connect(&m_protections, &ProtectionStatus::changed, this, &SidebarStatusCardModel::statusChanged);
    redraw();
}

void SidebarStatusCardModel::setActiveSince(const QDateTime &when)
{
    if (when == m_activeSince)
        return;
    m_activeSince = when;
    emit activeSinceChanged();
    redraw();
}

void SidebarStatusCardModel::setHostLineWidth(qreal width)
{
    if (qFuzzyCompare(width, m_hostLineWidth))
        return;
    m_hostLineWidth = width;
    redraw();
}

void SidebarStatusCardModel::redraw()
{
    Host *host = platform().host;
    m_hostLine = hostLine(host ? host->localizedHostName() : std::nullopt, chipFamily(),
                          DisplayEngine::framebufferProtectionsAvailable());
    const QFont font = Theme::captionRegular();
    m_hostLineScale = fittingScale(font, m_hostLine, m_hostLineWidth);
    // At least the line's own width when it fits, so that it is never cut by a rounding.
    m_hostLineLayoutWidth = m_hostLineWidth / m_hostLineScale;
    if (m_hostLineScale > minimumScale())
        m_hostLineLayoutWidth = std::max(m_hostLineLayoutWidth, QFontMetricsF(font).horizontalAdvance(m_hostLine));
    emit hostLineChanged();
}

qreal SidebarStatusCardModel::fittingScale(const QFont &font, const QString &text, qreal width)
{
    const qreal natural = QFontMetricsF(font).horizontalAdvance(text);
    if (width <= 0 || natural <= width)
        return 1;
    return std::max(minimumScale(), width / natural);
}

QString SidebarStatusCardModel::hostLine(const std::optional<QString> &hostName, ChipFamily family,
                                         bool framebufferProtections)
{
    const QString host = hostName && !hostName->trimmed().isEmpty()
                             ? *hostName
                             : QCoreApplication::translate("SidebarSystemStatusCard", "This %1").arg(machineWords().machine());
    const QString support =
        !framebufferProtections ? QCoreApplication::translate("SidebarSystemStatusCard", "Software dimming only")
        : family == ChipFamily::unknown ? QCoreApplication::translate("SidebarSystemStatusCard", "Limited support")
                                        : QCoreApplication::translate("SidebarSystemStatusCard", "Supported");
    return host + QStringLiteral(" \u00B7 ") + support;
}

QString SidebarStatusCardModel::activeSinceLine(const QDateTime &when, const QLocale &locale)
{
    // The POSIX locale's short format carries seconds; a short time never does.
    const QString time = locale.language() == QLocale::C
                             ? when.toLocalTime().time().toString(QStringLiteral("HH:mm"))
                             : locale.toString(when.toLocalTime().time(), QLocale::ShortFormat);
    return QCoreApplication::translate("SidebarSystemStatusCard", "Active since %1").arg(time);
}

ChipFamily SidebarStatusCardModel::chipFamily()
{
    // Detected once, when the display engine starts.
    return DisplayEngine::shared().chipFamily();
}

QString SidebarStatusCardModel::statusText(const ProtectionStatus &status)
{
    return status.allActive() ? QCoreApplication::translate("SidebarSystemStatusCard", "All systems optimal")
                              : status.title();
}

QString SidebarStatusCardModel::statusText() const
{
    return statusText(m_protections);
}

QColor SidebarStatusCardModel::statusColor() const
{
    const Theme &theme = Theme::shared();
    if (m_protections.allActive())
        return theme.sage();
    return m_protections.anyActs() ? theme.copper() : theme.textTertiary();
}

QString SidebarStatusCardModel::activeSinceLine() const
{
    return activeSinceLine(m_activeSince, QLocale::system());
}

} // namespace qv
