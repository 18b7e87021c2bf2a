#pragma once

#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Settings.h"
#include "wellness/BlinkCapture.h"
#include "wellness/BlinkRecord.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace qv {

struct FaceDetectionResult;

// Measures the user's blinking with the camera: every analysed frame gives the eye ratio
// (the eye's length over its opening, so it rises as the eye closes) and whether the face
// is turned to the screen. From them come the face and attention state, an adaptive
// open-eye baseline, an open/closed state machine that counts blinks and partial blinks,
// the rates over visible time, the low-blink alert and a 0-100 comfort score. The camera
// and the face model are BlinkCapture's, the records of the last five minutes
// BlinkRecord's and the open-eye baseline EyeBaseline's; the detector holds the eye state
// machine and what it publishes.
//
// One shared instance; the pages switch it with userEnabled (stored as
// "blinkDetectionEnabled") and call recalibrate(). Camera frames arrive on the camera's
// thread, the face landmarks of a frame are found on a worker thread, and every state
// change happens on the main thread, in frame order.
class BlinkDetector : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isActive READ isActive NOTIFY isActiveChanged)
    Q_PROPERTY(bool faceDetected READ faceDetected NOTIFY faceDetectedChanged)
    Q_PROPERTY(double blinksPerMinute READ blinksPerMinute NOTIFY blinksPerMinuteChanged)
    Q_PROPERTY(int sessionBlinkCount READ sessionBlinkCount NOTIFY sessionBlinkCountChanged)
    Q_PROPERTY(bool lowBlinkAlert READ lowBlinkAlert NOTIFY lowBlinkAlertChanged)
    Q_PROPERTY(double currentEAR READ currentEAR NOTIFY currentEARChanged)
    Q_PROPERTY(double eyeOpenAmount READ eyeOpenAmount NOTIFY eyeOpenAmountChanged)
    Q_PROPERTY(QString eyeStateLabel READ eyeStateLabel NOTIFY eyeStateLabelChanged)
    Q_PROPERTY(double baselineEAR READ baselineEAR NOTIFY baselineEARChanged)
    Q_PROPERTY(bool isCalibrating READ isCalibrating NOTIFY isCalibratingChanged)
    Q_PROPERTY(bool isUserAway READ isUserAway NOTIFY isUserAwayChanged)
    Q_PROPERTY(bool isLookingAtScreen READ isLookingAtScreen NOTIFY isLookingAtScreenChanged)
    Q_PROPERTY(QString attentionStateLabel READ attentionStateLabel NOTIFY attentionStateLabelChanged)
    Q_PROPERTY(double fiveMinuteBlinkRate READ fiveMinuteBlinkRate NOTIFY fiveMinuteBlinkRateChanged)
    // Seconds since the last counted blink; undefined (an invalid QVariant) before the first.
    Q_PROPERTY(QVariant secondsSinceLastBlink READ secondsSinceLastBlinkValue NOTIFY secondsSinceLastBlinkChanged)
    Q_PROPERTY(bool hasSecondsSinceLastBlink READ hasSecondsSinceLastBlink NOTIFY secondsSinceLastBlinkChanged)
    Q_PROPERTY(double longestBlinkGapSeconds READ longestBlinkGapSeconds NOTIFY longestBlinkGapSecondsChanged)
    Q_PROPERTY(double attentionSecondsThisSession READ attentionSecondsThisSession NOTIFY attentionSecondsThisSessionChanged)
    Q_PROPERTY(double pausedSecondsThisSession READ pausedSecondsThisSession NOTIFY pausedSecondsThisSessionChanged)
    Q_PROPERTY(QList<double> blinkRateBuckets READ blinkRateBuckets NOTIFY blinkRateBucketsChanged)
    Q_PROPERTY(double averageClosureMilliseconds READ averageClosureMilliseconds NOTIFY averageClosureMillisecondsChanged)
    Q_PROPERTY(int partialBlinkCandidateCount READ partialBlinkCandidateCount NOTIFY partialBlinkCandidateCountChanged)
    Q_PROPERTY(double calibrationConfidence READ calibrationConfidence NOTIFY calibrationConfidenceChanged)
    Q_PROPERTY(int blinkComfortScore READ blinkComfortScore NOTIFY blinkComfortScoreChanged)
    Q_PROPERTY(bool userEnabled READ userEnabled WRITE setUserEnabled NOTIFY userEnabledChanged)
    Q_PROPERTY(QString startFailure READ startFailure NOTIFY startFailureChanged)

public:
    // Fixed tuning.
    static constexpr double lowBlinkThreshold = 10.0;          // blinks per minute
    static constexpr double blinkDropRatio = 1.38;             // closed threshold over the baseline
    static constexpr double openRecoveryRatio = 1.16;          // reopen threshold over the baseline
    static constexpr double minimumBlinkSeparation = 0.18;     // s
    static constexpr double minimumBlinkClosure = 0.08;        // s
    static constexpr double maximumBlinkClosure = 1.0;         // s
    static constexpr double awayGracePeriod = 2.0;             // s
    static constexpr double attentionYawLimit = 0.38;          // rad
    static constexpr double attentionPitchLimit = 0.34;        // rad
    static constexpr double minimumVisibleSecondsForRate = 10.0; // s
    static constexpr int baselineWindowSize = EyeBaseline::windowSize; // samples
    static constexpr int baselineMinSamples = 60;              // samples
    static constexpr double warmupDuration = 8.0;              // s
    static constexpr double minFrameInterval = 0.07;           // s
    // While no face has been in view for the grace period, frames are analysed this far apart.
    static constexpr double lostFaceSearchInterval = 1.0;      // s
    static constexpr qint64 rateTimerIntervalMs = 5000;
    static constexpr double historySeconds = BlinkRecord::historySeconds;

    static constexpr const char *enabledKey = settings::blinkDetectionEnabled.key;

    enum class EyeState { open, closed };

    explicit BlinkDetector(QObject *parent = nullptr);
    ~BlinkDetector() override;

    static BlinkDetector &shared();

    bool isActive() const { return m_isActive; }
    bool faceDetected() const { return m_faceDetected; }
    double blinksPerMinute() const { return m_blinksPerMinute; }
    int sessionBlinkCount() const { return m_sessionBlinkCount; }
    bool lowBlinkAlert() const { return m_lowBlinkAlert; }
    double currentEAR() const { return m_currentEAR; }
    double eyeOpenAmount() const { return m_eyeOpenAmount; }
    QString eyeStateLabel() const { return m_eyeStateLabel; }
    double baselineEAR() const { return m_baselineEAR; }
    bool isCalibrating() const { return m_isCalibrating; }
    bool isUserAway() const { return m_isUserAway; }
    bool isLookingAtScreen() const { return m_isLookingAtScreen; }
    QString attentionStateLabel() const { return m_attentionStateLabel; }
    double fiveMinuteBlinkRate() const { return m_fiveMinuteBlinkRate; }
    std::optional<double> secondsSinceLastBlink() const { return m_secondsSinceLastBlink; }
    QVariant secondsSinceLastBlinkValue() const;
    bool hasSecondsSinceLastBlink() const { return m_secondsSinceLastBlink.has_value(); }
    double longestBlinkGapSeconds() const { return m_longestBlinkGapSeconds; }
    double attentionSecondsThisSession() const { return m_attentionSecondsThisSession; }
    double pausedSecondsThisSession() const { return m_pausedSecondsThisSession; }
    QList<double> blinkRateBuckets() const { return m_blinkRateBuckets; }
    double averageClosureMilliseconds() const { return m_averageClosureMilliseconds; }
    int partialBlinkCandidateCount() const { return m_partialBlinkCandidateCount; }
    double calibrationConfidence() const { return m_calibrationConfidence; }
    int blinkComfortScore() const { return m_blinkComfortScore; }
    bool userEnabled() const { return m_userEnabled; }
    // Stores the switch under "blinkDetectionEnabled", then starts or stops detection.
    void setUserEnabled(bool enabled);
    // Why detection turned itself off after the switch went on ("No camera available"), as
    // logged; empty until then, and again once the switch is turned on once more.
    QString startFailure() const { return m_startFailure; }

    // Restarts the warm-up now: samples and baseline are cleared; counts are kept.
    Q_INVOKABLE void recalibrate();

    // Called (when set) as the low-blink alert is raised.
    std::function<void()> onLowBlinkDetected;

    // ---- the frame road (public for tests and the benchmark) ----

    // One eye region's ratio: the extent of its points along y over their extent along x,
    // in the frame the landmarks were asked for. Nothing for a degenerate region (fewer
    // than four points, or no width): such a frame gives no measurement.
    static std::optional<double> eyeRatio(const QList<QPointF> &points);
    // The face is turned to the screen: |yaw| < 0.38 and |pitch| < 0.34 (absent reads 0;
    // a value that is not finite is not attentive).
    static bool isAttentive(std::optional<double> yaw, std::optional<double> pitch);

    // A camera frame (from any thread): throttled and analysed on the main thread's turn.
    void frameArrived(const QImage &frame);
    // The throttle and the request for one frame (main thread).
    void processFrame(const QImage &frame);
    // The result of a frame's request, back on the main thread.
    void handleDetectionResult(const FaceDetectionResult &result, BlinkTime at);

    void handleFaceSeen(BlinkTime t, bool attentive);
    void processEyeRatio(double ratio, BlinkTime t);
    void handleNoFace(BlinkTime now);

    // Rates and statistics.
    void updateBlinkRate();
    void updateStatistics(BlinkTime now);
    double visibleSeconds(BlinkTime from, BlinkTime to) const;
    double longestBlinkGap(BlinkTime from, BlinkTime to) const;
    int computeBlinkComfortScore(BlinkTime now) const;

    // Scores a rate, a longest gap and a partial count as the comfort score does.
    static int comfortScore(double rate, double longestGapSeconds, int partialCount);

    static BlinkTime nowTime();
    static constexpr BlinkTime seconds(double s) { return blinkSeconds(s); }

    // For tests: the samples kept, whether the baseline is locked, the frame clock.
    int sampleCount() const { return m_baseline.sampleCount(); }
    bool baselineLocked() const { return m_baseline.isLocked(); }
    std::optional<BlinkTime> lastFrameTime() const { return m_lastFrameTime; }
    EyeState eyeState() const { return m_eyeState; }

signals:
    void startFailureChanged();
    void isActiveChanged();
    void faceDetectedChanged();
    void blinksPerMinuteChanged();
    void sessionBlinkCountChanged();
    void lowBlinkAlertChanged();
    void currentEARChanged();
    void eyeOpenAmountChanged();
    void eyeStateLabelChanged();
    void baselineEARChanged();
    void isCalibratingChanged();
    void isUserAwayChanged();
    void isLookingAtScreenChanged();
    void attentionStateLabelChanged();
    void fiveMinuteBlinkRateChanged();
    void secondsSinceLastBlinkChanged();
    void longestBlinkGapSecondsChanged();
    void attentionSecondsThisSessionChanged();
    void pausedSecondsThisSessionChanged();
    void blinkRateBucketsChanged();
    void averageClosureMillisecondsChanged();
    void partialBlinkCandidateCountChanged();
    void calibrationConfidenceChanged();
    void blinkComfortScoreChanged();
    void userEnabledChanged();

private:
    void userEnabledDidChange();
    void startDetection();
    void stopDetection();
    void captureOpened();
    void turnOffAfterFailure(const QString &reason);

    void registerBlink(BlinkTime t, double ratio, double closure);
    void evaluatePartialBlink(BlinkTime t);
    void closeVisibleInterval(BlinkTime d);
    void logOnce(const QString &message);

    void setIsActive(bool v);
    void setFaceDetected(bool v);
    void setBlinksPerMinute(double v);
    void setSessionBlinkCount(int v);
    void setLowBlinkAlert(bool v);
    void setCurrentEAR(double v);
    void setEyeOpenAmount(double v);
    void setEyeStateLabel(const QString &v);
    void setBaselineEAR(double v);
    void setIsCalibrating(bool v);
    void setIsUserAway(bool v);
    void setIsLookingAtScreen(bool v);
    void setAttentionStateLabel(const QString &v);
    void setFiveMinuteBlinkRate(double v);
    void setSecondsSinceLastBlink(std::optional<double> v);
    void setLongestBlinkGapSeconds(double v);
    void setAttentionSecondsThisSession(double v);
    void setPausedSecondsThisSession(double v);
    void setBlinkRateBuckets(const QList<double> &v);
    void setAverageClosureMilliseconds(double v);
    void setPartialBlinkCandidateCount(int v);
    void setCalibrationConfidence(double v);
    void setBlinkComfortScore(int v);

    Logger m_logger{"BlinkDetector"};

    // Published state.
    bool m_isActive = false;
    bool m_faceDetected = false;
    double m_blinksPerMinute = 0;
    int m_sessionBlinkCount = 0;
    bool m_lowBlinkAlert = false;
    double m_currentEAR = 0;
    double m_eyeOpenAmount = 1.0;
    QString m_eyeStateLabel;
    double m_baselineEAR = 0;
    bool m_isCalibrating = false;
    bool m_isUserAway = false;
    bool m_isLookingAtScreen = true;
    QString m_attentionStateLabel;
    double m_fiveMinuteBlinkRate = 0;
    std::optional<double> m_secondsSinceLastBlink;
    double m_longestBlinkGapSeconds = 0;
    double m_attentionSecondsThisSession = 0;
    double m_pausedSecondsThisSession = 0;
    QList<double> m_blinkRateBuckets;
    double m_averageClosureMilliseconds = 0;
    int m_partialBlinkCandidateCount = 0;
    double m_calibrationConfidence = 0;
    int m_blinkComfortScore = 0;
    bool m_userEnabled = false;
    QString m_startFailure;

    BlinkCapture m_capture;
    TaskHandle m_rateTimer;
    bool m_searchingSlowly = false; // no face in view: frames at the lost-face interval
    QStringList m_loggedOnce; // frame problems already logged in this run

    BlinkRecord m_record;
    EyeBaseline m_baseline;
    std::optional<BlinkTime> m_lowBlinkStartTime;
    std::optional<BlinkTime> m_lastFaceSeenAt;
    std::optional<BlinkTime> m_pendingBlinkCloseStart;
    std::optional<BlinkTime> m_pendingPartialCloseStart;
    std::optional<BlinkTime> m_blinkCloseStart;
    std::optional<BlinkTime> m_lastPartialCandidateTime;
    EyeState m_eyeState = EyeState::open;
    std::optional<BlinkTime> m_lastFrameTime; // none: the distant past
};

} // namespace qv
