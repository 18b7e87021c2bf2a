#pragma once

#include "platform/KeyMonitors.h"
#include "runtime/Logging.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QMap>
#include <QObject>

namespace qv {

// Key-down monitors of the desktop session. Local monitors filter the key presses the
// application's windows receive. Global monitors exist only on an X11 server: while one
// is installed, Escape (the one key the application watches outside itself) is grabbed
// on the root window, alone and with the lock modifiers, and replayed at once to the
// window it was meant for, so that the other application still receives it. Elsewhere
// (Wayland, offscreen) a global monitor is not installed: the add logs why and returns 0.
class DesktopKeyMonitors final : public QObject, public KeyMonitors, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit DesktopKeyMonitors(QObject *parent = nullptr);
    ~DesktopKeyMonitors() override;

    MonitorToken addLocalKeyDownMonitor(LocalHandler handler) override;
    MonitorToken addGlobalKeyDownMonitor(GlobalHandler handler) override;
    void removeMonitor(MonitorToken token) override;

    // The platform's key code of a Qt key, -1 for keys without one here.
    static int keyCodeForQtKey(int qtKey);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    bool grabEscape();
    void ungrabEscape();

    Logger m_logger{"KeyMonitors"};
    QMap<MonitorToken, LocalHandler> m_local;
    QMap<MonitorToken, GlobalHandler> m_global;
    MonitorToken m_next = 1;
    bool m_filtering = false;
    quint8 m_escapeKeycode = 0; // the X11 keycode grabbed, 0 while nothing is
    QList<quint16> m_escapeModifiers; // the lock-modifier states grabbed with it
};

} // namespace qv
