#pragma once

#include <QList>

#include <optional>

namespace qv {

// Microseconds since the Unix epoch: the blink detector's dates. Whole microseconds keep
// the boundaries (0.08 s, 1.0 s, 2.0 s) exact where floating-point seconds would not.
using BlinkTime = qint64;

inline constexpr BlinkTime blinkSeconds(double s)
{
    return BlinkTime(s * 1'000'000.0 + (s < 0 ? -0.5 : 0.5));
}
inline double secondsBetween(BlinkTime from, BlinkTime to)
{
    return double(to - from) / 1'000'000.0;
}

// What the blink detector remembers of the last five minutes: the stretches the face was
// in view and looking at the screen, the blinks and how long each closure lasted, and the
// session's attention, from which come the rates, the longest gap and the buckets.
class BlinkRecord {
public:
    static constexpr double historySeconds = 300.0;
    static constexpr int bucketCount = 10;

    // The session's attention counts from `start` (a start or a recalibration); none: no session.
    void startSession(std::optional<BlinkTime> start);
    std::optional<BlinkTime> sessionStart() const { return m_sessionStart; }
    // Forgets everything, the session included.
    void clear();

    // The face came into view (attentive) at t, unless a stretch is open already.
    void openVisible(BlinkTime t);
    // The stretch in view ends at t; records older than prunedBefore go.
    void closeVisible(BlinkTime t, BlinkTime prunedBefore);
    bool isVisible() const { return m_visibleStart.has_value(); }

    void addBlink(BlinkTime t, double closureSeconds);
    std::optional<BlinkTime> lastBlink() const { return m_lastBlink; }
    void forgetLastBlink() { m_lastBlink.reset(); }
    void prune(BlinkTime cutoff);

    double visibleSeconds(BlinkTime from, BlinkTime to) const;
    double longestGap(BlinkTime from, BlinkTime to) const;
    // Blinks in [from, to), or from `from` on when to is none.
    qsizetype blinksBetween(BlinkTime from, std::optional<BlinkTime> to = std::nullopt) const;
    // Blinks a minute in each of the ten 30 s buckets of the five minutes before now; a
    // bucket with under four seconds in view reads 0.
    QList<double> buckets(BlinkTime now) const;
    // The session's seconds in view up to now; it never shrinks with the pruning.
    double attentionSeconds(BlinkTime now) const;
    double averageClosureMilliseconds() const;

private:
    struct Interval {
        BlinkTime start;
        BlinkTime end;
    };
    struct Closure {
        BlinkTime date;
        double duration;
    };
    QList<Interval> clipped(BlinkTime from, BlinkTime to) const;

    std::optional<BlinkTime> m_sessionStart;
    std::optional<BlinkTime> m_visibleStart;
    QList<Interval> m_visible;
    // Seconds in view since the session start in stretches already closed; unlike the
    // intervals it is never pruned.
    double m_closedAttention = 0;
    QList<BlinkTime> m_blinks;
    QList<Closure> m_closures;
    std::optional<BlinkTime> m_lastBlink;
};

// The open-eye baseline: the 20th percentile of the last 120 eye ratios, followed closely
// while calibrating and slowly (2 % a sample) once locked.
class EyeBaseline {
public:
    static constexpr int windowSize = 120;

    // Adds a sample; returns the baseline it gives, or none before ten samples.
    std::optional<double> add(double ratio, double current);
    void clear();
    void lock() { m_locked = true; }
    bool isLocked() const { return m_locked; }
    int sampleCount() const { return int(m_samples.size()); }
    // How much the baseline can be trusted, 0...1: capped while it is not locked.
    double confidence() const;

private:
    QList<double> m_samples;
    bool m_locked = false;
};

} // namespace qv
