#pragma once

#include "comfort/PresetValues.h"
#include "display/ComfortVeilState.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

namespace qv {

// One complete comfort setting: the tuning values, the PWM avoidance setting and the
// comfort veil's switches and amounts. Used for the user's named profiles and for the
// edited copies of built-in presets. Records of earlier versions lack the veil and
// red-mode fields; decoding fills them in.
struct SavedComfortProfile {
    QUuid id;
    QString name;
    TuningValues tuning = kPresetTuningDefaults;
    PwmAvoidance pwm;
    // Its focus window is neither captured nor stored.
    ComfortVeilState veil;
    QDateTime createdAt;

    bool operator==(const SavedComfortProfile &) const = default;

    // The tuning and PWM part; colour calm counts only while its switch is on.
    PresetValues presetValues() const;

    // The one-line text of a profile tile, e.g. "dim, warm, 25% soft whites, veil".
    QString summary() const;

    // A profile's name as the views show it: direction controls made inert, and a name with
    // nothing to see (empty or blank) as "Untitled Profile".
    static QString shownName(const QString &name);

    // All 23 keys; the id in upper-case standard form, createdAt as seconds since 2001.
    QJsonObject toJson() const;
    // Nothing (and a reason in error) when a required key is missing, any key holds a
    // value of the wrong type, or the id is not a UUID. An optional key holding null
    // counts as absent. Values are not range-checked.
    static std::optional<SavedComfortProfile> fromJson(const QJsonValue &value, QString *error = nullptr);
};

// The standard textual form of a UUID ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
QString uuidText(const QUuid &id);
// Parses the standard textual form (either letter case); nothing for anything else.
std::optional<QUuid> parseUuid(const QString &text);

} // namespace qv
