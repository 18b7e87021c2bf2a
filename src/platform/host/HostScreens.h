#pragma once

#include "platform/Screens.h"
#include "runtime/Logging.h"

#include <QRect>
#include <QSet>

class QScreen;

namespace qv {

class HostDisplays;

// The windowing system's screens, numbered with the display ids of the outputs that show
// them (a screen without an output of its own has no number) and named after the monitor's
// EDID. A screen is matched to its display by the output's name, else by its place and
// size: under XWayland the screens carry XWayland's names (XWAYLAND0) while the displays
// carry the compositor's. A display left without a screen is logged once. A change of the
// displays counts as a change of the screens.
class HostScreens final : public Screens {
    Q_OBJECT
public:
    explicit HostScreens(HostDisplays *displays, QObject *parent = nullptr);
    ~HostScreens() override;
    QList<ScreenInfo> screens() override;

    struct Shape {
        QString name;
        QRect geometry; // in the desktop's coordinates; for a screen, as the toolkit gives it
        double pixelRatio = 1.0;
    };
    // For each screen, the index of its display: the one of the same output name, else of
    // the same place and size (in pixels or points), else of the same place; a last screen
    // and a last display left over go together. Each display goes to one screen at most.
    static QList<int> match(const QList<Shape> &screens, const QList<Shape> &displays);

private:
    void watch(QScreen *screen);
    void displaysChanged();
    HostDisplays *m_displays;
    int m_callback = -1;
    bool m_changePending = false;
    QSet<quint32> m_toldWithoutScreen;
    Logger m_log{"Screens"};
};

} // namespace qv
