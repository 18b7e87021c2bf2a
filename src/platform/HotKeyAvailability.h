#pragma once

#include "platform/HotKeys.h"

#include <QMap>
#include <QObject>
#include <QString>

namespace qv {

// What the application's hot keys amount to on this desktop, as registered: how their
// presses arrive and which keys cannot be pressed, and why. The application publishes it;
// the texts that show a hot key read it, so that a key that does not work is never shown
// as one that does. Until something is published every key counts as available.
class HotKeyAvailability : public QObject {
    Q_OBJECT
public:
    static HotKeyAvailability &shared();

    HotKeyWay way() const { return m_way; }
    // The keys (virtual key codes) that cannot be pressed, each with why not.
    const QMap<int, ResultCode> &unavailable() const { return m_unavailable; }
    bool isAvailable(int keyCode) const { return !m_unavailable.contains(keyCode); }
    void publish(HotKeyWay way, const QMap<int, ResultCode> &unavailable);

    // The key as the user reads it ("Super+Shift+N"), followed by " not available" for a
    // key that cannot be pressed.
    QString hint(quint32 modifiers, int keyCode) const;

signals:
    void changed();

private:
    HotKeyWay m_way = HotKeyWay::pending;
    QMap<int, ResultCode> m_unavailable;
};

} // namespace qv
