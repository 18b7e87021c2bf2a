#pragma once

#include "platform/HotKeys.h"

#include <QMap>
#include <QSet>

namespace qv {

// The simulated hot keys: tests press combinations, take one for "another program" and
// make the handler installation fail.
class SimHotKeys final : public HotKeys {
public:
    ResultCode installPressHandler(PressHandler handler) override;
    ResultCode registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref) override;
    void unregisterHotKey(HotKeyRef ref) override;

    // Presses a combination anywhere on the system. Returns true when a registered hot key
    // took it (the handler, when installed, has run by then).
    bool press(int keyCode, quint32 modifiers);

    // Another program holds the combination: registering it fails with kHotKeyExists.
    void takeByOtherProgram(int keyCode, quint32 modifiers);
    // The handler installation fails with code (0: succeeds).
    void setInstallFails(ResultCode code) { m_installFailure = code; }
    // The keyboard lacks the keys of these virtual key codes: registering one fails with
    // kHotKeyNoSuchKey. Changing it tells the change handler, as another keyboard map does.
    void setMissingKeys(const QSet<int> &keyCodes);
    void setWay(HotKeyWay way);

    HotKeyWay way() const override { return m_way; }
    ResultCode keyStatus(HotKeyRef ref) const override;
    void setChangeHandler(std::function<void()> handler) override { m_changeHandler = std::move(handler); }

private:
    struct Key {
        int keyCode;
        quint32 modifiers;
        HotKeyID id;
    };
    static quint64 combination(int keyCode, quint32 modifiers) { return (quint64(modifiers) << 32) | quint32(keyCode); }

    PressHandler m_handler;
    QMap<HotKeyRef, Key> m_keys;
    QSet<quint64> m_taken;
    HotKeyRef m_next = 1;
    ResultCode m_installFailure = 0;
    QSet<int> m_missing;
    HotKeyWay m_way = HotKeyWay::systemWide;
    std::function<void()> m_changeHandler;
};

} // namespace qv
