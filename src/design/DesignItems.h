#pragma once

#include "design/Brand.h"
#include "design/Surface.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace qv {

class FrameTicker;

// An item drawn by our own painting code into images, uploaded as textures. Images are
// painted on the GUI thread (polish) and only when something they show changed; each
// layer may reach beyond the item (shadows, halos).
class PaintedLayersItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(int paintCount READ paintCount NOTIFY painted)
public:
    explicit PaintedLayersItem(QQuickItem *parent = nullptr);
    ~PaintedLayersItem() override;

    // How many times the layers were painted, and asked to be (tests, benchmarks).
    int paintCount() const { return m_paintCount; }
    int repaintRequestCount() const { return m_requests; }

signals:
    void painted();

protected:
    struct Layer {
        QImage image;  // with its device pixel ratio set
        QRectF rect;   // in item coordinates
        bool smooth = false;
        // The same picture as the layer at this index last time: its texture stays and,
        // in the same place, the window does not draw that area again.
        bool unchanged = false;
    };
    // Paints the layers for the current state.
    virtual QList<Layer> paintLayers(qreal devicePixelRatio) = 0;
    // A picture cut into layers at the given tiles (device pixels); a tile whose pixels are
    // those it had last time keeps its texture. `last` holds the tiles as cut last time, in
    // the same order (empty when the tiles are new).
    static QList<Layer> tileLayers(const QImage &image, qreal devicePixelRatio, const QList<QRect> &tiles,
                                   QList<QImage> &last);
    // Asks for the layers to be painted again.
    void repaint();
    qreal devicePixelRatio() const;

    void updatePolish() override;
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    class RootNode;
    void applyLayers(QSGNode *root);
    bool canApplyInPolish() const;

    QList<Layer> m_layers;
    bool m_layersChanged = false;
    // The node the layers hang under, while the scene graph keeps it, and whether the scene
    // graph takes its nodes on this thread, right after the polish (the software renderer's
    // single-threaded loop).
    RootNode *m_root = nullptr;
    bool m_syncsOnThisThread = false;
    int m_paintCount = 0;
    int m_requests = 0;
};

// A surface of the shared look (glass panel, sidebar, row, card, button, knob) with its
// shadow; its colours follow the appearance.
class SurfaceItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(Surface)
    Q_PROPERTY(Kind kind READ kind WRITE setKind NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(bool hovering READ hovering WRITE setHovering NOTIFY changed)
    Q_PROPERTY(bool selected READ selected WRITE setSelected NOTIFY changed)
    Q_PROPERTY(bool pressed READ pressed WRITE setPressed NOTIFY changed)
    // The label drawn over the surface, centred and inset by labelInset on the left and
    // right, when the surface's shadow is that of the whole button, label included.
    Q_PROPERTY(QString label READ label WRITE setLabel NOTIFY changed)
    Q_PROPERTY(QFont labelFont READ labelFont WRITE setLabelFont NOTIFY changed)
    Q_PROPERTY(qreal labelInset READ labelInset WRITE setLabelInset NOTIFY changed)
public:
    enum Kind { GlassPanel, Sidebar, SidebarRow, StatusCard, PrimaryButton, Knob, BreakButton, PageCard, TintedPageCard };
    Q_ENUM(Kind)

    explicit SurfaceItem(QQuickItem *parent = nullptr);

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);
    bool hovering() const { return m_state.hovering; }
    void setHovering(bool on);
    bool selected() const { return m_state.selected; }
    void setSelected(bool on);
    bool pressed() const { return m_state.pressed; }
    void setPressed(bool on);
    QString label() const { return m_label; }
    void setLabel(const QString &label);
    QFont labelFont() const { return m_labelFont; }
    void setLabelFont(const QFont &font);
    qreal labelInset() const { return m_labelInset; }
    void setLabelInset(qreal inset);

    SurfaceStyle style() const;

signals:
    void changed();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    template <typename T>
    void change(T &field, const T &value);
    Kind m_kind = GlassPanel;
    qreal m_radius = 12;
    SurfaceState m_state;
    QString m_label;
    QFont m_labelFont;
    qreal m_labelInset = 0;
};

// The main window's background: the window colour under three faint radial glows that
// drift against each other, and a sheen. The drift is slow (a whole colour level takes
// seconds): the backdrop sleeps until a small sample of its picture has moved by a level and
// a half (a soft glow drifting that slowly shows no such step), found ahead of time, and is
// painted then. A paint hands the window only the tiles whose pixels changed.
class AppBackdropItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(QuellvistaAppBackdrop)
    Q_PROPERTY(bool ticking READ isTicking NOTIFY tickingChanged)
public:
    explicit AppBackdropItem(QQuickItem *parent = nullptr);

    bool isTicking() const;
    // The backdrop's own resolution, a fraction of the view's: its glows are so soft that
    // a smaller picture, smoothly scaled, looks the same.
    static constexpr qreal kResolution = 0.25;
    // The shortest sleep, the steps in which the next change is looked for, and the
    // resolution of the sample it is measured on (the glows are hundreds of points wide: a
    // sample every 16 points finds the largest change).
    static constexpr qint64 kMinimumIntervalMs = 100;
    static constexpr qint64 kSearchStepMs = 50;
    static constexpr qreal kSampleResolution = 1.0 / 16;
    // The change, in levels of the picture before its dither, that is painted: the glows
    // drift so slowly and softly that a step of a level and a half is not seen, and the
    // picture shown stays within two levels of the exact one.
    static constexpr double kVisibleLevels = 1.5;
    // The side of a tile, in device pixels.
    static constexpr int kTilePixels = 128;

signals:
    void tickingChanged();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    // Returns the milliseconds until the next look.
    qint64 tick();
    FrameTicker *m_ticker;
    brand::BackdropFrame m_drawn;
    QImage m_sample; // the drawn frame at kSampleResolution
    bool m_hasDrawn = false;
    QList<QImage> m_tiles; // the tiles last painted
    QList<QRect> m_tileRects;
    qreal m_tileDpr = 0;
    QSize m_tileImageSize;
};

// The animated logo at a size: a gradient blob that wobbles, swells and cycles through
// three palettes every 18 s. It is painted when it looks different (a point of its outline
// moved half a device pixel, a colour of its skin eight levels), at most 30 times a
// second, and sleeps until then: its wobble moves a fraction of a pixel a second, and its
// palettes fade over seconds. Still (animated false) it shows the start of its cycle.
class LogoMarkItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(QuellvistaLogoMark)
    Q_PROPERTY(qreal size READ size WRITE setSize NOTIFY sizeChanged)
    Q_PROPERTY(bool animated READ animated WRITE setAnimated NOTIFY animatedChanged)
    Q_PROPERTY(bool ticking READ isTicking NOTIFY tickingChanged)
public:
    explicit LogoMarkItem(QQuickItem *parent = nullptr);

    qreal size() const { return m_size; }
    void setSize(qreal size);
    bool animated() const { return m_animated; }
    void setAnimated(bool animated);
    bool isTicking() const;

    static constexpr qint64 kMinimumIntervalMs = 33; // at most 30 updates a second
    static constexpr qint64 kLookAheadMs = 16;
    brand::LogoState currentState() const;
    // The state the logo was last drawn at, or is about to be.
    brand::LogoState drawnState() const { return m_drawn; }

signals:
    void sizeChanged();
    void animatedChanged();
    void tickingChanged();

protected:
    QList<Layer> paintLayers(qreal dpr) override;
    // Paints when the mark looks different; returns the milliseconds until the next look.
    virtual qint64 tick();
    // Asks for a paint when the mark looks different from the one drawn.
    void step();
    // Asks for a paint of the mark in this state.
    void show(const brand::LogoState &next);
    // The mark's next state when its own animation (wave, swell, palettes) looks different
    // from the one drawn, else none; the outline is kept when only the colours moved.
    std::optional<brand::LogoState> logoStep(qreal dpr) const;
    // The milliseconds, from minimumMs on, until the mark looks different from the one drawn.
    qint64 untilNextStep(qint64 minimumMs = kMinimumIntervalMs) const;

    FrameTicker *m_ticker;
    qreal m_size = 32;
    bool m_animated = true;
    brand::LogoState m_drawn;
    bool m_hasDrawn = false;
    brand::LogoState m_next; // the state the next paint draws, where a tick chose it
    bool m_hasNext = false;
};

// The logo with a breathing glow and ring, breathing in and out every 5.8 s (ease in and
// out) from the moment it appears. Glow, ring and logo are three layers, each painted
// again only when it looks different: the glow (soft, kept as drawn once and scaled by the
// window) when a pixel of it changed by one level, the ring when its edge moved a quarter
// of a device pixel (a thin stroke, cheap to draw), the logo (blurred shadows, costly)
// when its edge moved half a pixel or its own outline and colours as far as the sidebar's
// mark steps, at most 24 times a second (a breath takes 5.8 s each way) and on the instants the
// panel's stepped fades change at (SteppedFadeItem), so that they share frames. In between it
// sleeps, and a step draws again only the area of the layers that changed.
class BreathingMarkItem : public LogoMarkItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(QuellvistaBreathingMark)
    Q_PROPERTY(qreal breath READ breath NOTIFY painted)
public:
    explicit BreathingMarkItem(QQuickItem *parent = nullptr);

    static constexpr qint64 kMinimumIntervalMs = 42; // at most 24 updates a second

    // 0 (out) ... 1 (in) at s seconds after appearing.
    static qreal breathAt(double secondsSinceAppearing);
    qreal breath() const;
    // The breath each layer was last drawn at.
    qreal glowBreath() const { return m_glowBreath; }
    qreal ringBreath() const { return m_ringBreath; }
    qreal shapeBreath() const { return m_shapeBreath; }

protected:
    QList<Layer> paintLayers(qreal dpr) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    qint64 tick() override;

private:
    // How far the picture moved between two breaths, in its layer's steps (1 or more is
    // a step): the glow in levels, the ring in quarters of a device pixel, the logo in its
    // outline's steps (brand::kLogoStepPixels).
    double glowChange(qreal fromBreath, qreal toBreath) const;
    double ringChange(qreal fromBreath, qreal toBreath, qreal dpr) const;
    double shapeChange(qreal fromBreath, qreal toBreath, qreal dpr) const;
    double m_appeared = 0;
    qreal m_glowBreath = -1;
    qreal m_ringBreath = -1;
    qreal m_shapeBreath = -1;
    // What the layers were drawn for: the size, the pixel ratio and the glow's edge.
    qreal m_layerSize = 0;
    qreal m_layerDpr = 0;
    QImage m_glow; // the glow unscaled, cut to where it is not clear
    QRectF m_glowRect; // its place on the canvas, about the centre, in points
    double m_glowSlope = 0; // its largest change in levels per unit of the logarithm of its scale
    QImage m_ring;
    QImage m_logo;
};

// One gradient skin of the logo from two colours and a bloom colour.
class BrandLayerItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(QuellvistaBrandLayer)
    Q_PROPERTY(QColor first READ first WRITE setFirst NOTIFY changed)
    Q_PROPERTY(QColor second READ second WRITE setSecond NOTIFY changed)
    Q_PROPERTY(QColor bloom READ bloom WRITE setBloom NOTIFY changed)
public:
    explicit BrandLayerItem(QQuickItem *parent = nullptr);
    QColor first() const { return m_first; }
    void setFirst(const QColor &c);
    QColor second() const { return m_second; }
    void setSecond(const QColor &c);
    QColor bloom() const { return m_bloom; }
    void setBloom(const QColor &c);

signals:
    void changed();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    QColor m_first, m_second, m_bloom;
};

// The logo's blob outline, filled and optionally stroked.
class AmorphousLogoShapeItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(AmorphousLogoShape)
    Q_PROPERTY(qreal progress READ progress WRITE setProgress NOTIFY changed)
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor NOTIFY changed)
    Q_PROPERTY(QColor strokeColor READ strokeColor WRITE setStrokeColor NOTIFY changed)
    Q_PROPERTY(qreal strokeWidth READ strokeWidth WRITE setStrokeWidth NOTIFY changed)
public:
    explicit AmorphousLogoShapeItem(QQuickItem *parent = nullptr);
    qreal progress() const { return m_progress; }
    void setProgress(qreal p);
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &c);
    QColor strokeColor() const { return m_stroke; }
    void setStrokeColor(const QColor &c);
    qreal strokeWidth() const { return m_strokeWidth; }
    void setStrokeWidth(qreal w);

signals:
    void changed();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    qreal m_progress = 0;
    QColor m_fill = Qt::black;
    QColor m_stroke = Qt::transparent;
    qreal m_strokeWidth = 0;
};

// A small line chart of values already scaled to 0...1, in the accent colour.
class SparklineItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(Sparkline)
    Q_PROPERTY(QList<qreal> values READ values WRITE setValues NOTIFY valuesChanged)
public:
    explicit SparklineItem(QQuickItem *parent = nullptr);
    QList<qreal> values() const { return m_values; }
    void setValues(const QList<qreal> &values);

    // Point i: x = w * i / (max(n, 2) - 1), y = h * (1 - value); not clamped.
    static QList<QPointF> points(const QList<qreal> &values, QSizeF size);

signals:
    void valuesChanged();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    QList<qreal> m_values;
};

} // namespace qv
