#pragma once

#include "platform/HotKeys.h"
#include "runtime/Logging.h"

#include <QAbstractNativeEventFilter>
#include <QMap>
#include <QObject>

#include <memory>

namespace qv {

// Hot keys of an X11 session: each registration grabs its key on the root window, once
// plain and once with each of Caps Lock and Num Lock and with both, so that the lock
// keys do not get in the way. Command is the Super key here, Option is Alt. A key the
// keyboard's map lacks is refused (kHotKeyNoSuchKey); when the map changes (XKB's new
// keyboard and map notifications, the core mapping notification) every grab is made again
// on the key's new keycode and the change handler is told, so that refused keys can be
// registered again.
class DesktopHotKeys final : public HotKeys, public QAbstractNativeEventFilter {
public:
    // Nothing when the display server is not X11.
    static std::unique_ptr<DesktopHotKeys> create();
    ~DesktopHotKeys() override;

    ResultCode installPressHandler(PressHandler handler) override;
    ResultCode registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref) override;
    void unregisterHotKey(HotKeyRef ref) override;
    HotKeyWay way() const override { return HotKeyWay::keyGrabs; }
    ResultCode keyStatus(HotKeyRef ref) const override;
    void setChangeHandler(std::function<void()> handler) override;

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
        int keyCode;         // the virtual key code
        quint32 hotKeyModifiers;
        quint8 keycode;      // the server's, 0 while its map lacks the key
        quint16 modifiers;
        HotKeyID id;
        ResultCode status = 0;
    };
    void readModifierMasks();
    // Grabs the key on the server (its keycode and modifiers filled in); 0 or why not.
    ResultCode grab(Grab &grab);
    void ungrab(const Grab &grab);
    // The keyboard's map changed: every key grabbed again where it is now.
    void keymapChanged();
    bool isKeymapEvent(const void *message) const;

    std::function<void()> m_changeHandler;
    quint8 m_xkbEvent = 0;     // XKB's event code on this server, 0 without XKB
    bool m_regrabQueued = false;
    QObject m_context; // owns the posted re-grab: it goes with us

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
