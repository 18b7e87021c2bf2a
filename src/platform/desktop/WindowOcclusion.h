#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QObject>
#include <QPointer>

class QWindow;

namespace qv {

// Whether a window of ours lies wholly under other windows. The X server says so when a
// window asks to hear of its visibility; no one else does, so elsewhere (and on an X
// server whose compositing manager draws every window off screen) a window is never
// taken as covered.
class WindowOcclusion : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static WindowOcclusion &shared();

    // Starts following the window (once is enough); returns whether it is covered now.
    bool isFullyObscured(QWindow *window);

    // Whether windows are followed at all (on by default). Programs whose windows share an
    // X server with unrelated ones that come and go over them (the test programs) switch
    // it off; windows followed so far then count as uncovered.
    void setEnabled(bool enabled);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The window became covered or came into view again.
    void obscuredChanged(QWindow *window);

private:
    WindowOcclusion();
    void follow(QWindow *window);

    struct Followed {
        QPointer<QWindow> window;
        bool obscured = false;
    };
    QHash<quintptr, Followed> m_windows; // by native window id
    bool m_filterInstalled = false;
    bool m_enabled = true;
};

} // namespace qv
