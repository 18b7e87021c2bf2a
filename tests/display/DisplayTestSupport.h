#pragma once

#include "display/DisplayEngine.h"
#include "platform/sim/SimulatedMac.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>

namespace qv::test {

// The display tests' ground: the standard machine (built-in mini-LED display 1, external
// display 2) with helpers to reach its framebuffer services.
class DisplayTest : public QvTest {
public:
    ServiceHandle serviceOf(DisplayId id) const { return mac->display(id)->service; }
    quint64 entryOf(DisplayId id) const { return mac->display(id)->registryEntryID; }
    RegistryValue fb(DisplayId id, const QString &key) const { return mac->framebufferProperty(id, key); }
    bool ditherOn(DisplayId id) const { return fb(id, "enableDither").toBool(); }

    // A further external display; with a screen of its own unless told otherwise.
    void addExternal(DisplayId id, const QString &name, bool withScreen = true)
    {
        SimDisplay d;
        d.id = id;
        d.name = name;
        d.hasScreen = withScreen;
        d.pixelsWide = 2560;
        d.pixelsHigh = 1440;
        d.modes = {DisplayMode{2560, 1440, 2560, 1440, 60, 0}};
        d.currentMode = 0;
        d.connectionType = "spdisplays_hdmi";
        mac->addDisplay(d);
    }

    // Delivers what other threads (and reconfiguration callbacks) queued for the main thread.
    static void deliverQueued() { QCoreApplication::processEvents(); }
};

} // namespace qv::test
