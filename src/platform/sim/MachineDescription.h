#pragma once

#include "platform/Displays.h"
#include "platform/Power.h"
#include "platform/RegistryValue.h"
#include "platform/Types.h"

#include <QList>
#include <QMap>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

namespace qv {

// One display of the simulated machine, with its screen, its framebuffer service and the
// transfer formula in force.
struct SimDisplay {
    DisplayId id = 0;
    QString name;               // the screen's localised name
    bool builtIn = false;
    bool mirrored = false;
    bool isVirtual = false;     // AirPlay / Sidecar / virtual
    quint32 vendor = 0;
    quint32 model = 0;
    quint32 serial = 0;
    // The display's size as the system gives it: the current mode's size in points.
    int pixelsWide = 0;
    int pixelsHigh = 0;
    // The panel's own pixels, as the display profiler reports them; empty: the size above.
    QSize panelPixels;
    QList<DisplayMode> modes;
    int currentMode = -1;       // index into modes, -1 for none
    QRectF frame;               // global coordinates, points
    double backingScale = 2.0;
    bool hasScreen = true;      // listed among the screens
    bool hasScreenNumber = true; // its screen carries "NSScreenNumber"

    // What the display profiler reports.
    bool inProfiler = true;
    QString profilerName;       // empty: the screen name
    QString connectionType;     // "spdisplays_internal", "spdisplays_hdmi", ...
    QString displayType;        // "spdisplays_display_type", e.g. "built-in_liquid_retina_xdr"

    // The framebuffer service ("IOMobileFramebufferAP"), when the display has one.
    bool hasFramebuffer = true;
    ServiceHandle service = 0;
    quint64 registryEntryID = 0; // given when missing; a new entry gets a new one
    QString entryName;
    QMap<QString, RegistryValue> framebufferProperties;

    // The transfer formula in force; nothing while the system's colour settings apply.
    std::optional<TransferFormula> formula;
    // The id the display had in an earlier version of the display services, if another.
    std::optional<DisplayId> formerId;
    // A twin's: the id its monitor has when no other connected monitor is of its kind.
    std::optional<DisplayId> loneId;
    // The id its monitor had on its port before a twin arrived or left while it runs.
    std::optional<DisplayId> previousId;
    // A monitor's alone: the id it has on its port beside a twin of it.
    std::optional<DisplayId> twinId;
};

// What a description may change while the machine runs; each is absent when not described.
struct MachineConditions {
    std::optional<std::optional<RegistryValue>> powerSources; // inner nothing: no battery
    std::optional<ThermalState> thermalState;
    std::optional<double> ambientLux;
    // The front application: inner nothing for none.
    std::optional<std::optional<std::pair<std::optional<QString>, std::optional<QString>>>> frontApplication;
    std::optional<double> idleSeconds;
};

// A machine as its description file gives it: the host's names, the displays, the main
// display, the camera and the conditions that may change while the machine runs.
struct MachineDescription {
    // Outer nothing: not described; inner nothing: described as absent (null).
    std::optional<std::optional<QString>> processorBrand;
    std::optional<std::optional<QString>> hostName;
    QList<SimDisplay> displays;
    DisplayId mainDisplay = 0; // 0: none
    bool blinkingCamera = false; // "camera": {"script": "blinking"}
    MachineConditions conditions;
};

// Reads a machine description; on failure returns nothing and sets error to a text that
// names the fault. A key it does not know is a fault.
std::optional<MachineDescription> readMachineDescription(const QByteArray &json, QString *error);
// Reads only the conditions of a description (a description with displays is read too,
// its displays left alone).
std::optional<MachineConditions> readMachineConditions(const QByteArray &json, QString *error);

} // namespace qv
