#pragma once

#include "platform/Panels.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QQuickItem>
#include <QRectF>
#include <QSizeF>

#include <cstdint>
#include <memory>

class QPainter;
class QWindow;
class QSGNode;

// The overlay's picture as three layers over its whole area: a uniform wash, the black
// vignette and the grain. The vignette's shape and the grain do not depend on the amounts:
// they are made once per area size and pixel ratio, and an amount or colour change only
// changes the numbers of VeilLayers. Where the scene graph runs on a GPU the layers are
// nodes with opacities; where it runs in software each change is painted in one pass
// over the pixels.
namespace qv::veil {

struct VeilLayers {
    QColor wash = Qt::transparent; // the composed uniform washes, alpha included
    double vignette = 0;           // alpha of black where the vignette is strongest (0.54 × amount)
    double grain = 0;              // opacity of the unit grain (see microtextureImageOpacity)

    bool isEmpty() const { return wash.alpha() == 0 && !(vignette > 0) && !(grain > 0); }
    bool operator==(const VeilLayers &) const = default;
};

// The vignette's shape on an area at a pixel ratio: its alpha at amount 1 relative to the
// strongest (0 to 65535), for one quarter of the pixels (the picture is symmetric about
// the area's middle).
struct VignetteMap {
    int width = 0; // of the whole area, in pixels
    int height = 0;
    int quarterWidth = 0; // ceil(width / 2)
    int quarterHeight = 0;
    std::unique_ptr<std::uint16_t[]> values; // quarterHeight rows of quarterWidth
    std::unique_ptr<int[]> clearRun;         // per quarter row: how many values from the middle are 0

    bool isNull() const { return !values; }
    std::size_t bytes() const { return std::size_t(quarterWidth) * std::size_t(quarterHeight) * 2; }
    std::size_t bytesKept() const { return values ? bytes() + std::size_t(quarterHeight) * sizeof(int) : 0; }
    // The value at a pixel of the whole area.
    std::uint16_t at(int x, int y) const;
};
// The strongest alpha of the vignette at amount 1 (its last stop).
inline constexpr double kVignetteStrongest = 0.54;
VignetteMap renderVignetteMap(const QRectF &bounds, double devicePixelRatio, QSize pixels);

// The grain and scan lines of an area at a pixel ratio, scaled so that its strongest
// pixel would be opaque: per pixel the alpha (high byte) and the premultiplied white
// (low byte, never above the alpha). The picture is grey, so two channels hold it.
struct GrainMap {
    int width = 0;
    int height = 0;
    std::unique_ptr<std::uint16_t[], void (*)(void *)> pixels{nullptr, nullptr};

    bool isNull() const { return !pixels; }
    std::size_t bytes() const { return std::size_t(width) * std::size_t(height) * 2; }
};
// A null map when the size is empty, not finite or too large to hold.
GrainMap renderGrainMap(const QSizeF &size, double devicePixelRatio);

// The amount-independent layers of one area, made when first needed and kept for that
// size and pixel ratio; painting composes them with the layers' numbers in one pass.
class VeilPixels {
public:
    // Paints the layers over bounds (Qt coordinates, in points) with the source operation:
    // what was there is replaced. Straight into the pixels when the painter draws on an
    // image without rotation, else through a band of rows.
    void paint(QPainter &painter, const QRectF &bounds, const VeilLayers &layers);

    // Composes the rows [fromRow, toRow) of an area of the given pixel size into out
    // (premultiplied ARGB, one row of width pixels after another, bytesPerLine apart),
    // starting at area pixel (x0, fromRow). The maps must match the area.
    void composeRows(const VeilLayers &layers, int x0, int width, int fromRow, int toRow, uchar *out,
                     qsizetype bytesPerLine) const;

    // Makes the maps the layers need for the area (kept while size and ratio stay); false
    // when a map cannot be made.
    bool prepare(const QRectF &bounds, double devicePixelRatio, QSize pixels, const VeilLayers &layers);
    // Lets go of the maps (the panel shows nothing).
    void release();

    std::size_t bytes() const { return m_vignette.bytesKept() + (m_grain.isNull() ? 0 : m_grain.bytes()); }
    int grainRenderCount() const { return m_grainRenders; }
    bool grainFailed() const { return m_grainFailed; }

private:
    QSizeF m_size;
    double m_ratio = 0;
    QSize m_pixels;
    VignetteMap m_vignette;
    GrainMap m_grain;
    bool m_grainFailed = false;
    int m_grainRenders = 0;
};

// The scene graph node of an overlay item that shows the layers over its whole area.
// pixels is used where the scene graph draws in software.
QSGNode *updateVeilNode(QSGNode *oldNode, QQuickItem *item, const VeilLayers &layers,
                        const std::shared_ptr<VeilPixels> &pixels);

// An overlay panel's content: an item that shows its layers over its whole area. It is
// drawn only while its window lies on a screen (a panel beside every screen shows
// nothing); a change that arrives meanwhile is drawn when the window reaches one.
class VeilItem : public QQuickItem, public PanelPicture {
    Q_OBJECT
public:
    explicit VeilItem(const QRectF &frame, QQuickItem *parent = nullptr);

    QRectF frame() const { return m_frame; }

    // Marks the view as needing display.
    void setNeedsDisplay();
    // How often the view was marked as needing display.
    int displayRequestCount() const { return m_displayRequests; }

    // What the view shows now.
    virtual VeilLayers layers() const = 0;
    // Paints the view into bounds as the scene graph does in software (the painter's
    // pixels there are replaced).
    void paint(QPainter &painter, const QRectF &bounds) override;

    // The bytes the view keeps for its picture.
    std::size_t cachedBytes() const { return m_pixels->bytes(); }
    int textureRenderCount() const { return m_pixels->grainRenderCount(); }

    // Whether the window lies at least partly on one of the application's screens.
    static bool onAScreen(const QWindow *window);

signals:
    // The view's picture changed.
    void needsDisplay();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void windowMoved();

    QRectF m_frame;
    int m_displayRequests = 0;
    bool m_waiting = false; // a change not yet drawn: the window was beside every screen
    std::shared_ptr<VeilPixels> m_pixels;
    QList<QMetaObject::Connection> m_windowConnections;
};

} // namespace qv::veil
