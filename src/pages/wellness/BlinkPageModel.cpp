#include "pages/wellness/BlinkPageModel.h"

#include "design/Theme.h"

#include <algorithm>
#include <cmath>

namespace qv {

using blink::Tint;

void HeldBlinkSource::setReadings(const BlinkReadings &readings)
{
    m_readings = readings;
    emit changed();
}

void HeldBlinkSource::setUserEnabled(bool enabled)
{
    m_readings.userEnabled = enabled;
    emit changed();
}

BlinkPageModel::BlinkPageModel(QObject *parent) : BlinkPageModel(nullptr, parent) {}

BlinkPageModel::BlinkPageModel(BlinkSource *source, QObject *parent) : QObject(parent)
{
    if (!source) {
        m_ownSource = makeDetectorBlinkSource();
        source = m_ownSource.get();
    }
    m_source = source;
    m_tour = blinkguide::makeTour();
    m_tiles = {
        std::make_unique<BlinkMetricTileModel>(QStringLiteral("eye"), QStringLiteral("Blink rhythm")),
        std::make_unique<BlinkMetricTileModel>(QStringLiteral("timer"), QStringLiteral("Since last blink")),
        std::make_unique<BlinkMetricTileModel>(QStringLiteral("person.crop.circle.badge.checkmark"),
                                               QStringLiteral("Attention time")),
        std::make_unique<BlinkMetricTileModel>(QStringLiteral("gauge.with.dots.needle.50percent"),
                                               QStringLiteral("Comfort score")),
    };
    connect(m_source, &BlinkSource::changed, this, &BlinkPageModel::refresh);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &BlinkPageModel::refresh);
    refresh();
}

BlinkPageModel::~BlinkPageModel() = default;

QList<QObject *> BlinkPageModel::tiles() const
{
    QList<QObject *> list;
    for (const auto &tile : m_tiles)
        list << tile.get();
    return list;
}

void BlinkPageModel::refresh()
{
    BlinkReadings r = m_source->readings();
    r.blinkComfortScore = std::clamp(r.blinkComfortScore, 0, 100);
    set_recalibrateVisible(r.userEnabled);
    m_panel.update(r);
    m_signal.update(r);
    m_quality.update(r);
    m_cadence.update(r);
    showTiles(r);
}

void BlinkPageModel::showTiles(const BlinkReadings &r)
{
    if (!r.userEnabled) {
        for (const auto &tile : m_tiles)
            tile->show(blink::dash(), blink::noData(), Tint::accent, false);
        return;
    }
    m_tiles[0]->show(blink::rateText(r.fiveMinuteBlinkRate), blink::rhythmNote(r.fiveMinuteBlinkRate),
                     blink::rhythmTint(r.blinksPerMinute, r.faceDetected), true);
    const std::optional<double> since = r.secondsSinceLastBlink;
    m_tiles[1]->show(since ? blink::blinkDurationText(*since) : blink::dash(), blink::sinceLastBlinkNote(since),
                     blink::sinceLastBlinkTint(since), true);
    m_tiles[2]->show(blink::blinkDurationText(r.attentionSecondsThisSession),
                     QStringLiteral("Only counts when you are present"), Tint::brandTeal, true);
    m_tiles[3]->show(blink::comfortScoreText(r.blinkComfortScore),
                     blink::comfortScoreNote(r.blinkComfortScore, r.isCalibrating),
                     blink::comfortScoreTint(r.blinkComfortScore), true);
}

void BlinkPageModel::setGridWidth(qreal width)
{
    if (width == m_gridWidth)
        return;
    m_gridWidth = width;
    emit gridChanged();
}

int BlinkPageModel::adaptiveColumns(double width, double minimum, double spacing)
{
    if (!std::isfinite(width) || width <= minimum)
        return 1;
    return std::max(1, int(std::floor((width + spacing) / (minimum + spacing))));
}

int BlinkPageModel::gridColumns() const
{
    return adaptiveColumns(m_gridWidth);
}

qreal BlinkPageModel::tileWidth() const
{
    const int columns = gridColumns();
    return std::max<qreal>((m_gridWidth - 12 * (columns - 1)) / columns, 0);
}

void BlinkPageModel::setUserEnabled(bool enabled)
{
    m_source->setUserEnabled(enabled);
}

void BlinkPageModel::recalibrate()
{
    m_source->recalibrate();
}

} // namespace qv
