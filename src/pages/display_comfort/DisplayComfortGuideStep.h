#pragma once

#include "design/GuidedTour.h"

#include <QList>
#include <QString>

#include <optional>

namespace qv {

// The steps of the Display & Comfort tour, in tour order; each belongs to one block of
// the page.
enum class DisplayComfortGuideStep { protections, profiles, tuning };

namespace displayComfortGuide {

inline const QString kCompletedKey = QStringLiteral("displayComfortGuideCompleted");
inline const QString kAnchorPrefix = QStringLiteral("displayComfortGuide-");

const QList<DisplayComfortGuideStep> &allSteps();
QString rawValue(DisplayComfortGuideStep step);
// Exactly the three raw values; any other text gives no step.
std::optional<DisplayComfortGuideStep> fromRawValue(const QString &raw);
QString symbolName(DisplayComfortGuideStep step);
QString title(DisplayComfortGuideStep step);
QString message(DisplayComfortGuideStep step);
std::optional<DisplayComfortGuideStep> next(DisplayComfortGuideStep step);
std::optional<DisplayComfortGuideStep> previous(DisplayComfortGuideStep step);
// "displayComfortGuide-" and the raw value: the identifier of the step's block.
QString anchorId(DisplayComfortGuideStep step);
// The steps as the shared tour takes them.
QList<GuidedTourStep> tourSteps();

} // namespace displayComfortGuide
} // namespace qv
