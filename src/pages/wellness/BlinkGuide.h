#pragma once

#include "design/GuidedTour.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace qv {

// The four steps of the Blink Detection tour, in tour order.
enum class BlinkDetectionGuideStep { setup, metrics, signal, cadence };

namespace blinkguide {
constexpr std::array<BlinkDetectionGuideStep, 4> allSteps{BlinkDetectionGuideStep::setup,
                                                          BlinkDetectionGuideStep::metrics,
                                                          BlinkDetectionGuideStep::signal,
                                                          BlinkDetectionGuideStep::cadence};
QString rawValue(BlinkDetectionGuideStep step);
// The step with exactly this raw value, else none.
std::optional<BlinkDetectionGuideStep> fromRawValue(const QString &raw);
int position(BlinkDetectionGuideStep step);
std::optional<BlinkDetectionGuideStep> previous(BlinkDetectionGuideStep step);
std::optional<BlinkDetectionGuideStep> next(BlinkDetectionGuideStep step);
// The step's badge symbol, title and explanation.
GuidedTourStep content(BlinkDetectionGuideStep step);
// The page's tour: the four steps, the flag "blinkDetectionGuideCompleted" and the
// anchors "blinkGuide-<step>".
std::unique_ptr<GuidedTour> makeTour(QObject *parent = nullptr);
// Where to scroll so that a section at sectionY sits at the top of the viewport, limited
// to the scrollable range.
double scrollTarget(double sectionY, double contentHeight, double viewportHeight);
} // namespace blinkguide

} // namespace qv
