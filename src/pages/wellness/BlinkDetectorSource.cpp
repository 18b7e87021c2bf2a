#include "pages/wellness/BlinkPageModel.h"

#include "wellness/BlinkDetector.h"

#include <QMetaProperty>

namespace qv {

namespace {

// The shared detector as the page's source: any of its published values changing is a
// change of the readings.
class DetectorBlinkSource : public BlinkSource {
public:
    explicit DetectorBlinkSource(BlinkDetector &detector) : m_detector(detector)
    {
        const QMetaObject *published = detector.metaObject();
        const int changedSignal = metaObject()->indexOfSignal("changed()");
        for (int i = published->propertyOffset(); i < published->propertyCount(); ++i) {
            const QMetaProperty property = published->property(i);
            if (property.hasNotifySignal())
                QMetaObject::connect(&detector, property.notifySignalIndex(), this, changedSignal);
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
        return r;
    }

    void setUserEnabled(bool enabled) override { m_detector.setUserEnabled(enabled); }
    void recalibrate() override { m_detector.recalibrate(); }

private:
    BlinkDetector &m_detector;
};

} // namespace

std::unique_ptr<BlinkSource> makeDetectorBlinkSource()
{
    return std::make_unique<DetectorBlinkSource>(BlinkDetector::shared());
}

} // namespace qv
