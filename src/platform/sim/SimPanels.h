#pragma once

#include "platform/Panels.h"

#include <QList>
#include <QPointer>

namespace qv {

class SimPanels;

// A simulated overlay panel: it records what the screen would show.
class SimPanel final : public Panel {
public:
    SimPanel(SimPanels &owner, const PanelConfiguration &configuration, const ScreenInfo &screen,
             QObject *contentView);
    ~SimPanel() override;

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF &frame, bool display) override;
    bool isVisible() const override { return m_visible; }
    void orderFrontRegardless() override;
    void orderOut() override;
    // The panel keeps the keyboard while it shows.
    bool makeKey() override;
    bool isKey() const override { return m_key && m_visible; }
    QObject *contentView() const override { return m_content; }

    const PanelConfiguration &configuration() const { return m_configuration; }
    // The screen the panel was made for.
    const ScreenInfo &screen() const { return m_screen; }
    int frameChangeCount() const { return m_frameChanges; }

private:
    friend class SimPanels;
    SimPanels *m_owner;
    PanelConfiguration m_configuration;
    ScreenInfo m_screen;
    QRectF m_frame;
    bool m_visible = false;
    bool m_key = false;
    QObject *m_content;
    int m_frameChanges = 0;
};

// The simulated panel service: keeps the list of panels that exist (not yet released).
// Main thread only.
class SimPanels final : public Panels {
public:
    ~SimPanels() override;

    std::unique_ptr<Panel> createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                       QObject *contentView) override;

    // The live panels, oldest first.
    QList<SimPanel *> panels() const { return m_panels; }
    QList<SimPanel *> visiblePanels() const;
    int createdCount() const { return m_created; }

private:
    friend class SimPanel;
    QList<SimPanel *> m_panels;
    int m_created = 0;
};

} // namespace qv
