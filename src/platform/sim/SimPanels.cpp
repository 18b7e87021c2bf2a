#include "platform/sim/SimPanels.h"

namespace qv {

SimPanel::SimPanel(SimPanels &owner, const PanelConfiguration &configuration, const ScreenInfo &screen,
                   QObject *contentView)
    : m_owner(&owner), m_configuration(configuration), m_screen(screen), m_frame(configuration.contentRect),
      m_content(contentView)
{
}

SimPanel::~SimPanel()
{
    if (m_owner)
        m_owner->m_panels.removeAll(this);
    delete m_content;
}

void SimPanel::setFrame(const QRectF &frame, bool)
{
    m_frame = frame;
    ++m_frameChanges;
}

void SimPanel::orderFrontRegardless()
{
    m_visible = true;
}

void SimPanel::orderOut()
{
    m_visible = false;
    m_key = false;
}

bool SimPanel::makeKey()
{
    m_key = m_visible;
    return m_key;
}

SimPanels::~SimPanels()
{
    // Panels that outlive the machine stop reporting to it.
    for (SimPanel *panel : m_panels)
        panel->m_owner = nullptr;
}

std::unique_ptr<Panel> SimPanels::createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                              QObject *contentView)
{
    auto panel = std::make_unique<SimPanel>(*this, configuration, screen, contentView);
    m_panels << panel.get();
    ++m_created;
    return panel;
}

QList<SimPanel *> SimPanels::visiblePanels() const
{
    QList<SimPanel *> out;
    for (SimPanel *p : m_panels)
        if (p->isVisible())
            out << p;
    return out;
}

} // namespace qv
