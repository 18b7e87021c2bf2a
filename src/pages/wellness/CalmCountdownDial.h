#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

class QPainter;

namespace qv {

class FrameTicker;

// The round countdown of the break page: a disc, 24 tick marks, a track and the progress
// ring filling clockwise from twelve o'clock, with the remaining time over "remaining" in
// the middle. While active the ring carries a turning, breathing five-colour gradient and
// a faint rose glow; inactive, the ring is plain. A new progress is reached over 0.4 s.
// The dial is painted when what it shows changes visibly: the time once a second, the
// ring's end when it has moved half a pixel, the turning gradient when a colour on the
// ring has changed by a couple of levels. The ring is a layer of its own over the rest,
// handed to the window in tiles, so that a step draws again only the ring's tiles that
// changed (about its end for a step of the countdown). In between it sleeps until the
// next such change; nothing is painted while nothing moves.
class CalmCountdownDial : public QQuickPaintedItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(CalmCountdownDial)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(QString timeText READ timeText WRITE setTimeText NOTIFY timeTextChanged)
    Q_PROPERTY(QString caption READ caption WRITE setCaption NOTIFY captionChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(bool frameClockRunning READ frameClockRunning NOTIFY frameClockRunningChanged)
public:
    explicit CalmCountdownDial(QQuickItem *parent = nullptr);
    ~CalmCountdownDial() override;

    double progress() const { return m_progress; }
    void setProgress(double progress);
    QString timeText() const { return m_timeText; }
    void setTimeText(const QString &text);
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    bool active() const { return m_active; }
    void setActive(bool active);
    bool frameClockRunning() const;

    // The steps in which the next change is looked for while the ring moves to a new
    // progress (a display frame), and while only the gradient turns.
    static constexpr qint64 kFrameIntervalMs = 16;
    static constexpr qint64 kCheckIntervalMs = 50;
    static constexpr qint64 kProgressAnimationMs = 400;
    // The smallest changes worth a frame: the ring's end moving this many device pixels,
    // a colour on the ring changing by this many levels (of 255) in any channel: the
    // gradient turns slowly, and a step of six levels is one the eye following it misses.
    static constexpr double kVisiblePixels = 0.5;
    static constexpr double kVisibleLevels = 6.0;

    // The largest change, in levels, of any colour on the active ring from time t0 to t1.
    static double ringChange(double t0, double t1);

    // Sizes for the space the dial is offered.
    struct Geometry {
        qreal side;
        qreal tickRadius;
        qreal ringWidth;
        qreal ringInset;
        qreal discInset;
        qreal timeFontSize;
    };
    static Geometry geometry(const QSizeF &offered);

    // The part of the circle the ring covers: progress held to 0.0001 ... 1 (a dot at
    // twelve o'clock for 0, negative or not a number).
    static double drawnFraction(double progress);

    // The ring's gradient at t seconds since the reference date: five colours evenly
    // spaced, clockwise from startDegrees past twelve o'clock.
    struct RingStyle {
        QList<QColor> colours;
        double startDegrees;
    };
    static RingStyle ringStyle(double t);

    // The time's font at the dial's size and the text drawn: one line, shrunk to fit the
    // disc down to 0.65 of its size, then cut. Digits are monospaced.
    struct FittedText {
        QFont font;
        QString text;
    };
    static FittedText fitTimeText(const QString &text, qreal side);
    // The time's width and drawing with monospaced digits, centred in rect.
    static qreal timeTextWidth(const QFont &font, const QString &text);
    static void drawTimeText(QPainter &painter, const QRectF &rect, const QFont &font, const QString &text);

    // One whole frame of the dial, filling a side x side square at the origin.
    struct Face {
        double progress = 0; // the drawn progress (already animated)
        QString timeText;
        bool active = false;
        bool dark = false;
        double t = 0;
    };
    // Paints a face; the caches keep what does not move between frames. Without the ring,
    // it paints what lies under and inside it: disc, ticks, track, glow and the time.
    class Painter {
    public:
        void paint(QPainter &painter, const QSizeF &size, qreal dpr, const Face &face, bool withRing = true);
        // The ring alone, as paint draws it.
        static void paintRing(QPainter &painter, const QSizeF &size, const Face &face);

    private:
        struct BaseKey {
            QSize pixels;
            bool active = false;
            bool dark = false;
            int glowStep = -1;
            bool operator==(const BaseKey &) const = default;
        };
        struct GlowKey {
            QSize pixels;
            int step = -1;
            bool operator==(const GlowKey &) const = default;
        };
        BaseKey m_key;
        QImage m_base; // disc, ticks, track and glow
        BaseKey m_plainKey;
        QImage m_plain; // disc, ticks and track
        GlowKey m_glowKey;
        QImage m_glow; // the ring's glow, blurred once per step of the ring's end
        QRectF m_glowRect;
    };

    // The ring is handed to the window in tiles of this many device pixels, so that a step
    // of its gradient or of its end draws again only the tiles it covers.
    static constexpr int kRingTilePixels = 24;

    // How many frames were painted, the ring's included (tests, benchmarks).
    int paintCount() const { return m_paintCount; }

    void paint(QPainter *painter) override;

signals:
    void progressChanged();
    void timeTextChanged();
    void captionChanged();
    void activeChanged();
    void frameClockRunningChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    class RingLayer;
    friend class RingLayer;
    // The face the ring shows now, at the gradient last painted; taken as painted.
    Face takeRingFace();
    int m_countedFrame = -1; // the frame last counted in paintCount
    int m_frame = 0;
    QMetaObject::Connection m_frames;
    void countPaint();
    double shownProgress(qint64 nowMs) const;
    bool animating(qint64 nowMs) const;
    void reconsiderClock();
    // Asks for a paint of the whole dial, the gradient at the time of asking.
    void updateWhole();
    // Paints what changed visibly; returns the milliseconds until the next visible change.
    qint64 frame();
    enum class Change { None, RingEnd, Whole };
    // How the face at nowMs (t on the reference clock) differs visibly from the one last
    // painted.
    Change visibleChange(qint64 nowMs, double t) const;
    double endMovedPixels(double fromProgress, double toProgress) const;
    // The area that the ring's end moving between two places paints again, with its cap
    // and glow; empty when the move is long.
    QRectF ringEndRect(double fromProgress, double toProgress) const;

    double m_progress = 0;
    QString m_timeText;
    QString m_caption;
    bool m_active = false;
    // The 0.4 s move of the ring toward m_progress.
    double m_fromProgress = 0;
    qint64 m_animationStart = -1;
    FrameTicker *m_ticker;
    Painter m_painter;
    int m_paintCount = 0;
    // What the last paint showed.
    bool m_hasPainted = false;
    double m_paintedProgress = 0;
    double m_paintedT = 0;
    int m_baseGlowStep = -1; // the glow's step in the base last painted
    RingLayer *m_ring;
};

} // namespace qv
