#pragma once

#include "platform/Panels.h"
#include "platform/Types.h"
#include "runtime/Logging.h"

#include <QList>
#include <QSet>

#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace qv {

// The overlay panels of one kind, one per display, kept by display ID. Shared by the
// comfort veil and the Sidecar overlay: both fit their panels to a list of screens, hide
// them during screenshot sessions and release them when there is nothing to show.
class OverlayPanels {
public:
    // kind names the panels in log lines ("veil panel", "Sidecar overlay").
    OverlayPanels(const Logger &log, const char *kind) : m_log(log), m_kind(kind) {}

    using MakePanel = std::function<std::unique_ptr<Panel>(const ScreenInfo &, DisplayId)>;
    // Called with each kept panel's content view; returns nothing.
    using UpdateView = std::function<void(QObject *)>;

    // Brings the panels in line with the screens, in list order: a panel whose display is
    // not listed goes to a listed display without a panel whose screen has the panel's
    // frame (the display was numbered anew), else it is ordered out and released; a screen without area gets no panel (and
    // loses the one it had); every other screen gets its panel (made when missing),
    // framed to the screen without immediate redisplay, its view updated, and ordered
    // front when hidden.
    void fit(const QList<std::pair<ScreenInfo, DisplayId>> &screens, const MakePanel &make,
             const UpdateView &update);
    // Orders every panel out and keeps them.
    void hideAll();
    // Orders every panel out and releases them.
    void removeAll();

    Panel *panel(DisplayId display) const;
    QList<DisplayId> displayIDs() const;

    // A frame a panel can cover: finite, with width and height.
    static bool hasArea(const QRectF &frame);

private:
    const Logger &m_log;
    const char *m_kind;
    std::map<DisplayId, std::unique_ptr<Panel>> m_panels;
    QSet<DisplayId> m_reportedWithoutArea;
};

} // namespace qv
