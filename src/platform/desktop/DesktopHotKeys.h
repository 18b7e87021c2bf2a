#pragma once

#include "platform/HotKeys.h"
#include "runtime/Logging.h"

#include <QAbstractNativeEventFilter>
#include <QMap>

#include <memory>

namespace qv {

// Hot keys of an X11 session: each registration grabs its key on the root window, once
// plain and once with each of Caps Lock and Num Lock and with both, so that the lock
// keys do not get in the way. Command is the Super key here, Option is Alt.
class DesktopHotKeys final : public HotKeys, public QAbstractNativeEventFilter {
public:
    // Nothing when the display server is not X11.
    static std::unique_ptr<DesktopHotKeys> create();
    ~DesktopHotKeys() override;

    ResultCode installPressHandler(PressHandler handler) override;
    ResultCode registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref) override;
    void unregisterHotKey(HotKeyRef ref) override;

    // The X modifier mask of the platform's modifier bits, given the masks of Super and
    // Alt on this server.
    static quint16 x11Modifiers(quint32 modifiers, quint16 superMask, quint16 altMask);
    // The masks of the lock keys that a grab is repeated for, given the Num Lock mask.
    static QList<quint16> lockVariants(quint16 numLockMask);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    DesktopHotKeys() = default;
    struct Grab {
        quint8 keycode;
        quint16 modifiers;
        HotKeyID id;
    };
    void ungrab(const Grab &grab);

    Logger m_logger{"Shortcuts"};
    PressHandler m_handler;
    QMap<HotKeyRef, Grab> m_grabs;
    HotKeyRef m_next = 1;
    quint16 m_superMask = 0;
    quint16 m_altMask = 0;
    quint16 m_numLockMask = 0;
    bool m_filtering = false;
};

} // namespace qv
