#include "pages/wellness/BlinkGuide.h"

#include "runtime/Settings.h"

#include <algorithm>
#include <cmath>

namespace qv::blinkguide {

namespace {
struct Content {
    const char *raw;
    const char *icon;
    const char *title;
    const char *explanation;
};

const Content &entry(BlinkDetectionGuideStep step)
{
    static const Content table[] = {
        {"setup", "eye", "Enable blink detection",
         "Blink detection is optional and camera-based. Turn it on here, then let the app calibrate for a few "
         "seconds while you look at the screen normally."},
        {"metrics", "gauge.with.dots.needle.50percent", "Read the key metrics",
         "These cards summarize your blink rhythm, time since your last blink, attention time, and a comfort score."},
        {"signal", "waveform.path.ecg", "Understand the live signal",
         "The live signal shows whether your eyes are open, closed, paused, or recalibrating. Blink quality adds "
         "context like full blinks, closure duration, and partial-blink candidates."},
        {"cadence", "chart.bar", "Review recent cadence",
         "The cadence chart shows recent blink-rate buckets from active screen time. Quellvista pauses the math "
         "when you step away or look away."},
    };
    return table[position(step)];
}
} // namespace

QString rawValue(BlinkDetectionGuideStep step)
{
    return QString::fromLatin1(entry(step).raw);
}

std::optional<BlinkDetectionGuideStep> fromRawValue(const QString &raw)
{
    for (BlinkDetectionGuideStep step : allSteps)
        if (raw == rawValue(step))
            return step;
    return std::nullopt;
}

int position(BlinkDetectionGuideStep step)
{
    return int(step);
}

std::optional<BlinkDetectionGuideStep> previous(BlinkDetectionGuideStep step)
{
    if (position(step) == 0)
        return std::nullopt;
    return allSteps[position(step) - 1];
}

std::optional<BlinkDetectionGuideStep> next(BlinkDetectionGuideStep step)
{
    if (position(step) + 1 >= int(allSteps.size()))
        return std::nullopt;
    return allSteps[position(step) + 1];
}

GuidedTourStep content(BlinkDetectionGuideStep step)
{
    const Content &c = entry(step);
    return {QString::fromLatin1(c.raw), QString::fromLatin1(c.icon), QString::fromLatin1(c.title),
            QString::fromLatin1(c.explanation)};
}

std::unique_ptr<GuidedTour> makeTour(QObject *parent)
{
    QList<GuidedTourStep> steps;
    for (BlinkDetectionGuideStep step : allSteps)
        steps << content(step);
    return std::make_unique<GuidedTour>(steps, settings::blinkDetectionGuideCompleted.name(),
                                        QStringLiteral("blinkGuide-"), parent);
}

double scrollTarget(double sectionY, double contentHeight, double viewportHeight)
{
    const double range = contentHeight - viewportHeight;
    const double limit = std::isfinite(range) ? std::max(range, 0.0) : 0.0;
    return std::isfinite(sectionY) ? std::clamp(sectionY, 0.0, limit) : 0.0;
}

} // namespace qv::blinkguide
