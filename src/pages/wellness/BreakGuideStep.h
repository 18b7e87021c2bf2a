#pragma once

#include "design/GuidedTour.h"
#include "runtime/Settings.h"

#include <QString>

#include <optional>

namespace qv {

// The steps of the Break Reminders tour, in tour order; each belongs to one part of the
// page: the timer card, the controls card and the progress tiles.
enum class BreakGuideStep { timer, controls, progress };

namespace breakguide {
inline const QString kCompletedKey = settings::breakRemindersGuideCompleted.name();
inline const QString kAnchorPrefix = QStringLiteral("breakGuide-");

QString rawValue(BreakGuideStep step);
// The step of exactly this raw value, else none.
std::optional<BreakGuideStep> stepFromRawValue(const QString &raw);
// The step's badge symbol, title and explanation.
GuidedTourStep content(BreakGuideStep step);
// The steps as the shared tour takes them.
QList<GuidedTourStep> tourSteps();
} // namespace breakguide

} // namespace qv
