#include "pages/display_comfort/DisplayComfortGuideStep.h"

#include "platform/MachineWords.h"

namespace qv::displayComfortGuide {

const QList<DisplayComfortGuideStep> &allSteps()
{
    static const QList<DisplayComfortGuideStep> steps = {
        DisplayComfortGuideStep::protections, DisplayComfortGuideStep::profiles, DisplayComfortGuideStep::tuning};
    return steps;
}

QString rawValue(DisplayComfortGuideStep step)
{
    switch (step) {
    case DisplayComfortGuideStep::protections: return QStringLiteral("protections");
    case DisplayComfortGuideStep::profiles: return QStringLiteral("profiles");
    case DisplayComfortGuideStep::tuning: return QStringLiteral("tuning");
    }
    return {};
}

QString symbolName(DisplayComfortGuideStep step)
{
    switch (step) {
    case DisplayComfortGuideStep::protections: return QStringLiteral("shield.lefthalf.filled");
    case DisplayComfortGuideStep::profiles: return QStringLiteral("rectangle.grid.2x2");
    case DisplayComfortGuideStep::tuning: return QStringLiteral("slider.horizontal.3");
    }
    return {};
}

QString title(DisplayComfortGuideStep step)
{
    switch (step) {
    case DisplayComfortGuideStep::protections: return QStringLiteral("Start with display protections");
    case DisplayComfortGuideStep::profiles: return QStringLiteral("Choose a comfort profile");
    case DisplayComfortGuideStep::tuning: return QStringLiteral("Fine-tune the screen");
    }
    return {};
}

QString message(DisplayComfortGuideStep step)
{
    switch (step) {
    case DisplayComfortGuideStep::protections:
        return QStringLiteral("Display hardware controls are available when needed, but most sessions can start "
                              "with profiles and tuning.");
    case DisplayComfortGuideStep::profiles:
        // What the tiles' menus offer: a starter profile cannot be hidden from here.
        return machineWords().say(
            MacText::favoritesGuide,
            QStringLiteral("Profiles are fast starting points. Right-click a profile to rename it, save your "
                           "edits to it or as a new profile, show it in the menu bar, or reset or delete it."));
    case DisplayComfortGuideStep::tuning:
        return QStringLiteral("These sliders are the heart of Quellvista: software brightness, warmth, black "
                              "lift, soft whites, and highlight compression move together visibly.");
    }
    return {};
}

QList<GuidedTourStep> tourSteps()
{
    QList<GuidedTourStep> steps;
    for (DisplayComfortGuideStep step : allSteps())
        steps << GuidedTourStep{rawValue(step), symbolName(step), title(step), message(step)};
    return steps;
}

} // namespace qv::displayComfortGuide
