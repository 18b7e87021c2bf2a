#include "platform/host/SystemHost.h"

namespace qv {

// What holds on a Linux computer. Its displays are dimmed and tinted through each screen's
// gamma ramp (RandR, GNOME's display configuration or the wlroots gamma control), where
// the desktop lets applications set the ramps; temporal
// dithering and a panel's edge correction cannot be switched by an application, and the
// scale is the desktop's own setting.
QString HostMachineWords::say(MacText text, const QString &onMac) const
{
    switch (text) {
    case MacText::ditheringSummary:
        return QStringLiteral(
            "To display more colors than a panel natively supports, many graphics drivers and panels use a "
            "technique called temporal dithering. Pixels switch rapidly between nearby colors so your brain "
            "blends them together.");
    case MacText::ditheringHelps:
        return QStringLiteral(
            "This computer does not let applications switch temporal dithering off, so the Dithering switches "
            "read \"Unavailable\" and dithering stays as the graphics driver sets it. What Quellvista does "
            "instead: it calms the picture in software \u2014 dimming, warmth and softer contrast through each "
            "screen's gamma ramp \u2014 and reminds you to rest your eyes.");
    case MacText::ditheringNotice:
        return QStringLiteral(
            "Dithering itself stays as it is here; a dimmer, warmer picture may still feel calmer.");
    case MacText::pwmSummary:
        return QStringLiteral(
            "Many laptop and monitor backlights use PWM (Pulse-Width Modulation) to control brightness \u2014 "
            "rapidly switching on and off thousands of times per second. At LOW brightness, the flicker becomes "
            "more pronounced.");
    case MacText::pwmHelps:
        return QStringLiteral(
            "PWM-safe mode dims your screen in software \u2014 through each screen's gamma ramp, where the "
            "desktop lets applications set it \u2014 so you can raise your hardware "
            "brightness above the flicker-prone range. Apparent brightness stays the same; flicker drops "
            "dramatically.");
    case MacText::uniformitySummary:
        return QStringLiteral(
            "Some mini-LED displays dim the corners of the screen slightly to correct for backlight variance. "
            "Most users never notice.");
    case MacText::uniformityHelps:
        return QStringLiteral(
            "This computer does not let applications switch a panel's corner dimming off, so the Uniformity "
            "switches read \"Unavailable\" and the panel keeps its own correction. What Quellvista does instead: "
            "its dimming acts evenly on the whole screen and adds no vignette of its own.");
    case MacText::uniformityNotice:
        return QStringLiteral("The corners stay as the panel draws them; Quellvista's dimming never darkens them "
                              "more than the middle.");
    case MacText::strainWhy:
        return QStringLiteral(
            "Headaches, nausea, dry eye, and heightened awareness of eye floaters often worsen on some newer "
            "laptops and displays compared to older models. If that matches your experience, you may be part of "
            "this sensitive group.");
    case MacText::strainHelps:
        return QStringLiteral(
            "Of the three root hardware causes \u2014 dithering, PWM, uniformity \u2014 this computer lets "
            "Quellvista ease PWM flicker, with software dimming; dithering and uniformity cannot be switched here. "
            "Behavioral tools like break reminders and blink detection work as everywhere.");
    case MacText::scalingSummary:
        return QStringLiteral(
            "Many laptops and high-resolution monitors run at non-integer scaling \u2014 fractional pixel ratios "
            "like 1.25\u00d7 or 1.5\u00d7. This fits more on the screen but introduces subpixel interpolation.");
    case MacText::scalingHelps:
        return QStringLiteral(
            "Quellvista has no resolution picker on this computer: the scale is your desktop's own setting, and "
            "Quellvista leaves it as it is. Choosing a whole-number scale there (100% or 200%) maps each logical "
            "pixel to whole physical pixels, so everything becomes significantly crisper.");
    case MacText::fontSmoothingSummary:
        return QStringLiteral(
            "Font smoothing adds anti-aliasing pixels around text to make it look less jagged. Desktops smooth "
            "text by default, some more strongly than others.");
    case MacText::fontSmoothingHelps:
        return QStringLiteral(
            "\"Crisper text\" in Settings switches the desktop's font antialiasing off while Quellvista runs and "
            "puts your own setting back when it quits. Produces sharper, more defined text rendering. Apps that "
            "do not follow the desktop's setting need a restart to pick up the change; on a desktop without "
            "that setting the switch says so and cannot be turned on.");
    case MacText::showInMenuBar:
        return QStringLiteral("Show in Tray");
    case MacText::removeFromMenuBar:
        return QStringLiteral("Remove from Tray");
    case MacText::showTimerInMenuBar:
        return QStringLiteral("Show timer in the tray");
    case MacText::menuBarReminderStyle:
        return QStringLiteral("Tray");
    case MacText::favoritesGuide:
        return QStringLiteral("Profiles are fast starting points. Right-click a profile to rename it, save your "
                              "edits to it or as a new profile, show it in the tray's pop-over, or reset or "
                              "delete it.");
    case MacText::revealFeedbackHelp:
        return QStringLiteral("Open the saved feedback file in the file manager");
    case MacText::neutralPresetDetail:
        return QStringLiteral("No tuning");
    // An update check here reads the release feed and says what it found; nothing is
    // downloaded or installed.
    case MacText::updatesSubtitle:
        return QStringLiteral("Release feed check");
    case MacText::updatesStatusDeveloperBuild:
        return QStringLiteral("Checks the public release feed and says what it found. Nothing is downloaded or "
                              "installed on this computer.");
    case MacText::updateAvailableWithInstaller:
        return QStringLiteral("Version %1 build %2 is available. Nothing is installed on this computer: get it "
                              "where you got Quellvista.");
    }
    return onMac;
}

} // namespace qv
