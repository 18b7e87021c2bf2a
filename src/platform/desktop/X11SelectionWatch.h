#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

namespace qv {

// Follows who owns a selection of the X server (a manager selection such as the
// compositing manager's or the system tray's of the first screen) through the XFixes
// selection events: no polling. It follows the properties of the owner's window too (a
// manager publishes its settings there). Without an X11 server, or without XFixes, it watches
// nothing and reports the owner found at start.
class X11SelectionWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11SelectionWatch(const QByteArray &selection, QObject *parent = nullptr);
    ~X11SelectionWatch() override;

    // Whether changes of the owner are reported.
    bool isWatching() const { return m_xfixesEvent != 0; }
    // The window that owns the selection now, 0 when none does.
    quint32 owner() const { return m_owner; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The selection got another owner (0: none).
    void ownerChanged(quint32 owner);
    // A property of the owner's window changed (its atom).
    void ownerPropertyChanged(quint32 property);

private:
    void followOwnerProperties();

    quint32 m_selection = 0;
    quint32 m_owner = 0;
    quint8 m_xfixesEvent = 0;
};

} // namespace qv
