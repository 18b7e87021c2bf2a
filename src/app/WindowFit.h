#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QScreen>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QtQml/qqmlregistration.h>

#include <optional>


namespace qv {

// Keeps a window inside the work area of its screen (the screen less its panels). Its
// minimum is the designed one where that fits; on a smaller work area (a 1366 x 768
// laptop with a panel) the minimum shrinks to what fits, the window is made smaller and
// moved inside, and the page scrolls. It follows the window to another screen and a
// screen whose size or panels change while the window is open.
//
// On Qt's Wayland platform the window asks for no minimum: Qt holds a window there at no less
// than its minimum whatever size the compositor gives it, so a tile narrower than that (sway)
// would cut the window off. On X11 the window takes the size the window manager gives it,
// and its page scrolls: on Wayland it then does the same.
//
// It corrects the window at most once for each desktop it finds (the work areas of the
// screens, and the window's frame), and once each time the window is shown: the window
// manager's answer to a correction, its own placement, a user's drag and the changes of
// screen these bring are never corrected, so the two cannot move the window back and
// forth. A window that lies within the work areas of the screens together (dragged onto
// another monitor, or across two) is left where it is. What the window and its screens
// report is looked at on the next turn of the event loop, once for all the reports of
// one turn, never inside the signal that brings it.
class WindowFit : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickWindow *window READ window WRITE setWindow NOTIFY windowChanged)
    Q_PROPERTY(QSize designedMinimum READ designedMinimum WRITE setDesignedMinimum NOTIFY minimumChanged)
    Q_PROPERTY(int minimumWidth READ minimumWidth NOTIFY minimumChanged)
    Q_PROPERTY(int minimumHeight READ minimumHeight NOTIFY minimumChanged)
public:
    explicit WindowFit(QObject *parent = nullptr);

    QQuickWindow *window() const { return m_window; }
    void setWindow(QQuickWindow *window);
    QSize designedMinimum() const { return m_designed; }
    void setDesignedMinimum(const QSize &size);
    int minimumWidth() const { return m_minimum.width(); }
    int minimumHeight() const { return m_minimum.height(); }

    // The minimum of a window whose frame adds frame, on workArea: the designed minimum,
    // or less where the work area is smaller (never below kSmallest).
    static QSize fittedMinimum(const QSize &designed, const QRect &workArea, const QMargins &frame);
    // Where a window of frameGeometry (frame included) goes on workArea: no larger than
    // the area, and moved inside it.
    static QRect placedInside(const QRect &frameGeometry, const QRect &workArea);
    // Where a window of frameGeometry goes when its screen has workArea and the screens
    // together desktop (their work areas): where it is when it lies within desktop, else
    // placedInside().
    static QRect corrected(const QRect &frameGeometry, const QRect &workArea, const QRegion &desktop);
    static constexpr QSize kSmallest{480, 360};

    // The screens as a window finds them: their work areas, and the frame the window
    // manager adds to the window.
    struct Desktop {
        QList<QRect> workAreas;
        QMargins frame;
        bool operator==(const Desktop &) const = default;
    };
    // Where a window of frameGeometry on the screen of workArea goes, the first time it is
    // looked at on this desktop since it was shown (corrected()); nothing when it stays.
    std::optional<QRect> correction(const Desktop &desktop, const QRect &workArea, const QRect &frameGeometry);

signals:
    void windowChanged();
    void minimumChanged();

private:
    void fitSoon();
    void fit();

    QPointer<QQuickWindow> m_window;
    QPointer<QScreen> m_screen; // the one whose changes are followed
    QSize m_designed; // the main window's, unless set
    QSize m_minimum;
    // The platform holds the window at no less than its minimum (Qt's Wayland platform).
    const bool m_minimumHeld;
    bool m_fitSoon = false;
    // The desktop the window was last looked at on; a correction is made only when it changes.
    std::optional<Desktop> m_lookedAt;
};

} // namespace qv
