#include "wellness/BlinkDetector.h"

#include "platform/Camera.h"
#include "platform/FaceLandmarks.h"
#include "platform/Platform.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"
#include "wellness/FrameAnalysisWorker.h"

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
constexpr int kBucketCount = 10;
constexpr BlinkTime kBucketLength = BlinkDetector::seconds(30);
constexpr double kBucketMinimumVisible = 4.0;

double secondsBetween(BlinkTime from, BlinkTime to)
{
    return double(to - from) / 1'000'000.0;
}

QList<double> zeroBuckets()
{
    return QList<double>(kBucketCount, 0.0);
}
} // namespace

BlinkDetector::BlinkDetector(QObject *parent)
    : QObject(parent), m_eyeStateLabel(kDash), m_attentionStateLabel(kDash), m_blinkRateBuckets(zeroBuckets())
{
    m_userEnabled = UserDefaults::standard().boolForKey(QString::fromLatin1(enabledKey));
    userEnabledDidChange();
}

BlinkDetector::~BlinkDetector()
{
    m_rateTimer.cancel();
    if (m_session)
        m_session->stopRunning();
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
    if (m_isActive || m_starting)
        return;
    Camera *camera = platform().camera;
    m_starting = true;
    auto answered = [this](bool granted) {
        m_starting = false;
        // The switch may have been turned off (and on) while the question was open.
        if (!m_userEnabled || m_session)
            return;
        if (!granted) {
            turnOffAfterFailure(QStringLiteral("Camera permission denied"));
            return;
        }
        configureCaptureSession();
    };
    const CameraAuthorization status = camera ? camera->authorizationStatus() : CameraAuthorization::authorized;
    if (status == CameraAuthorization::notDetermined) {
        QPointer<BlinkDetector> self(this);
        camera->requestAccess([self, answered](bool granted) {
            if (self)
                answered(granted);
        });
        return;
    }
    const bool granted = status == CameraAuthorization::authorized;
    scheduler().post(this, [answered, granted] { answered(granted); });
}

void BlinkDetector::configureCaptureSession()
{
    Camera *camera = platform().camera;
    const std::optional<CameraDevice> device = camera ? camera->defaultDevice() : std::nullopt;
    if (!device) {
        turnOffAfterFailure(QStringLiteral("No camera available"));
        return;
    }
    std::unique_ptr<CaptureSession> session = camera->makeSession();
    QString inputError;
    if (!session->addInput(*device, &inputError)) {
        turnOffAfterFailure(QStringLiteral("Could not create camera input: %1").arg(inputError));
        return;
    }
    // Frames come on the capture thread; the session is stopped before this detector goes.
    session->addOutput([this](const QImage &frame) { frameArrived(frame); });
    const quint64 run = ++m_run;
    session->setFailureHandler([this, run](const QString &reason) { captureFailed(reason, run); });
    session->startRunning();
    m_session = std::move(session);
    m_loggedOnce.clear();
    m_searchingSlowly = false;

    setIsActive(true);
    m_sessionStartTime = nowTime();
    setIsCalibrating(true);
    setIsUserAway(false);
    setIsLookingAtScreen(true);
    setAttentionStateLabel(kCalibrating);
    m_lastFaceSeenAt.reset();
    m_currentVisibleStart.reset();
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lastBlinkTime.reset();
    m_lastPartialCandidateTime.reset();
    m_visibleIntervals.clear();
    m_closedAttentionSeconds = 0;
    m_blinkClosureDurations.clear();

    m_rateTimer = scheduler().every(rateTimerIntervalMs, this, [this] {
        scheduler().post(this, [this] { updateBlinkRate(); });
    });
    m_logger.info("Blink detection started — calibrating for %fs", warmupDuration);

    // The face model is loaded now and released at the stop, both on the worker.
    if (FaceLandmarks *landmarks = platform().faceLandmarks) {
        if (!m_worker || &m_worker->detector() != landmarks)
            m_worker = std::make_unique<FrameAnalysisWorker>(*landmarks, this);
        m_worker->load([this, run](const QString &error) { modelLoaded(error, run); });
    } else {
        modelLoaded(QStringLiteral("No face-landmarks detector is available"), run);
    }
}

void BlinkDetector::modelLoaded(const QString &error, quint64 run)
{
    if (error.isEmpty() || run != m_run || !m_isActive)
        return;
    turnOffAfterFailure(QStringLiteral("Could not load the face model: %1").arg(error));
}

void BlinkDetector::captureFailed(const QString &reason, quint64 run)
{
    if (run != m_run || !m_isActive)
        return;
    turnOffAfterFailure(QStringLiteral("Camera stopped: %1").arg(reason));
}

void BlinkDetector::stopDetection()
{
    if (m_session) {
        m_session->stopRunning();
        m_session.reset();
    }
    // Returns at once: a load still running is abandoned or finishes on the worker.
    if (m_worker)
        m_worker->unload();
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
    m_blinkTimestamps.clear();
    setLowBlinkAlert(false);

    m_lowBlinkStartTime.reset();
    m_lastFaceSeenAt.reset();
    m_currentVisibleStart.reset();
    m_visibleIntervals.clear();
    m_closedAttentionSeconds = 0;
    m_pendingBlinkCloseStart.reset();
    m_pendingPartialCloseStart.reset();
    m_blinkCloseStart.reset();
    m_lastBlinkTime.reset();
    m_lastPartialCandidateTime.reset();
    m_blinkClosureDurations.clear();

    m_eyeState = EyeState::open;
    setEyeStateLabel(kOpen);
    m_earSamples.clear();
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

    m_sessionStartTime.reset();
    setIsCalibrating(false);
    m_baselineLocked = false;
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
    if (!m_worker || !m_isActive)
        return;
    const quint64 run = m_run;
    m_worker->analyse(frame, [this, run](const FaceDetectionResult &result) {
        // Results of a run that has ended change nothing.
        if (run == m_run && m_isActive)
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
        if (!m_currentVisibleStart)
            m_currentVisibleStart = t;
        setAttentionStateLabel(m_isCalibrating ? kCalibrating : kLooking);
        if (m_eyeStateLabel == kAway || m_eyeStateLabel == kLookingAwayEye || m_eyeStateLabel == kLooking
            || m_eyeStateLabel == kDash) {
            m_eyeState = EyeState::open;
            setEyeStateLabel(kOpen);
        }
        return;
    }
    if (m_currentVisibleStart)
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
    if (m_currentVisibleStart)
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
    if (!m_currentVisibleStart)
        return;
    const BlinkTime start = *m_currentVisibleStart;
    if (d > start)
        m_visibleIntervals.append({start, d});
    if (m_sessionStartTime) {
        const BlinkTime from = std::max(start, *m_sessionStartTime);
        if (d > from)
            m_closedAttentionSeconds += secondsBetween(from, d);
    }
    m_currentVisibleStart.reset();
    pruneHistory(nowTime() - kHistory);
}

void BlinkDetector::processEyeRatio(double r, BlinkTime t)
{
    setCurrentEAR(r);
    m_earSamples.append(r);
    if (m_earSamples.size() > baselineWindowSize)
        m_earSamples.removeFirst();

    if (m_earSamples.size() >= 10) {
        QList<double> sorted = m_earSamples;
        std::sort(sorted.begin(), sorted.end());
        const qsizetype index = std::clamp<qsizetype>(qsizetype(double(sorted.size()) * 0.2), 0, sorted.size() - 1);
        const double p = sorted.at(index);
        setBaselineEAR(m_baselineLocked ? m_baselineEAR * 0.98 + p * 0.02 : p);
    }

    if (!m_sessionStartTime)
        return;
    if (t - *m_sessionStartTime < kWarmup) {
        setIsCalibrating(true);
        updateStatistics(t);
        return;
    }
    if (m_isCalibrating) {
        setIsCalibrating(false);
        m_baselineLocked = true;
        setAttentionStateLabel(kLooking);
        m_logger.info("Warm-up complete. Baseline locked at %f", m_baselineEAR);
    }
    if (m_earSamples.size() < baselineMinSamples || m_baselineEAR <= 0.02)
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
    if (m_lastBlinkTime && t - *m_lastBlinkTime < kSeparation)
        return;
    m_lastBlinkTime = t;
    setSessionBlinkCount(m_sessionBlinkCount + 1);
    m_blinkTimestamps.append(t);
    m_blinkClosureDurations.append({t, closure});
    pruneHistory(t - kHistory);
    updateStatistics(t);
    m_logger.debug("Blink #%ld — EAR %f", long(m_sessionBlinkCount), ratio);
}

void BlinkDetector::evaluatePartialBlink(BlinkTime t)
{
    if (!m_pendingPartialCloseStart)
        return;
    const BlinkTime d = t - *m_pendingPartialCloseStart;
    const bool counts = d >= kPartialMinimum && d <= kPartialMaximum
                        && (!m_lastBlinkTime || t - *m_lastBlinkTime >= kPartialAfterBlink)
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
    m_earSamples.clear();
    setBaselineEAR(0);
    setEyeOpenAmount(1.0);
    m_baselineLocked = false;
    setIsCalibrating(true);
    m_sessionStartTime = now;
    // Attention counts again from now; the open stretch counts from now when it closes.
    m_closedAttentionSeconds = 0;
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

void BlinkDetector::pruneHistory(BlinkTime cutoff)
{
    m_visibleIntervals.removeIf([cutoff](const Interval &i) { return i.end < cutoff; });
    m_blinkTimestamps.removeIf([cutoff](BlinkTime t) { return t < cutoff; });
    m_blinkClosureDurations.removeIf([cutoff](const Closure &c) { return c.date < cutoff; });
}

QList<BlinkDetector::Interval> BlinkDetector::clippedVisibleIntervals(BlinkTime a, BlinkTime b) const
{
    QList<Interval> clipped;
    for (const Interval &i : m_visibleIntervals) {
        const BlinkTime s = std::max(a, i.start);
        const BlinkTime e = std::min(b, i.end);
        if (e > s)
            clipped.append({s, e});
    }
    if (m_currentVisibleStart) {
        const BlinkTime s = std::max(a, *m_currentVisibleStart);
        if (b > s)
            clipped.append({s, b});
    }
    return clipped;
}

double BlinkDetector::visibleSeconds(BlinkTime a, BlinkTime b) const
{
    double total = 0;
    for (const Interval &i : clippedVisibleIntervals(a, b))
        total += secondsBetween(i.start, i.end);
    return total;
}

double BlinkDetector::longestBlinkGap(BlinkTime a, BlinkTime b) const
{
    BlinkTime longest = 0;
    for (const Interval &i : clippedVisibleIntervals(a, b)) {
        BlinkTime cursor = i.start;
        for (BlinkTime t : m_blinkTimestamps) {
            if (t < i.start || t > i.end)
                continue;
            longest = std::max(longest, t - cursor);
            cursor = t;
        }
        longest = std::max(longest, i.end - cursor);
    }
    return double(longest) / 1'000'000.0;
}

void BlinkDetector::updateBlinkRate()
{
    const BlinkTime now = nowTime();
    if (!m_isUserAway && m_isLookingAtScreen && !m_isCalibrating) {
        pruneHistory(now - kHistory);
        const double visible = visibleSeconds(now - seconds(60), now);
        if (visible >= minimumVisibleSecondsForRate) {
            const BlinkTime since = now - seconds(60);
            const auto n = std::count_if(m_blinkTimestamps.begin(), m_blinkTimestamps.end(),
                                         [since](BlinkTime t) { return t >= since; });
            setBlinksPerMinute(double(n) / visible * 60.0);
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
    pruneHistory(now - kHistory);
    setSecondsSinceLastBlink(m_lastBlinkTime ? std::optional<double>(secondsBetween(*m_lastBlinkTime, now))
                                             : std::nullopt);

    const BlinkTime w = now - kHistory;
    const double visible = visibleSeconds(w, now);
    const auto n = std::count_if(m_blinkTimestamps.begin(), m_blinkTimestamps.end(),
                                 [w](BlinkTime t) { return t >= w; });
    setFiveMinuteBlinkRate(visible >= minimumVisibleSecondsForRate ? double(n) / visible * 60.0 : 0.0);

    QList<double> buckets;
    buckets.reserve(kBucketCount);
    for (int i = 0; i < kBucketCount; ++i) {
        const BlinkTime s = w + kBucketLength * i;
        const BlinkTime e = s + kBucketLength;
        const double v = visibleSeconds(s, e);
        const auto count = std::count_if(m_blinkTimestamps.begin(), m_blinkTimestamps.end(),
                                         [s, e](BlinkTime t) { return t >= s && t < e; });
        buckets.append(v >= kBucketMinimumVisible ? double(count) / v * 60.0 : 0.0);
    }
    setBlinkRateBuckets(buckets);
    setLongestBlinkGapSeconds(longestBlinkGap(w, now));

    if (!m_sessionStartTime) {
        setAttentionSecondsThisSession(0);
        setPausedSecondsThisSession(0);
    } else {
        const double elapsed = std::max(0.0, secondsBetween(*m_sessionStartTime, now));
        // The session's running total, not the pruned intervals: attention never shrinks.
        double attention = m_closedAttentionSeconds;
        if (m_currentVisibleStart) {
            const BlinkTime from = std::max(*m_currentVisibleStart, *m_sessionStartTime);
            if (now > from)
                attention += secondsBetween(from, now);
        }
        setAttentionSecondsThisSession(attention);
        setPausedSecondsThisSession(std::max(0.0, elapsed - attention));
    }

    double closureTotal = 0;
    for (const Closure &c : m_blinkClosureDurations)
        closureTotal += c.duration;
    setAverageClosureMilliseconds(m_blinkClosureDurations.isEmpty()
                                      ? 0.0
                                      : closureTotal / double(m_blinkClosureDurations.size()) * 1000.0);

    double confidence = double(std::min<qsizetype>(m_earSamples.size(), baselineWindowSize)) / baselineWindowSize;
    if (!m_baselineLocked)
        confidence = std::min(confidence, 0.72);
    setCalibrationConfidence(confidence);
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
