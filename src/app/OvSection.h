#pragma once

#include "runtime/Settings.h"

#include <QList>
#include <QString>

#include <optional>

namespace qv {

// The main window's sections. The raw title is what "mainWindow.selectedSection" stores.
enum class OvSection { displayAndComfort, blink, breaks, about, settings };

inline constexpr const char *kSelectedSectionKey = settings::selectedSection.key;

// "Display & Comfort", "Blink Detection", "Break Reminders", "Support", "Settings".
QString ovSectionRawValue(OvSection section);
// Exact match, case and spaces included; nothing for any other text.
std::optional<OvSection> ovSectionFromRawValue(const QString &raw);
// The system symbol of the section's sidebar row.
QString ovSectionSymbol(OvSection section);
// The sections listed in the sidebar, in order (Settings is reached by the gear button).
QList<OvSection> ovSectionAllCases();

} // namespace qv
