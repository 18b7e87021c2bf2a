#include "pages/wellness/BlinkPageModel.h"

#include "runtime/Scheduler.h"
#include "wellness/BlinkDetector.h"

#include <QMetaProperty>

#include <algorithm>
#include <optional>

namespace qv {

namespace {

// The shared detector as the page's source. An analysed frame changes a dozen published
// values one after another; the page reads them together, once per frame of the display:
// the first change of a frame schedules one changed() for the next turn of the main loop,
// at least a display frame after the one before, and later changes ride along with it.
class DetectorBlinkSource : public BlinkSource {
    Q_OBJECT
public:
    explicit DetectorBlinkSource(BlinkDetector &detector) : m_detector(detector)
    {
        const QMetaObject *published = detector.metaObject();
        const int changeSlot = metaObject()->indexOfSlot("detectorChanged()");
        for (int i = published->propertyOffset(); i < published->propertyCount(); ++i) {
            const QMetaProperty property = published->property(i);
            if (property.hasNotifySignal())
                QMetaObject::connect(&detector, property.notifySignalIndex(), this, changeSlot);
        }
    }

    BlinkReadings readings() const override
    {
        const BlinkDetector &d = m_detector;
        BlinkReadings r;
        r.userEnabled = d.userEnabled();
        r.isCalibrating = d.isCalibrating();
        r.faceDetected = d.faceDetected();
        r.isUserAway = d.isUserAway();
        r.isLookingAtScreen = d.isLookingAtScreen();
        r.attentionStateLabel = d.attentionStateLabel();
        r.eyeStateLabel = d.eyeStateLabel();
        r.blinksPerMinute = d.blinksPerMinute();
        r.fiveMinuteBlinkRate = d.fiveMinuteBlinkRate();
        r.sessionBlinkCount = d.sessionBlinkCount();
        r.secondsSinceLastBlink = d.secondsSinceLastBlink();
        r.attentionSecondsThisSession = d.attentionSecondsThisSession();
        r.pausedSecondsThisSession = d.pausedSecondsThisSession();
        r.blinkRateBuckets = d.blinkRateBuckets();
        r.averageClosureMilliseconds = d.averageClosureMilliseconds();
        r.partialBlinkCandidateCount = d.partialBlinkCandidateCount();
        r.calibrationConfidence = d.calibrationConfidence();
        r.blinkComfortScore = d.blinkComfortScore();
        r.currentEAR = d.currentEAR();
        r.baselineEAR = d.baselineEAR();
        r.eyeOpenAmount = d.eyeOpenAmount();
        r.startFailure = d.startFailure();
        return r;
    }

    void setUserEnabled(bool enabled) override { m_detector.setUserEnabled(enabled); }
    void recalibrate() override { m_detector.recalibrate(); }

private slots:
    void detectorChanged()
    {
        if (m_pending)
            return;
        const qint64 now = scheduler().monotonicMs();
        const qint64 wait = m_lastEmitMs ? std::max<qint64>(0, *m_lastEmitMs + kDisplayFrameMs - now) : 0;
        m_pending = true;
        scheduler().after(wait, this, [this] {
            m_pending = false;
            m_lastEmitMs = scheduler().monotonicMs();
            emit changed();
        });
    }

private:
    // A frame of a 60 Hz display.
    static constexpr qint64 kDisplayFrameMs = 16;

    BlinkDetector &m_detector;
    bool m_pending = false;
    std::optional<qint64> m_lastEmitMs;
};

} // namespace

std::unique_ptr<BlinkSource> makeDetectorBlinkSource()
{
    return std::make_unique<DetectorBlinkSource>(BlinkDetector::shared());
}

} // namespace qv

#include "BlinkDetectorSource.moc"
