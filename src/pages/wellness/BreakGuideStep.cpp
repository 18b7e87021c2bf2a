#include "pages/wellness/BreakGuideStep.h"

namespace qv::breakguide {

namespace {
constexpr BreakGuideStep kSteps[] = {BreakGuideStep::timer, BreakGuideStep::controls, BreakGuideStep::progress};
}

QString rawValue(BreakGuideStep step)
{
    switch (step) {
    case BreakGuideStep::timer:
        return QStringLiteral("timer");
    case BreakGuideStep::controls:
        return QStringLiteral("controls");
    case BreakGuideStep::progress:
        break;
    }
    return QStringLiteral("progress");
}

std::optional<BreakGuideStep> stepFromRawValue(const QString &raw)
{
    for (BreakGuideStep step : kSteps)
        if (rawValue(step) == raw)
            return step;
    return std::nullopt;
}

GuidedTourStep content(BreakGuideStep step)
{
    switch (step) {
    case BreakGuideStep::timer:
        return {rawValue(step), QStringLiteral("timer"), QStringLiteral("Follow the break timer"),
                QStringLiteral("This card shows your next break, current break, or paused state.")};
    case BreakGuideStep::controls:
        return {rawValue(step), QStringLiteral("slider.horizontal.3"), QStringLiteral("Tune your reminder rhythm"),
                QStringLiteral("Use these controls to snooze, pause, reset, choose work intervals, set break duration, "
                               "and decide how reminders should appear.")};
    case BreakGuideStep::progress:
        break;
    }
    return {rawValue(step), QStringLiteral("chart.bar"), QStringLiteral("Track today's progress"),
            QStringLiteral("These tiles summarize completed breaks, eye-care score, streak, and weekly rhythm so the "
                           "feature feels measurable without becoming noisy.")};
}

QList<GuidedTourStep> tourSteps()
{
    QList<GuidedTourStep> steps;
    for (BreakGuideStep step : kSteps)
        steps << content(step);
    return steps;
}

} // namespace qv::breakguide
