#pragma once

#include "pages/wellness/BlinkCardModels.h"
#include "pages/wellness/BlinkGuide.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace qv {

// Where the page's readings come from, and the two things the page asks of the detector.
class BlinkSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual BlinkReadings readings() const = 0;
    virtual void setUserEnabled(bool enabled) = 0;
    virtual void recalibrate() = 0;
signals:
    // One or more readings changed.
    void changed();
};

// A source that holds its readings (tests, and a page without a detector).
class HeldBlinkSource : public BlinkSource {
    Q_OBJECT
public:
    using BlinkSource::BlinkSource;
    BlinkReadings readings() const override { return m_readings; }
    void setReadings(const BlinkReadings &readings);
    void setUserEnabled(bool enabled) override;
    void recalibrate() override { ++recalibrations; }
    int recalibrations = 0;

private:
    BlinkReadings m_readings;
};

// The Blink Detection page's view-model: it follows the detector and hands each section
// its own model, whose properties signal only when what they show changed. It also lays
// out the adaptive tile grid (columns of at least 170 with 12 between them).
class BlinkPageModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qv::BlinkPanelModel *panel READ panel CONSTANT)
    Q_PROPERTY(qv::BlinkSignalModel *signalCard READ signalCard CONSTANT)
    Q_PROPERTY(qv::BlinkQualityModel *quality READ quality CONSTANT)
    Q_PROPERTY(qv::BlinkCadenceModel *cadence READ cadence CONSTANT)
    Q_PROPERTY(qv::GuidedTour *tour READ tour CONSTANT)
    Q_PROPERTY(QString guideAccessibleName READ guideAccessibleName CONSTANT)
    Q_PROPERTY(QString guideToolTip READ guideToolTip CONSTANT)
    Q_PROPERTY(QList<QObject *> tiles READ tiles CONSTANT)
    Q_PROPERTY(qreal gridWidth READ gridWidth WRITE setGridWidth NOTIFY gridChanged)
    Q_PROPERTY(int gridColumns READ gridColumns NOTIFY gridChanged)
    Q_PROPERTY(qreal tileWidth READ tileWidth NOTIFY gridChanged)
    QV_VIEW_VALUE(bool, recalibrateVisible)
    QV_VIEW_TEXT(pageTitle, "Blink Detection")
    QV_VIEW_TEXT(pageSubtitle, "Optional on-device blink and presence tracking for healthier screen sessions.")
    QV_VIEW_TEXT(recalibrateLabel, "Recalibrate")
public:
    // Follows the given source, or the shared detector when none is given.
    explicit BlinkPageModel(QObject *parent = nullptr);
    explicit BlinkPageModel(BlinkSource *source, QObject *parent = nullptr);
    ~BlinkPageModel() override;

    BlinkPanelModel *panel() { return &m_panel; }
    BlinkSignalModel *signalCard() { return &m_signal; }
    BlinkQualityModel *quality() { return &m_quality; }
    BlinkCadenceModel *cadence() { return &m_cadence; }
    GuidedTour *tour() { return m_tour.get(); }
    static QString guideAccessibleName() { return QStringLiteral("Open Blink Detection guide"); }
    static QString guideToolTip() { return QStringLiteral("Guide"); }
    QList<QObject *> tiles() const;
    BlinkMetricTileModel &tile(int index) { return *m_tiles[index]; }

    qreal gridWidth() const { return m_gridWidth; }
    void setGridWidth(qreal width);
    int gridColumns() const;
    qreal tileWidth() const;
    static int adaptiveColumns(double width, double minimum = 170, double spacing = 12);

    // The panel's switch.
    Q_INVOKABLE void setUserEnabled(bool enabled);
    Q_INVOKABLE void recalibrate();
    // Where the page scrolls to bring a section at sectionY to the top.
    Q_INVOKABLE static double scrollTarget(double sectionY, double contentHeight, double viewportHeight)
    {
        return blinkguide::scrollTarget(sectionY, contentHeight, viewportHeight);
    }

    // Reads the source again and updates every section.
    void refresh();

signals:
    void gridChanged();

private:
    void showTiles(const BlinkReadings &readings);

    std::unique_ptr<BlinkSource> m_ownSource;
    BlinkSource *m_source = nullptr;
    BlinkPanelModel m_panel;
    BlinkSignalModel m_signal;
    BlinkQualityModel m_quality;
    BlinkCadenceModel m_cadence;
    std::unique_ptr<GuidedTour> m_tour;
    std::array<std::unique_ptr<BlinkMetricTileModel>, 4> m_tiles;
    qreal m_gridWidth = 0;
};

// The source the page uses by default: the shared detector.
std::unique_ptr<BlinkSource> makeDetectorBlinkSource();

} // namespace qv
