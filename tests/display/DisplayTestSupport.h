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

    // A display with one 60 Hz mode at its pixel size, not yet added.
    static SimDisplay plainDisplay(DisplayId id, const QString &name, int width = 2560, int height = 1440)
    {
        SimDisplay d;
        d.id = id;
        d.name = name;
        d.pixelsWide = width;
        d.pixelsHigh = height;
        d.modes = {DisplayMode{width, height, width, height, 60, 0}};
        d.currentMode = 0;
        return d;
    }

    // A further external display; with a screen of its own unless told otherwise.
    void addExternal(DisplayId id, const QString &name, bool withScreen = true)
    {
        SimDisplay d = plainDisplay(id, name);
        d.hasScreen = withScreen;
        d.connectionType = "spdisplays_hdmi";
        mac->addDisplay(d);
    }

    // A second display that the system calls built in (so its identity is of the built-in
    // kind) but whose framebuffer is external, placed before the external display 2 so that
    // the identities run: built-in 1, built-in `id`, external 2.
    void insertSecondBuiltInBeforeTheExternal(DisplayId id, const QString &name)
    {
        const SimDisplay external = *mac->display(2);
        mac->removeDisplay(2);
        SimDisplay second = plainDisplay(id, name, 1920, 1080);
        second.builtIn = true;
        second.frame = QRectF(-1920, 0, 1920, 1080);
        mac->addDisplay(second);
        mac->setFramebufferProperty(id, "external", RegistryValue::boolean(true));
        mac->addDisplay(external);
    }

    // Delivers what other threads (and reconfiguration callbacks) queued for the main thread.
    static void deliverQueued() { QCoreApplication::processEvents(); }
};

} // namespace qv::test
