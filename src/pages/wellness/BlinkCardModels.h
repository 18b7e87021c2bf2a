#pragma once

#include "design/ViewValue.h"
#include "pages/wellness/BlinkFormat.h"
#include "pages/wellness/BlinkReadings.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace qv {

// The colour of a tint in the current appearance.
QColor blinkTintColor(blink::Tint tint);
// The system's monospaced face at a size in points (used as pixels).
QFont blinkMonospacedFont(int size, QFont::Weight weight);

// The page's own type: the monospaced figures of the signal and quality cards, and the
// metric tiles' value (26 points, shrinking to 0.7 of that before it is cut).
class BlinkStyle : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QFont figureFont READ figureFont CONSTANT)
    Q_PROPERTY(QFont tileValueFont READ tileValueFont CONSTANT)
    Q_PROPERTY(int tileValueMinimumSize READ tileValueMinimumSize CONSTANT)
public:
    using QObject::QObject;
    static QFont figureFont() { return blinkMonospacedFont(13, QFont::DemiBold); }
    static QFont tileValueFont();
    static int tileValueMinimumSize();
};

// One of the page's four metric tiles: the texts and tint the page decides, and the
// colours the tile draws with (greyed while inactive, whatever the tint).
class BlinkMetricTileModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The page model makes it")
    QV_VIEW_VALUE(QString, icon)
    QV_VIEW_VALUE(QString, title)
    QV_VIEW_VALUE(QString, value)
    QV_VIEW_VALUE(QString, note)
    QV_VIEW_VALUE(QColor, tint)
    QV_VIEW_VALUE(bool, isActive)
    QV_VIEW_VALUE(QColor, badgeFill)
    QV_VIEW_VALUE(QColor, symbolColor)
    QV_VIEW_VALUE(QColor, valueColor)
public:
    explicit BlinkMetricTileModel(const QString &icon, const QString &title, QObject *parent = nullptr);
    void show(const QString &value, const QString &note, blink::Tint tint, bool isActive);
};

// The enable and live-statistics panel.
class BlinkPanelModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The page model makes it")
    QV_VIEW_VALUE(bool, isOn)
    QV_VIEW_VALUE(QString, statusText)
    QV_VIEW_VALUE(bool, calibrationNoticeVisible)
    // Beside the switch while it is off because detection could not start.
    QV_VIEW_VALUE(QString, failureNote)
    QV_VIEW_VALUE(QString, footerText)
    QV_VIEW_VALUE(QString, rateValue)
    QV_VIEW_VALUE(QString, rateCaption)
    QV_VIEW_VALUE(QString, blinksValue)
    QV_VIEW_VALUE(QString, blinksCaption)
    QV_VIEW_VALUE(QString, presenceValue)
    QV_VIEW_VALUE(QString, presenceCaption)
    QV_VIEW_VALUE(QString, confidenceValue)
    QV_VIEW_VALUE(QString, confidenceCaption)
    Q_PROPERTY(QVariantList statistics READ statistics CONSTANT)
    QV_VIEW_TEXT(title, "Blink detection")
    QV_VIEW_TEXT(calibrationNotice,
                 "Calibrating — look at your screen normally for 8 seconds while we learn your eye shape.")
public:
    using QObject::QObject;
    void update(const BlinkReadings &readings);
    // The four live statistics in order: label, and the names of the value and caption
    // properties.
    static QVariantList statistics();
};

// The live-signal card: ratio, eye-state badge, openness meter and legend. The view
// writes the meter's width; the level bar and the trigger mark follow it.
class BlinkSignalModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The page model makes it")
    Q_PROPERTY(qreal meterWidth READ meterWidth WRITE setMeterWidth NOTIFY meterWidthChanged)
    QV_VIEW_VALUE(QString, ratioText)
    QV_VIEW_VALUE(QColor, tint)
    QV_VIEW_VALUE(QString, badgeText)
    QV_VIEW_VALUE(QColor, badgeTextColor)
    QV_VIEW_VALUE(QColor, badgeFill)
    QV_VIEW_VALUE(qreal, levelWidth)
    QV_VIEW_VALUE(bool, markVisible)
    QV_VIEW_VALUE(qreal, markX)
    QV_VIEW_VALUE(QString, baselineText)
    QV_VIEW_VALUE(QString, statusText)
    QV_VIEW_TEXT(title, "Live eye signal")
    QV_VIEW_TEXT(closedLabel, "Closed")
    QV_VIEW_TEXT(triggerLabel, "Blink trigger")
public:
    using QObject::QObject;
    void update(const BlinkReadings &readings);
    qreal meterWidth() const { return m_meterWidth; }
    void setMeterWidth(qreal width);
signals:
    void meterWidthChanged();

private:
    void layOutMeter();
    qreal m_meterWidth = 0;
    BlinkReadings m_readings;
};

// The blink-quality card's four figures and note.
class BlinkQualityModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The page model makes it")
    QV_VIEW_VALUE(QString, fullBlinks)
    QV_VIEW_VALUE(QString, averageClosure)
    QV_VIEW_VALUE(QString, partialCandidates)
    QV_VIEW_VALUE(QString, pausedTime)
    QV_VIEW_VALUE(QString, note)
    Q_PROPERTY(QVariantList rows READ rows CONSTANT)
    QV_VIEW_TEXT(title, "Blink quality")
public:
    using QObject::QObject;
    void update(const BlinkReadings &readings);
    // The four figures in order: label, and the name of the value property.
    static QVariantList rows();
};

// The recent-cadence card: ten buckets (ten zeros while detection is off), their bar
// heights and colours. The bars share the chart's height with the position labels under
// them: the view writes the chart's height, and the bars get what the labels leave.
class BlinkCadenceModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The page model makes it")
    Q_PROPERTY(qreal chartHeight READ chartHeight WRITE setChartHeight NOTIFY chartHeightChanged)
    Q_PROPERTY(QFont labelFont READ labelFont CONSTANT)
    Q_PROPERTY(qreal labelHeight READ labelHeight CONSTANT)
    Q_PROPERTY(qreal labelSpacing READ labelSpacing CONSTANT)
    Q_PROPERTY(QStringList labels READ labels CONSTANT)
    QV_VIEW_VALUE(bool, isActive)
    QV_VIEW_VALUE(QString, subtitle)
    QV_VIEW_VALUE(QVariantList, values)
    QV_VIEW_VALUE(QVariantList, barHeights)
    QV_VIEW_VALUE(QVariantList, barColors)
    QV_VIEW_TEXT(title, "Recent cadence")
    QV_VIEW_TEXT(targetText, "Target 12–24 / min")
public:
    explicit BlinkCadenceModel(QObject *parent = nullptr);
    void update(const BlinkReadings &readings);

    qreal chartHeight() const { return m_chartHeight; }
    void setChartHeight(qreal height);
    static QFont labelFont();
    static qreal labelHeight();
    static qreal labelSpacing() { return 4; }
    static QStringList labels();
    // The height the bars may take: the chart less the label row and its spacing.
    qreal barArea() const;

signals:
    void chartHeightChanged();

private:
    void layOutBars();
    qreal m_chartHeight = 92;
    QList<double> m_buckets;
};

} // namespace qv
