#pragma once

#include "design/GuidedTour.h"
#include "runtime/Settings.h"

#include <QList>
#include <QString>


namespace qv {

// The steps of the Display & Comfort tour, in tour order; each belongs to one block of
// the page.
enum class DisplayComfortGuideStep { protections, profiles, tuning };

namespace displayComfortGuide {

inline const QString kCompletedKey = settings::displayComfortGuideCompleted.name();
inline const QString kAnchorPrefix = QStringLiteral("displayComfortGuide-");

const QList<DisplayComfortGuideStep> &allSteps();
QString rawValue(DisplayComfortGuideStep step);
QString symbolName(DisplayComfortGuideStep step);
QString title(DisplayComfortGuideStep step);
QString message(DisplayComfortGuideStep step);
// The steps as the shared tour takes them.
QList<GuidedTourStep> tourSteps();

} // namespace displayComfortGuide
} // namespace qv
