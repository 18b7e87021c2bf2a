#include "pages/wellness/BreakGuide.h"

#include "design/Theme.h"

namespace qv {

namespace breakguide {

QString rawValue(BreakGuideStep step)
{
    switch (step) {
    case BreakGuideStep::timer:
        return QStringLiteral("timer");
    case BreakGuideStep::controls:
        return QStringLiteral("controls");
    case BreakGuideStep::progress:
        break;
    }
    return QStringLiteral("progress");
}

std::optional<BreakGuideStep> stepFromRawValue(const QString &raw)
{
    for (BreakGuideStep step : {BreakGuideStep::timer, BreakGuideStep::controls, BreakGuideStep::progress})
        if (rawValue(step) == raw)
            return step;
    return std::nullopt;
}

int position(BreakGuideStep step)
{
    return int(step);
}

std::optional<BreakGuideStep> previous(BreakGuideStep step)
{
    if (step == BreakGuideStep::timer)
        return std::nullopt;
    return BreakGuideStep(int(step) - 1);
}

std::optional<BreakGuideStep> next(BreakGuideStep step)
{
    if (step == BreakGuideStep::progress)
        return std::nullopt;
    return BreakGuideStep(int(step) + 1);
}

Content content(BreakGuideStep step)
{
    switch (step) {
    case BreakGuideStep::timer:
        return {QStringLiteral("timer"), QStringLiteral("Follow the break timer"),
                QStringLiteral("This card shows your next break, current break, or paused state.")};
    case BreakGuideStep::controls:
        return {QStringLiteral("slider.horizontal.3"), QStringLiteral("Tune your reminder rhythm"),
                QStringLiteral("Use these controls to snooze, pause, reset, choose work intervals, set break duration, "
                               "and decide how reminders should appear.")};
    case BreakGuideStep::progress:
        break;
    }
    return {QStringLiteral("chart.bar"), QStringLiteral("Track today's progress"),
            QStringLiteral("These tiles summarize completed breaks, eye-care score, streak, and weekly rhythm so the "
                           "feature feels measurable without becoming noisy.")};
}

QString positionText(BreakGuideStep step)
{
    return QStringLiteral("Step %1 of %2").arg(position(step) + 1).arg(kStepCount);
}

QString primaryTitle(BreakGuideStep step)
{
    return next(step) ? QStringLiteral("Next") : QStringLiteral("Finish");
}

} // namespace breakguide

BreakGuide::BreakGuide(QObject *parent)
    : QObject(parent), m_completed(QString::fromLatin1(kCompletedKey), false)
{
    connect(&m_completed, &StoredSetting::valueChanged, this, &BreakGuide::changed);
}

bool BreakGuide::completed() const
{
    return m_completed.value().toBool();
}

QString BreakGuide::symbol() const
{
    return m_step ? breakguide::content(*m_step).symbol : QString();
}

QString BreakGuide::title() const
{
    return m_step ? breakguide::content(*m_step).title : QString();
}

QString BreakGuide::explanation() const
{
    return m_step ? breakguide::content(*m_step).explanation : QString();
}

QString BreakGuide::positionText() const
{
    return m_step ? breakguide::positionText(*m_step) : QString();
}

QString BreakGuide::primaryTitle() const
{
    return m_step ? breakguide::primaryTitle(*m_step) : QString();
}

QStringList BreakGuide::steps()
{
    return {breakguide::rawValue(BreakGuideStep::timer), breakguide::rawValue(BreakGuideStep::controls),
            breakguide::rawValue(BreakGuideStep::progress)};
}

void BreakGuide::open()
{
    setStep(m_step ? m_step : BreakGuideStep::timer);
}

void BreakGuide::select(const QString &step)
{
    if (const auto s = breakguide::stepFromRawValue(step))
        select(*s);
}

void BreakGuide::select(BreakGuideStep step)
{
    setStep(step);
}

void BreakGuide::previous()
{
    if (!m_step)
        return;
    if (const auto p = breakguide::previous(*m_step))
        setStep(p);
}

void BreakGuide::next()
{
    const auto n = m_step ? breakguide::next(*m_step) : std::nullopt;
    if (n)
        setStep(n);
    else
        finish();
}

void BreakGuide::finish()
{
    // One change: the flag and the closed tour are announced together.
    QSignalBlocker block(this);
    m_completed.setValue(true);
    m_step.reset();
    block.unblock();
    emit changed();
}

QVariantMap BreakGuide::highlight(const QString &step, const QString &currentStep, bool dark)
{
    const bool current = !currentStep.isEmpty() && step == currentStep;
    auto token = [dark](ColorToken t) { return Theme::adaptive(t).resolve(dark); };
    const QColor clear = Qt::transparent;
    return {{QStringLiteral("current"), current},
            {QStringLiteral("padding"), current ? 3 : 0},
            {QStringLiteral("fill"), current ? Theme::withOpacity(token(ColorToken::accentSoft), 0.18) : clear},
            {QStringLiteral("stroke"), current ? Theme::withOpacity(token(ColorToken::accent), 0.95) : clear},
            {QStringLiteral("z"), current ? 20 : 0}};
}

void BreakGuide::setStep(std::optional<BreakGuideStep> step)
{
    if (step == m_step)
        return;
    m_step = step;
    emit changed();
}

} // namespace qv
