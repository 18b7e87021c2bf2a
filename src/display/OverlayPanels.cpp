#include "display/OverlayPanels.h"

#include <cmath>

namespace qv {

bool OverlayPanels::hasArea(const QRectF &frame)
{
    return std::isfinite(frame.x()) && std::isfinite(frame.y()) && std::isfinite(frame.width())
        && std::isfinite(frame.height()) && frame.width() > 0 && frame.height() > 0;
}

void OverlayPanels::fit(const QList<std::pair<ScreenInfo, DisplayId>> &screens, const MakePanel &make,
                        const UpdateView &update)
{
    QSet<DisplayId> present;
    for (const auto &entry : screens)
        present.insert(entry.second);
    // A screen whose display took a new number (a twin of its monitor came, and the two are
    // now told apart by their ports) keeps its panel: no screen went.
    for (const auto &[screen, display] : screens) {
        if (m_panels.count(display))
            continue;
        for (auto it = m_panels.begin(); it != m_panels.end(); ++it) {
            if (!present.contains(it->first) && it->second->frame() == screen.frame) {
                m_panels[display] = std::move(it->second);
                m_panels.erase(it);
                break;
            }
        }
    }
    for (auto it = m_panels.begin(); it != m_panels.end();) {
        if (present.contains(it->first)) {
            ++it;
            continue;
        }
        m_log.info("Removed the %s of display %u: its screen is gone", m_kind, it->first);
        it->second->orderOut();
        it = m_panels.erase(it);
    }

    for (const auto &[screen, display] : screens) {
        if (!hasArea(screen.frame)) {
            if (!m_reportedWithoutArea.contains(display)) {
                m_reportedWithoutArea.insert(display);
                m_log.error("No %s for display %u: its screen has no area (%g x %g)", m_kind, display,
                            screen.frame.width(), screen.frame.height());
            }
            if (const auto it = m_panels.find(display); it != m_panels.end()) {
                it->second->orderOut();
                m_panels.erase(it);
            }
            continue;
        }
        m_reportedWithoutArea.remove(display);
        std::unique_ptr<Panel> &slot = m_panels[display];
        if (!slot)
            slot = make(screen, display);
        if (!slot) {
            m_panels.erase(display);
            continue;
        }
        slot->setFrame(screen.frame, false);
        update(slot->contentView());
        if (!slot->isVisible())
            slot->orderFrontRegardless();
    }
}

void OverlayPanels::hideAll()
{
    for (auto &entry : m_panels)
        entry.second->orderOut();
}

void OverlayPanels::removeAll()
{
    hideAll();
    m_panels.clear();
}

Panel *OverlayPanels::panel(DisplayId display) const
{
    const auto it = m_panels.find(display);
    return it == m_panels.end() ? nullptr : it->second.get();
}

QList<DisplayId> OverlayPanels::displayIDs() const
{
    QList<DisplayId> ids;
    for (const auto &entry : m_panels)
        ids << entry.first;
    return ids;
}

} // namespace qv
