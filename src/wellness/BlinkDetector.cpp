#include "wellness/BlinkDetector.h"

#include "platform/FaceLandmarks.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
const QString kDash = QString(QChar(0x2014));
const QString kOpen = QStringLiteral("Open");
const QString kClosed = QStringLiteral("Closed");
const QString kLooking = QStringLiteral("Looking");
const QString kAway = QStringLiteral("Away");
const QString kLookingAwayEye = QStringLiteral("Looking Away");
const QString kLookingAwayAttention = QStringLiteral("Looking away");
const QString kCalibrating = QStringLiteral("Calibrating");

constexpr BlinkTime kHistory = BlinkDetector::seconds(BlinkDetector::historySeconds);
constexpr BlinkTime kMinimumClosure = BlinkDetector::seconds(BlinkDetector::minimumBlinkClosure);
constexpr BlinkTime kMaximumClosure = BlinkDetector::seconds(BlinkDetector::maximumBlinkClosure);
constexpr BlinkTime kSeparation = BlinkDetector::seconds(BlinkDetector::minimumBlinkSeparation);
constexpr BlinkTime kGrace = BlinkDetector::seconds(BlinkDetector::awayGracePeriod);
constexpr BlinkTime kWarmup = BlinkDetector::seconds(BlinkDetector::warmupDuration);
constexpr BlinkTime kFrameInterval = BlinkDetector::seconds(BlinkDetector::minFrameInterval);
constexpr BlinkTime kLostFaceInterval = BlinkDetector::seconds(BlinkDetector::lostFaceSearchInterval);
constexpr BlinkTime kPartialMinimum = BlinkDetector::seconds(0.06);
constexpr BlinkTime kPartialMaximum = BlinkDetector::seconds(1.0);
constexpr BlinkTime kPartialAfterBlink = BlinkDetector::seconds(0.25);
constexpr BlinkTime kPartialAfterPartial = BlinkDetector::seconds(0.45);

QList<double> zeroBuckets()
{
    return QList<double>(BlinkRecord::bucketCount, 0.0);
}
} // namespace

BlinkDetector::BlinkDetector(QObject *parent)
    : QObject(parent), m_eyeStateLabel(kDash), m_attentionStateLabel(kDash), m_blinkRateBuckets(zeroBuckets())
{
    m_capture.onFrame = [this](const QImage &frame) { frameArrived(frame); };
    connect(&m_capture, &BlinkCapture::opened, this, &BlinkDetector::captureOpened);
    connect(&m_capture, &BlinkCapture::failed, this, &BlinkDetector::turnOffAfterFailure);
    m_userEnabled = UserDefaults::standard().boolForKey(QString::fromLatin1(enabledKey));
    userEnabledDidChange();
}

BlinkDetector::~BlinkDetector()
{
    m_rateTimer.cancel();
    m_capture.stop();
}

BlinkDetector &BlinkDetector::shared()
{
    return sharedInstance<BlinkDetector>();
}

BlinkTime BlinkDetector::nowTime()
{
    return scheduler().now().toMSecsSinceEpoch() * 1000;
}

QVariant BlinkDetector::secondsSinceLastBlinkValue() const
{
    return m_secondsSinceLastBlink ? QVariant(*m_secondsSinceLastBlink) : QVariant();
}

// ---- the switch, start and stop ----

void BlinkDetector::setUserEnabled(bool enabled)
{
    if (enabled && !m_startFailure.isEmpty()) {
        m_startFailure.clear();
        emit startFailureChanged();
    }
    if (m_userEnabled != enabled) {
        m_userEnabled = enabled;
        emit userEnabledChanged();
    }
    userEnabledDidChange();
}

void BlinkDetector::userEnabledDidChange()
{
    UserDefaults::standard().setBool(QString::fromLatin1(enabledKey), m_userEnabled);
    if (m_userEnabled)
        startDetection();
    else
        stopDetection();
}

void BlinkDetector::turnOffAfterFailure(const QString &reason)
{
    m_logger.error("%s", qUtf8Printable(reason));
    if (m_startFailure != reason) {
        m_startFailure = reason;
        emit startFailureChanged();
    }
    if (m_userEnabled) {
        m_userEnabled = false;
        emit userEnabledChanged();
    }
    userEnabledDidChange();
}

void BlinkDetector::startDetection()
{
    // One start at a time: while a permission answer is awaited, a further switch-on
    // waits for that answer instead of asking again.
    if (m_isActive)
        return;
    m_capture.start([this] { return m_userEnabled; });
}

void BlinkDetector::captureOpened()
{
    m_loggedOnce.clear();
    m_searchingSlowly = false;
    setIsActive(true);
    m_record.clear();
    m_record.startSession(nowTime());
    setIsCalibrating(true);
    setIsUserAway(false);
    setIsLookingAtScreen(true);
    setAttentionStateLabel(kCalibrating);
    m_lastFaceSeenAt.reset();
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lastPartialCandidateTime.reset();

    m_rateTimer = scheduler().every(rateTimerIntervalMs, this, [this] {
        scheduler().post(this, [this] { updateBlinkRate(); });
    });
    m_logger.info("Blink detection started — calibrating for %fs", warmupDuration);
}

void BlinkDetector::stopDetection()
{
    // Said only of detection that ran or was starting: a start with it off stops nothing.
    const bool wasRunning = m_isActive || m_capture.isOpen() || m_capture.isStarting();
    m_capture.stop();
    m_searchingSlowly = false;
    m_rateTimer.cancel();
    m_rateTimer = TaskHandle();

    setIsActive(false);
    setFaceDetected(false);
    setIsUserAway(false);
    setIsLookingAtScreen(true);
    setAttentionStateLabel(kDash);
    setBlinksPerMinute(0);
    setSessionBlinkCount(0);
    setLowBlinkAlert(false);

    m_record.clear();
    m_lowBlinkStartTime.reset();
    m_lastFaceSeenAt.reset();
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lastPartialCandidateTime.reset();

    m_eyeState = EyeState::open;
    setEyeStateLabel(kOpen);
    m_baseline.clear();
    setCurrentEAR(0);
    setEyeOpenAmount(1.0);
    setBaselineEAR(0);
    setEyeStateLabel(kDash);

    setFiveMinuteBlinkRate(0);
    setSecondsSinceLastBlink(std::nullopt);
    setLongestBlinkGapSeconds(0);
    setAttentionSecondsThisSession(0);
    setPausedSecondsThisSession(0);
    setBlinkRateBuckets(zeroBuckets());
    setAverageClosureMilliseconds(0);
    setPartialBlinkCandidateCount(0);
    setCalibrationConfidence(0);
    setBlinkComfortScore(0);

    setIsCalibrating(false);
    if (wasRunning)
        m_logger.info("Blink detection stopped");
}

// ---- frames ----

void BlinkDetector::frameArrived(const QImage &frame)
{
    if (frame.isNull())
        return;
    if (isMainThread())
        scheduler().post(this, [this, frame] { processFrame(frame); });
    else
        QMetaObject::invokeMethod(this, [this, frame] { processFrame(frame); }, Qt::QueuedConnection);
}

void BlinkDetector::processFrame(const QImage &frame)
{
    const BlinkTime now = nowTime();
    if (m_lastFrameTime && now - *m_lastFrameTime < kFrameInterval)
        return;
    // While no face is in view, a frame is searched only now and then.
    if (m_searchingSlowly && m_lastFrameTime && now - *m_lastFrameTime < kLostFaceInterval)
        return;
    m_lastFrameTime = now;
    if (!m_isActive)
        return;
    m_capture.analyse(frame, [this](const FaceDetectionResult &result) {
        if (m_isActive)
            handleDetectionResult(result, nowTime());
    });
}

void BlinkDetector::logOnce(const QString &message)
{
    if (m_loggedOnce.contains(message))
        return;
    m_loggedOnce << message;
    m_logger.error("%s", qUtf8Printable(message));
}

void BlinkDetector::handleDetectionResult(const FaceDetectionResult &result, BlinkTime at)
{
    if (result.error) {
        logOnce(QStringLiteral("Frame skipped: %1").arg(*result.error));
        return;
    }
    const bool allFaces = std::all_of(result.observations.begin(), result.observations.end(),
                                      [](const FaceObservation &o) { return o.isFace; });
    const FaceObservation *face = allFaces && !result.observations.isEmpty() ? &result.observations.first() : nullptr;
    if (!face || !face->hasLandmarks || !face->leftEye || !face->rightEye) {
        handleNoFace(at);
        // Past the grace period (or with no face yet) the face is searched for less often.
        m_searchingSlowly = !m_lastFaceSeenAt || at - *m_lastFaceSeenAt >= kGrace;
        return;
    }
    m_searchingSlowly = false;
    const std::optional<double> left = eyeRatio(*face->leftEye);
    const std::optional<double> right = eyeRatio(*face->rightEye);
    if ((face->yaw && !std::isfinite(*face->yaw)) || (face->pitch && !std::isfinite(*face->pitch)))
        logOnce(QStringLiteral("Head pose unreadable; the face counts as looking away"));
    const bool attentive = isAttentive(face->yaw, face->pitch);
    handleFaceSeen(at, attentive);
    if (!attentive)
        return;
    if (!left || !right) {
        // No measurement: the frame neither ends a closure nor feeds the baseline.
        logOnce(QStringLiteral("Eye region too small to measure; frame skipped"));
        return;
    }
    processEyeRatio((*left + *right) * 0.5, at);
}

std::optional<double> BlinkDetector::eyeRatio(const QList<QPointF> &points)
{
    if (points.size() < 4)
        return std::nullopt;
    double minX = points.first().x(), maxX = minX, minY = points.first().y(), maxY = minY;
    for (const QPointF &p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const double width = maxX - minX;
    const double height = maxY - minY;
    if (!(width > 0) || !std::isfinite(height / width))
        return std::nullopt;
    return height / width;
}

bool BlinkDetector::isAttentive(std::optional<double> yaw, std::optional<double> pitch)
{
    const double y = yaw.value_or(0.0);
    const double p = pitch.value_or(0.0);
    return std::abs(y) < attentionYawLimit && std::abs(p) < attentionPitchLimit;
}

// ---- face, attention and the eye state machine ----

void BlinkDetector::handleFaceSeen(BlinkTime t, bool attentive)
{
    m_lastFaceSeenAt = t;
    setFaceDetected(true);
    setIsUserAway(false);
    setIsLookingAtScreen(attentive);
    if (attentive) {
        m_record.openVisible(t);
        setAttentionStateLabel(m_isCalibrating ? kCalibrating : kLooking);
        if (m_eyeStateLabel == kAway || m_eyeStateLabel == kLookingAwayEye || m_eyeStateLabel == kLooking
            || m_eyeStateLabel == kDash) {
            m_eyeState = EyeState::open;
            setEyeStateLabel(kOpen);
        }
        return;
    }
    closeVisibleInterval(t);
    m_eyeState = EyeState::open;
    setEyeStateLabel(kLookingAwayEye);
    setAttentionStateLabel(kLookingAwayAttention);
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lowBlinkStartTime.reset();
    setLowBlinkAlert(false);
}

void BlinkDetector::handleNoFace(BlinkTime now)
{
    if (!m_lastFaceSeenAt) {
        setFaceDetected(false);
        setIsUserAway(false);
        setIsLookingAtScreen(false);
        setAttentionStateLabel(kLooking);
        setEyeStateLabel(kLooking);
        return;
    }
    if (now - *m_lastFaceSeenAt < kGrace)
        return;
    closeVisibleInterval(*m_lastFaceSeenAt);
    setFaceDetected(false);
    setIsUserAway(true);
    setIsLookingAtScreen(false);
    setAttentionStateLabel(kAway);
    m_eyeState = EyeState::open;
    setEyeStateLabel(kAway);
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lowBlinkStartTime.reset();
    setLowBlinkAlert(false);
}

void BlinkDetector::closeVisibleInterval(BlinkTime d)
{
    m_record.closeVisible(d, nowTime() - kHistory);
}

void BlinkDetector::processEyeRatio(double r, BlinkTime t)
{
    setCurrentEAR(r);
    if (const std::optional<double> baseline = m_baseline.add(r, m_baselineEAR))
        setBaselineEAR(*baseline);

    const std::optional<BlinkTime> sessionStart = m_record.sessionStart();
    if (!sessionStart)
        return;
    if (t - *sessionStart < kWarmup) {
        setIsCalibrating(true);
        updateStatistics(t);
        return;
    }
    if (m_isCalibrating) {
        setIsCalibrating(false);
        m_baseline.lock();
        setAttentionStateLabel(kLooking);
        m_logger.info("Warm-up complete. Baseline locked at %f", m_baselineEAR);
    }
    if (m_baseline.sampleCount() < baselineMinSamples || m_baselineEAR <= 0.02)
        return;

    const double baseline = m_baselineEAR;
    const double closed = baseline * blinkDropRatio;
    const double range = std::max(closed - baseline, 0.001);
    const double partial = baseline + 0.52 * range;
    const double reopen = baseline * openRecoveryRatio;
    setEyeOpenAmount(std::clamp(1.0 - (r - baseline) / range, 0.0, 1.0));

    if (m_eyeState == EyeState::closed && r < reopen) {
        const BlinkTime closure = m_blinkCloseStart ? t - *m_blinkCloseStart : 0;
        m_blinkCloseStart.reset();
        m_eyeState = EyeState::open;
        setEyeStateLabel(kOpen);
        if (closure >= kMinimumClosure && closure <= kMaximumClosure)
            registerBlink(t, r, double(closure) / 1'000'000.0);
    }
    if (m_eyeState == EyeState::open) {
        if (r > closed) {
            if (!m_pendingBlinkCloseStart)
                m_pendingBlinkCloseStart = t;
            m_pendingPartialCloseStart.reset();
            if (t - *m_pendingBlinkCloseStart >= kMinimumClosure) {
                m_eyeState = EyeState::closed;
                setEyeStateLabel(kClosed);
                m_blinkCloseStart = m_pendingBlinkCloseStart;
                m_pendingBlinkCloseStart.reset();
                m_logger.debug("Eye CLOSED at EAR %f (threshold %f, baseline %f)", r, closed, baseline);
            }
        } else if (r <= partial) {
            evaluatePartialBlink(t);
            m_pendingBlinkCloseStart.reset();
        } else if (!m_pendingPartialCloseStart) {
            m_pendingPartialCloseStart = t;
        }
    }
    updateStatistics(t);
}

void BlinkDetector::registerBlink(BlinkTime t, double ratio, double closure)
{
    if (const std::optional<BlinkTime> last = m_record.lastBlink(); last && t - *last < kSeparation)
        return;
    setSessionBlinkCount(m_sessionBlinkCount + 1);
    m_record.addBlink(t, closure);
    updateStatistics(t);
    m_logger.debug("Blink #%ld — EAR %f", long(m_sessionBlinkCount), ratio);
}

void BlinkDetector::evaluatePartialBlink(BlinkTime t)
{
    if (!m_pendingPartialCloseStart)
        return;
    const BlinkTime d = t - *m_pendingPartialCloseStart;
    const bool counts = d >= kPartialMinimum && d <= kPartialMaximum
                        && (!m_record.lastBlink() || t - *m_record.lastBlink() >= kPartialAfterBlink)
                        && (!m_lastPartialCandidateTime || t - *m_lastPartialCandidateTime >= kPartialAfterPartial);
    if (counts) {
        setPartialBlinkCandidateCount(m_partialBlinkCandidateCount + 1);
        m_lastPartialCandidateTime = t;
    }
    m_pendingPartialCloseStart.reset();
}

void BlinkDetector::recalibrate()
{
    const BlinkTime now = nowTime();
    m_baseline.clear();
    setBaselineEAR(0);
    setEyeOpenAmount(1.0);
    setIsCalibrating(true);
    // Attention counts again from now; the open stretch counts from now when it closes.
    m_record.startSession(now);
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_eyeState = EyeState::open;
    setEyeStateLabel(kOpen);
    setAttentionStateLabel(kCalibrating);
    updateStatistics(now);
    m_logger.info("Manual recalibration triggered");
}

// ---- rates and statistics ----

double BlinkDetector::visibleSeconds(BlinkTime a, BlinkTime b) const
{
    return m_record.visibleSeconds(a, b);
}

double BlinkDetector::longestBlinkGap(BlinkTime a, BlinkTime b) const
{
    return m_record.longestGap(a, b);
}

void BlinkDetector::updateBlinkRate()
{
    const BlinkTime now = nowTime();
    if (!m_isUserAway && m_isLookingAtScreen && !m_isCalibrating) {
        m_record.prune(now - kHistory);
        const double visible = visibleSeconds(now - seconds(60), now);
        if (visible >= minimumVisibleSecondsForRate) {
            setBlinksPerMinute(double(m_record.blinksBetween(now - seconds(60))) / visible * 60.0);
            const bool low = m_faceDetected && m_isLookingAtScreen && m_blinksPerMinute < lowBlinkThreshold
                             && !m_isCalibrating;
            if (low) {
                if (!m_lowBlinkStartTime) {
                    m_lowBlinkStartTime = now;
                } else if (now - *m_lowBlinkStartTime >= seconds(120) && !m_lowBlinkAlert) {
                    setLowBlinkAlert(true);
                    if (onLowBlinkDetected)
                        onLowBlinkDetected();
                    m_logger.info("Low blink rate alert (%f BPM)", m_blinksPerMinute);
                }
            } else {
                m_lowBlinkStartTime.reset();
                setLowBlinkAlert(false);
            }
        } else {
            m_lowBlinkStartTime.reset();
            setLowBlinkAlert(false);
        }
    } else {
        m_lowBlinkStartTime.reset();
        setLowBlinkAlert(false);
    }
    updateStatistics(now);
}

void BlinkDetector::updateStatistics(BlinkTime now)
{
    m_record.prune(now - kHistory);
    const std::optional<BlinkTime> last = m_record.lastBlink();
    setSecondsSinceLastBlink(last ? std::optional<double>(secondsBetween(*last, now)) : std::nullopt);

    const BlinkTime w = now - kHistory;
    const double visible = visibleSeconds(w, now);
    setFiveMinuteBlinkRate(visible >= minimumVisibleSecondsForRate
                               ? double(m_record.blinksBetween(w)) / visible * 60.0
                               : 0.0);
    setBlinkRateBuckets(m_record.buckets(now));
    setLongestBlinkGapSeconds(longestBlinkGap(w, now));

    if (const std::optional<BlinkTime> start = m_record.sessionStart()) {
        const double elapsed = std::max(0.0, secondsBetween(*start, now));
        // The session's running total, not the pruned intervals: attention never shrinks.
        const double attention = m_record.attentionSeconds(now);
        setAttentionSecondsThisSession(attention);
        setPausedSecondsThisSession(std::max(0.0, elapsed - attention));
    } else {
        setAttentionSecondsThisSession(0);
        setPausedSecondsThisSession(0);
    }
    setAverageClosureMilliseconds(m_record.averageClosureMilliseconds());
    setCalibrationConfidence(m_baseline.confidence());
    setBlinkComfortScore(computeBlinkComfortScore(now));
}

int BlinkDetector::computeBlinkComfortScore(BlinkTime now) const
{
    if (!m_isActive || m_isCalibrating)
        return 0;
    if (visibleSeconds(now - kHistory, now) < minimumVisibleSecondsForRate)
        return 0;
    const double rate = m_fiveMinuteBlinkRate > 0 ? m_fiveMinuteBlinkRate : m_blinksPerMinute;
    return comfortScore(rate, m_longestBlinkGapSeconds, m_partialBlinkCandidateCount);
}

int BlinkDetector::comfortScore(double rate, double longestGapSeconds, int partialCount)
{
    double ratePenalty = 0;
    if (rate < 12)
        ratePenalty = std::min((12 - rate) * 3.2, 35.0);
    else if (rate > 24)
        ratePenalty = std::min((rate - 24) * 1.4, 18.0);
    const double gap = longestGapSeconds - 18;
    const double gapPenalty = gap < 0 ? 0.0 : std::min(gap * 1.2, 25.0);
    const double partialPenalty = std::min(partialCount * 1.5, 12.0);
    const double score = std::round(100 - ratePenalty - gapPenalty - partialPenalty);
    return int(std::clamp(score, 0.0, 100.0));
}

// ---- published setters ----

namespace {
template <typename T, typename Signal>
void assign(BlinkDetector *self, T &field, const T &value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    emit(self->*signal)();
}
} // namespace

void BlinkDetector::setIsActive(bool v) { assign(this, m_isActive, v, &BlinkDetector::isActiveChanged); }
void BlinkDetector::setFaceDetected(bool v) { assign(this, m_faceDetected, v, &BlinkDetector::faceDetectedChanged); }
void BlinkDetector::setBlinksPerMinute(double v) { assign(this, m_blinksPerMinute, v, &BlinkDetector::blinksPerMinuteChanged); }
void BlinkDetector::setSessionBlinkCount(int v) { assign(this, m_sessionBlinkCount, v, &BlinkDetector::sessionBlinkCountChanged); }
void BlinkDetector::setLowBlinkAlert(bool v) { assign(this, m_lowBlinkAlert, v, &BlinkDetector::lowBlinkAlertChanged); }
void BlinkDetector::setCurrentEAR(double v) { assign(this, m_currentEAR, v, &BlinkDetector::currentEARChanged); }
void BlinkDetector::setEyeOpenAmount(double v) { assign(this, m_eyeOpenAmount, v, &BlinkDetector::eyeOpenAmountChanged); }
void BlinkDetector::setEyeStateLabel(const QString &v) { assign(this, m_eyeStateLabel, v, &BlinkDetector::eyeStateLabelChanged); }
void BlinkDetector::setBaselineEAR(double v) { assign(this, m_baselineEAR, v, &BlinkDetector::baselineEARChanged); }
void BlinkDetector::setIsCalibrating(bool v) { assign(this, m_isCalibrating, v, &BlinkDetector::isCalibratingChanged); }
void BlinkDetector::setIsUserAway(bool v) { assign(this, m_isUserAway, v, &BlinkDetector::isUserAwayChanged); }
void BlinkDetector::setIsLookingAtScreen(bool v) { assign(this, m_isLookingAtScreen, v, &BlinkDetector::isLookingAtScreenChanged); }
void BlinkDetector::setAttentionStateLabel(const QString &v) { assign(this, m_attentionStateLabel, v, &BlinkDetector::attentionStateLabelChanged); }
void BlinkDetector::setFiveMinuteBlinkRate(double v) { assign(this, m_fiveMinuteBlinkRate, v, &BlinkDetector::fiveMinuteBlinkRateChanged); }
void BlinkDetector::setSecondsSinceLastBlink(std::optional<double> v) { assign(this, m_secondsSinceLastBlink, v, &BlinkDetector::secondsSinceLastBlinkChanged); }
void BlinkDetector::setLongestBlinkGapSeconds(double v) { assign(this, m_longestBlinkGapSeconds, v, &BlinkDetector::longestBlinkGapSecondsChanged); }
void BlinkDetector::setAttentionSecondsThisSession(double v) { assign(this, m_attentionSecondsThisSession, v, &BlinkDetector::attentionSecondsThisSessionChanged); }
void BlinkDetector::setPausedSecondsThisSession(double v) { assign(this, m_pausedSecondsThisSession, v, &BlinkDetector::pausedSecondsThisSessionChanged); }
void BlinkDetector::setBlinkRateBuckets(const QList<double> &v) { assign(this, m_blinkRateBuckets, v, &BlinkDetector::blinkRateBucketsChanged); }
void BlinkDetector::setAverageClosureMilliseconds(double v) { assign(this, m_averageClosureMilliseconds, v, &BlinkDetector::averageClosureMillisecondsChanged); }
void BlinkDetector::setPartialBlinkCandidateCount(int v) { assign(this, m_partialBlinkCandidateCount, v, &BlinkDetector::partialBlinkCandidateCountChanged); }
void BlinkDetector::setCalibrationConfidence(double v) { assign(this, m_calibrationConfidence, v, &BlinkDetector::calibrationConfidenceChanged); }
void BlinkDetector::setBlinkComfortScore(int v) { assign(this, m_blinkComfortScore, v, &BlinkDetector::blinkComfortScoreChanged); }

} // namespace qv
