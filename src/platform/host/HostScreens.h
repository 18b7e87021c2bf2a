#pragma once

#include "platform/Screens.h"

class QScreen;

namespace qv {

class HostDisplays;

// The windowing system's screens, numbered with the display ids of the RandR outputs
// that show them (a screen without an output of its own has no number) and named after
// the monitor's EDID.
class HostScreens final : public Screens {
    Q_OBJECT
public:
    explicit HostScreens(HostDisplays *displays, QObject *parent = nullptr);
    QList<ScreenInfo> screens() override;

private:
    void watch(QScreen *screen);
    HostDisplays *m_displays;
};

} // namespace qv
