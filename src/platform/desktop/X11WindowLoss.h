#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWindow>

namespace qv {

// Notices when the X server destroys the native window of one of the application's
// windows from outside (the window manager or another client killed it): Qt goes on
// taking such a window for shown, and showing it again would do nothing. The owner
// then destroys the QWindow, so that the next show() makes a new native window. The
// server's complaints about the dead window on the way (unmap, destroy) are not printed.
// Without an X11 server it watches nothing.
class X11WindowLoss final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11WindowLoss(QObject *parent = nullptr);
    ~X11WindowLoss() override;

    void watch(QWindow *window);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // Queued: the native window of window is gone.
    void lost(QWindow *window);

private:
    QList<QPointer<QWindow>> m_windows;
    QList<quint32> m_dead; // native windows destroyed from outside
};

} // namespace qv
