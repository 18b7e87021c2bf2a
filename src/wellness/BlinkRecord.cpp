#include "wellness/BlinkRecord.h"

#include <algorithm>

namespace qv {

namespace {
constexpr BlinkTime kBucketLength = blinkSeconds(30);
constexpr double kBucketMinimumVisible = 4.0;
constexpr BlinkTime kRecordHistory = blinkSeconds(BlinkRecord::historySeconds);
} // namespace

void BlinkRecord::startSession(std::optional<BlinkTime> start)
{
    m_sessionStart = start;
    m_closedAttention = 0;
}

void BlinkRecord::clear()
{
    *this = BlinkRecord();
}

void BlinkRecord::openVisible(BlinkTime t)
{
    if (!m_visibleStart)
        m_visibleStart = t;
}

void BlinkRecord::closeVisible(BlinkTime d, BlinkTime prunedBefore)
{
    if (!m_visibleStart)
        return;
    const BlinkTime start = *m_visibleStart;
    if (d > start)
        m_visible.append({start, d});
    if (m_sessionStart) {
        const BlinkTime from = std::max(start, *m_sessionStart);
        if (d > from)
            m_closedAttention += secondsBetween(from, d);
    }
    m_visibleStart.reset();
    prune(prunedBefore);
}

void BlinkRecord::addBlink(BlinkTime t, double closureSeconds)
{
    m_lastBlink = t;
    m_blinks.append(t);
    m_closures.append({t, closureSeconds});
    prune(t - kRecordHistory);
}

void BlinkRecord::prune(BlinkTime cutoff)
{
    m_visible.removeIf([cutoff](const Interval &i) { return i.end < cutoff; });
    m_blinks.removeIf([cutoff](BlinkTime t) { return t < cutoff; });
    m_closures.removeIf([cutoff](const Closure &c) { return c.date < cutoff; });
}

QList<BlinkRecord::Interval> BlinkRecord::clipped(BlinkTime a, BlinkTime b) const
{
    QList<Interval> result;
    for (const Interval &i : m_visible) {
        const BlinkTime s = std::max(a, i.start);
        const BlinkTime e = std::min(b, i.end);
        if (e > s)
            result.append({s, e});
    }
    if (m_visibleStart) {
        const BlinkTime s = std::max(a, *m_visibleStart);
        if (b > s)
            result.append({s, b});
    }
    return result;
}

double BlinkRecord::visibleSeconds(BlinkTime a, BlinkTime b) const
{
    double total = 0;
    for (const Interval &i : clipped(a, b))
        total += secondsBetween(i.start, i.end);
    return total;
}

double BlinkRecord::longestGap(BlinkTime a, BlinkTime b) const
{
    BlinkTime longest = 0;
    for (const Interval &i : clipped(a, b)) {
        BlinkTime cursor = i.start;
        for (BlinkTime t : m_blinks) {
            if (t < i.start || t > i.end)
                continue;
            longest = std::max(longest, t - cursor);
            cursor = t;
        }
        longest = std::max(longest, i.end - cursor);
    }
    return double(longest) / 1'000'000.0;
}

qsizetype BlinkRecord::blinksBetween(BlinkTime from, std::optional<BlinkTime> to) const
{
    return std::count_if(m_blinks.begin(), m_blinks.end(),
                         [from, to](BlinkTime t) { return t >= from && (!to || t < *to); });
}

QList<double> BlinkRecord::buckets(BlinkTime now) const
{
    const BlinkTime w = now - kRecordHistory;
    QList<double> result;
    result.reserve(bucketCount);
    for (int i = 0; i < bucketCount; ++i) {
        const BlinkTime s = w + kBucketLength * i;
        const BlinkTime e = s + kBucketLength;
        const double v = visibleSeconds(s, e);
        result.append(v >= kBucketMinimumVisible ? double(blinksBetween(s, e)) / v * 60.0 : 0.0);
    }
    return result;
}

double BlinkRecord::attentionSeconds(BlinkTime now) const
{
    if (!m_sessionStart)
        return 0;
    double attention = m_closedAttention;
    if (m_visibleStart) {
        const BlinkTime from = std::max(*m_visibleStart, *m_sessionStart);
        if (now > from)
            attention += secondsBetween(from, now);
    }
    return attention;
}

double BlinkRecord::averageClosureMilliseconds() const
{
    if (m_closures.isEmpty())
        return 0;
    double total = 0;
    for (const Closure &c : m_closures)
        total += c.duration;
    return total / double(m_closures.size()) * 1000.0;
}

std::optional<double> EyeBaseline::add(double ratio, double current)
{
    m_samples.append(ratio);
    if (m_samples.size() > windowSize)
        m_samples.removeFirst();
    if (m_samples.size() < 10)
        return std::nullopt;
    QList<double> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype index = std::clamp<qsizetype>(qsizetype(double(sorted.size()) * 0.2), 0, sorted.size() - 1);
    const double p = sorted.at(index);
    return m_locked ? current * 0.98 + p * 0.02 : p;
}

void EyeBaseline::clear()
{
    m_samples.clear();
    m_locked = false;
}

double EyeBaseline::confidence() const
{
    const double confidence = double(std::min<qsizetype>(m_samples.size(), windowSize)) / windowSize;
    return m_locked ? confidence : std::min(confidence, 0.72);
}

} // namespace qv
