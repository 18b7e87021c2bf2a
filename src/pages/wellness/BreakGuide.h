#pragma once

#include "runtime/StoredSetting.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace qv {

// The steps of the break page's tour, in tour order.
enum class BreakGuideStep { timer, controls, progress };

namespace breakguide {
inline constexpr int kStepCount = 3;
QString rawValue(BreakGuideStep step);
// The step of exactly this raw value, else none.
std::optional<BreakGuideStep> stepFromRawValue(const QString &raw);
int position(BreakGuideStep step);
std::optional<BreakGuideStep> previous(BreakGuideStep step);
std::optional<BreakGuideStep> next(BreakGuideStep step);

struct Content {
    QString symbol;
    QString title;
    QString explanation;
};
Content content(BreakGuideStep step);
// "Step 2 of 3".
QString positionText(BreakGuideStep step);
// "Next", or "Finish" on the last step.
QString primaryTitle(BreakGuideStep step);
} // namespace breakguide

// The tour of the break page: the current step (none while closed, never stored) and the
// stored completion flag "breakRemindersGuideCompleted". Finishing sets the flag and closes
// the tour in one change; the flag never hides the tour, it only marks the titles.
class BreakGuide : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by the break page's model")
    // The current step's raw value; empty while the tour is closed.
    Q_PROPERTY(QString step READ stepRawValue NOTIFY changed)
    Q_PROPERTY(bool completed READ completed NOTIFY changed)
    Q_PROPERTY(QString symbol READ symbol NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(QString positionText READ positionText NOTIFY changed)
    Q_PROPERTY(QString primaryTitle READ primaryTitle NOTIFY changed)
    Q_PROPERTY(bool backEnabled READ backEnabled NOTIFY changed)
    Q_PROPERTY(QStringList steps READ steps CONSTANT)
public:
    static constexpr const char *kCompletedKey = "breakRemindersGuideCompleted";

    explicit BreakGuide(QObject *parent = nullptr);

    std::optional<BreakGuideStep> current() const { return m_step; }
    QString stepRawValue() const { return m_step ? breakguide::rawValue(*m_step) : QString(); }
    bool completed() const;
    QString symbol() const;
    QString title() const;
    QString explanation() const;
    QString positionText() const;
    QString primaryTitle() const;
    bool backEnabled() const { return m_step && breakguide::previous(*m_step).has_value(); }
    static QStringList steps();

    // The guide button: the current step stays, else the tour opens on the timer.
    Q_INVOKABLE void open();
    // A step dot; an unknown raw value changes nothing.
    Q_INVOKABLE void select(const QString &step);
    void select(BreakGuideStep step);
    Q_INVOKABLE void previous();
    // Next, and Finish on the last step (or with no current step).
    Q_INVOKABLE void next();
    // The close button, and Next on the last step.
    Q_INVOKABLE void finish();

    // How a part carrying `step` looks while `currentStep` (a raw value, empty for none) is
    // current: {current, padding, fill, stroke, z}.
    Q_INVOKABLE static QVariantMap highlight(const QString &step, const QString &currentStep, bool dark);

signals:
    void changed();

private:
    void setStep(std::optional<BreakGuideStep> step);

    std::optional<BreakGuideStep> m_step;
    StoredSetting m_completed;
};

} // namespace qv
