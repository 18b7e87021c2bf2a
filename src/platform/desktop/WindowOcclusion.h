#pragma once

#include "platform/WindowSight.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSet>

#include <limits>

class QWindow;

namespace qv {

// Whether a window of ours is out of sight: wholly under other windows, or on a screen
// that is blanked. The X server says a window is covered when the window asks to hear of
// its visibility, but not where a compositing manager draws every window off screen; there
// the window manager's stacking order tells: the frames (with their shapes) of the mapped,
// opaque windows above ours, followed through their property, configure and shape events.
// A window manager that publishes no stacking order leaves only the X server's word.
// Elsewhere a window is never taken as covered.
class WindowOcclusion : public WindowSight, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static WindowOcclusion &shared();

    // The least time between two looks at the stacking order: a stacking order that
    // changes all the time is looked at no more often than this.
    static constexpr qint64 kRestackGapMs = 50;

    // Starts following the window (once is enough); returns whether it is out of sight now.
    bool isFullyObscured(QWindow *window);
    bool isOutOfSight(QWindow *window) override { return isFullyObscured(window); }

    // Whether windows are followed at all (on by default). Programs whose windows share an
    // X server with unrelated ones that come and go over them (the test programs) switch
    // it off; windows followed so far then count as uncovered.
    void setEnabled(bool enabled);

    // The screen saver runs or the monitors are off: every window is out of sight.
    void setScreenBlanked(bool blanked);
    bool isScreenBlanked() const { return m_blanked; }

    // A window above ours in the stacking order: where it lies on the root window (its
    // shape), whether it is mapped and whether it hides what lies beneath (not translucent).
    struct Above {
        QRegion shape;
        bool viewable = true;
        bool opaque = true;
    };
    // Whether the windows above leave nothing of ours (in root coordinates) in sight.
    static bool coveredBy(const QRect &ours, const QList<Above> &above);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    WindowOcclusion();
    void follow(QWindow *window);
    // Works the stacking order out again on the next pass of the event loop, or
    // kRestackGapMs after the last look when that was sooner: a burst of changes costs one
    // look.
    void restackLater();
    void restack();
    // Says whether the window's state changed; the call to emit is the caller's.
    void report(QWindow *window, bool wasObscured);

    struct Followed {
        QPointer<QWindow> window;
        bool invisible = false; // as the X server says
        bool covered = false;   // as the stacking order says
    };
    bool obscured(const Followed &followed) const;

    QHash<quintptr, Followed> m_windows; // by native window id
    QSet<quint32> m_watched;            // frames and windows whose changes are followed
    bool m_filterInstalled = false;
    bool m_enabled = true;
    bool m_blanked = false;
    bool m_restackQueued = false;
    qint64 m_lastRestackMs = std::numeric_limits<qint64>::min() / 2;
    bool m_rootWatched = false;
    quint32 m_stackingAtom = 0;
    quint32 m_opacityAtom = 0;
    quint32 m_stateAtom = 0;
    quint32 m_hiddenAtom = 0;
    int m_shapeEvent = -1; // the shape extension's first event, -1 without it
};

} // namespace qv
