#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

namespace qv {

// One complete set of the ten tuning values: the all-displays set, one display's set, or
// what the editor shows. Its JSON form is an object with exactly these ten members.
struct TuningValues {
    double brightness = 1.0;
    double warmth = 0;
    double contrastReduction = 0;
    double softWhite = 0;
    double highlightCompression = 0;
    bool bloomGuardEnabled = false;
    bool enabled = false;
    bool nightModeEnabled = false;
    bool noBlueModeEnabled = false;
    double redModeIntensity = 1.0;

    bool operator==(const TuningValues &) const = default;

    static TuningValues neutral() { return {}; }

    QJsonObject toJson() const;
    // All ten members are required, numbers for the doubles and true/false for the
    // switches; anything else gives nothing.
    static std::optional<TuningValues> fromJson(const QJsonValue &value);
};

} // namespace qv
