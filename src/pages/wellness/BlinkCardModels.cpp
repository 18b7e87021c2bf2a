#include "pages/wellness/BlinkCardModels.h"

#include "design/Theme.h"
#include "platform/MachineWords.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QVariantMap>

#include <cmath>

namespace qv {

using blink::Tint;

QColor blinkTintColor(Tint tint)
{
    const Theme &theme = Theme::shared();
    switch (tint) {
    case Tint::accent: return theme.accent();
    case Tint::copper: return theme.copper();
    case Tint::sage: return theme.sage();
    case Tint::brandTeal: return Theme::brandTeal();
    case Tint::textTertiary: return theme.textTertiary();
    case Tint::trackInactive: return Theme::withOpacity(theme.track(), 0.42);
    case Tint::trackEmpty: return Theme::withOpacity(theme.track(), 0.45);
    }
    return theme.accent();
}

QFont blinkMonospacedFont(int size, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
}

QFont BlinkStyle::tileValueFont()
{
    return Theme::systemFont(26, QFont::DemiBold);
}

int BlinkStyle::tileValueMinimumSize()
{
    return int(std::floor(26 * 0.7));
}

// ---- metric tile ----

BlinkMetricTileModel::BlinkMetricTileModel(const QString &icon, const QString &title, QObject *parent)
    : QObject(parent)
{
    m_icon = icon;
    m_title = title;
}

void BlinkMetricTileModel::show(const QString &value, const QString &note, Tint tint, bool isActive)
{
    const Theme &theme = Theme::shared();
    const QColor colour = blinkTintColor(tint);
    set_value(value);
    set_note(note);
    set_tint(colour);
    set_isActive(isActive);
    set_badgeFill(isActive ? Theme::withOpacity(colour, 0.14) : Theme::withOpacity(theme.textTertiary(), 0.09));
    set_symbolColor(isActive ? colour : theme.textTertiary());
    set_valueColor(isActive ? theme.textPrimary() : theme.textTertiary());
}

// ---- panel ----

QVariantList BlinkPanelModel::statistics()
{
    const auto statistic = [](const QString &label, const char *value, const char *caption) {
        return QVariantMap{{QStringLiteral("label"), label},
                           {QStringLiteral("value"), QString::fromLatin1(value)},
                           {QStringLiteral("caption"), QString::fromLatin1(caption)}};
    };
    return {statistic(QStringLiteral("Live rate"), "rateValue", "rateCaption"),
            statistic(QStringLiteral("Session blinks"), "blinksValue", "blinksCaption"),
            statistic(QStringLiteral("Presence"), "presenceValue", "presenceCaption"),
            statistic(QStringLiteral("Signal confidence"), "confidenceValue", "confidenceCaption")};
}

void BlinkPanelModel::update(const BlinkReadings &r)
{
    const bool on = r.userEnabled;
    set_isOn(on);
    set_statusText(on ? QStringLiteral("Blink rate and presence are live")
                      : QStringLiteral("Optional camera-based blink tracking"));
    set_calibrationNoticeVisible(on && r.isCalibrating);
    set_failureNote(on ? QString() : r.startFailure);
    const QString machine = machineWords().machine();
    set_footerText(on ? QStringLiteral("All processing stays on this %1. Blink-rate math pauses when you step "
                                       "away or look away from the screen.")
                            .arg(machine)
                      : QStringLiteral("Opt-in, on-device camera tracking for blink rate and away detection."));
    if (!on) {
        set_rateValue(blink::dash());
        set_rateCaption(blink::noData());
        set_blinksValue(blink::dash());
        set_blinksCaption(blink::noData());
        set_presenceValue(QStringLiteral("Off"));
        set_presenceCaption(QStringLiteral("Enable to begin tracking"));
        set_confidenceValue(blink::dash());
        set_confidenceCaption(blink::noData());
        return;
    }
    const blink::Presence presence{r.isUserAway, r.isLookingAtScreen, r.faceDetected, r.isCalibrating};
    set_rateValue(blink::rateText(r.blinksPerMinute));
    set_rateCaption(blink::rateCaption(r.blinksPerMinute, presence));
    set_blinksValue(blink::countText(r.sessionBlinkCount));
    set_blinksCaption(QStringLiteral("Since detection started"));
    set_presenceValue(blink::presenceValue(presence));
    set_presenceCaption(blink::presenceCaption(presence, r.attentionStateLabel));
    set_confidenceValue(blink::confidenceText(r.calibrationConfidence));
    set_confidenceCaption(r.isCalibrating ? QStringLiteral("Learning baseline") : QStringLiteral("Adaptive baseline"));
}

// ---- signal ----

void BlinkSignalModel::update(const BlinkReadings &r)
{
    m_readings = r;
    const Theme &theme = Theme::shared();
    const bool closed = r.userEnabled && r.eyeStateLabel == QLatin1String("Closed");
    set_ratioText(blink::earText(r.userEnabled, r.currentEAR));
    set_tint(blinkTintColor(blink::signalTint(r.userEnabled, r.isUserAway, r.isLookingAtScreen, closed)));
    set_badgeText(r.userEnabled ? r.eyeStateLabel : QStringLiteral("Off"));
    set_badgeTextColor(closed ? QColor(Qt::white) : theme.textTertiary());
    set_badgeFill(closed ? theme.copper() : theme.accentSoft());
    set_baselineText(blink::baselineText(r.userEnabled, r.baselineEAR));
    set_statusText(blink::signalStatusText(r.userEnabled, r.isUserAway, r.isLookingAtScreen));
    layOutMeter();
}

void BlinkSignalModel::setMeterWidth(qreal width)
{
    if (width == m_meterWidth)
        return;
    m_meterWidth = width;
    emit meterWidthChanged();
    layOutMeter();
}

void BlinkSignalModel::layOutMeter()
{
    set_levelWidth(blink::meterLevelWidth(m_meterWidth, m_readings.userEnabled, m_readings.eyeOpenAmount));
    set_markVisible(blink::triggerMarkVisible(m_readings.baselineEAR));
    set_markX(blink::triggerMarkX(m_meterWidth));
}

// ---- quality ----

QVariantList BlinkQualityModel::rows()
{
    const auto row = [](const QString &label, const char *value) {
        return QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("value"), QString::fromLatin1(value)}};
    };
    return {row(QStringLiteral("Full blinks"), "fullBlinks"), row(QStringLiteral("Avg closure"), "averageClosure"),
            row(QStringLiteral("Partial candidates"), "partialCandidates"),
            row(QStringLiteral("Paused time"), "pausedTime")};
}

void BlinkQualityModel::update(const BlinkReadings &r)
{
    if (!r.userEnabled) {
        set_fullBlinks(blink::dash());
        set_averageClosure(blink::dash());
        set_partialCandidates(blink::dash());
        set_pausedTime(blink::dash());
        set_note(QStringLiteral("No data available until blink detection is enabled."));
        return;
    }
    set_fullBlinks(blink::countText(r.sessionBlinkCount));
    set_averageClosure(blink::closureText(r.averageClosureMilliseconds));
    set_partialCandidates(blink::countText(r.partialBlinkCandidateCount));
    set_pausedTime(blink::qualityDurationText(r.pausedSecondsThisSession));
    set_note(QStringLiteral("Partial candidates are gentle hints, not a diagnosis. They help explain why your blink "
                            "rhythm may feel dry even when the raw count looks okay."));
}

// ---- cadence ----

BlinkCadenceModel::BlinkCadenceModel(QObject *parent) : QObject(parent)
{
    update(BlinkReadings());
}

void BlinkCadenceModel::update(const BlinkReadings &r)
{
    set_isActive(r.userEnabled);
    set_subtitle(r.userEnabled ? QStringLiteral("Ten 30-second buckets from the last five active minutes.")
                               : QStringLiteral("No data available until blink detection is enabled."));
    m_buckets = r.userEnabled ? blink::normalisedBuckets(r.blinkRateBuckets) : QList<double>(blink::kCadenceBuckets, 0.0);
    QVariantList values;
    for (double value : m_buckets)
        values << value;
    set_values(values);
    layOutBars();
}

void BlinkCadenceModel::setChartHeight(qreal height)
{
    if (height == m_chartHeight)
        return;
    m_chartHeight = height;
    emit chartHeightChanged();
    layOutBars();
}

QFont BlinkCadenceModel::labelFont()
{
    return blinkMonospacedFont(9, QFont::Normal);
}

qreal BlinkCadenceModel::labelHeight()
{
    return std::ceil(QFontMetricsF(labelFont()).height());
}

QStringList BlinkCadenceModel::labels()
{
    QStringList labels;
    for (int i = 1; i <= blink::kCadenceBuckets; ++i)
        labels << QString::number(i);
    return labels;
}

qreal BlinkCadenceModel::barArea() const
{
    return std::max<qreal>(m_chartHeight - labelHeight() - labelSpacing(), 0);
}

void BlinkCadenceModel::layOutBars()
{
    const double scale = blink::cadenceScale(m_buckets);
    const qreal area = barArea();
    QVariantList heights;
    QVariantList colours;
    for (double value : m_buckets) {
        heights << blink::cadenceBarHeight(value, scale, area);
        colours << blinkTintColor(blink::cadenceTint(m_isActive, value));
    }
    set_barHeights(heights);
    set_barColors(colours);
}

} // namespace qv
