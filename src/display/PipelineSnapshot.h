#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace qv {

// One display as the pipeline watch records it.
struct PipelineDisplaySnapshot {
    QString id;         // the display ID in decimal, "-", the display name
    QString name;
    QString role;       // "Built-in" or "External"
    QString connection; // "Unknown connection" when the display has none
    QString resolution; // "Unknown resolution" when the display has none
    bool ditheringEnabled = true;
    bool uniformityEnabled = true;

    bool operator==(const PipelineDisplaySnapshot &) const = default;

    QJsonObject toJson() const;
    // Nothing unless all seven keys hold values of their type.
    static std::optional<PipelineDisplaySnapshot> fromJson(const QJsonObject &object);
};

// The whole display pipeline at one moment: the hardware protections of every display,
// the PWM-safe settings, the software tuning and the global font-smoothing switch.
struct PipelineSnapshot {
    QDateTime capturedAt;
    QString macName;
    QString chipFamily;
    QList<PipelineDisplaySnapshot> displays;
    bool pwmAvoidanceEnabled = false;
    double pwmThresholdPercent = 40.0;
    bool tuningEnabled = false;
    double brightness = 1.0;
    double warmth = 0;
    double contrastReduction = 0;
    double softWhite = 0;
    double highlightCompression = 0;
    bool redModeEnabled = false;
    double redModeIntensity = 0;
    bool fontSmoothingDisabled = false;

    // Field by field; dates and doubles exactly.
    bool operator==(const PipelineSnapshot &) const = default;

    // The stored form: the fifteen keys in field order, the date as seconds since
    // 2001-01-01 00:00:00 UTC.
    QJsonObject toJson() const;
    QByteArray encode() const;
    // Strict: a missing key or a value of another type anywhere fails the whole snapshot.
    static std::optional<PipelineSnapshot> fromJson(const QJsonObject &object);
    static std::optional<PipelineSnapshot> decode(const QByteArray &bytes);
};

} // namespace qv
