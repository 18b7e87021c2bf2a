#include "platform/sim/SimHotKeys.h"

namespace qv {

ResultCode SimHotKeys::installPressHandler(PressHandler handler)
{
    if (m_installFailure != 0)
        return m_installFailure;
    m_handler = std::move(handler);
    return 0;
}

ResultCode SimHotKeys::registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref)
{
    if (keyCode < 0 || keyCode > 127)
        return kHotKeyInvalid;
    if (m_missing.contains(keyCode))
        return kHotKeyNoSuchKey;
    const quint64 combo = combination(keyCode, modifiers);
    if (m_taken.contains(combo))
        return kHotKeyExists;
    for (const Key &key : m_keys)
        if (combination(key.keyCode, key.modifiers) == combo)
            return kHotKeyExists;
    const HotKeyRef made = m_next++;
    m_keys.insert(made, Key{keyCode, modifiers, id});
    if (ref)
        *ref = made;
    return 0;
}

void SimHotKeys::unregisterHotKey(HotKeyRef ref)
{
    m_keys.remove(ref);
}

bool SimHotKeys::press(int keyCode, quint32 modifiers)
{
    const quint64 combo = combination(keyCode, modifiers);
    for (const Key &key : std::as_const(m_keys)) {
        if (combination(key.keyCode, key.modifiers) != combo || m_missing.contains(key.keyCode))
            continue;
        if (m_handler) {
            const PressHandler handler = m_handler; // may replace itself
            handler(key.id);
        }
        return true;
    }
    return false;
}

ResultCode SimHotKeys::keyStatus(HotKeyRef ref) const
{
    const auto it = m_keys.constFind(ref);
    if (it == m_keys.constEnd())
        return kHotKeyInvalid;
    return m_missing.contains(it->keyCode) ? kHotKeyNoSuchKey : 0;
}

void SimHotKeys::setMissingKeys(const QSet<int> &keyCodes)
{
    m_missing = keyCodes;
    if (m_changeHandler)
        m_changeHandler();
}

void SimHotKeys::setWay(HotKeyWay way)
{
    m_way = way;
    if (m_changeHandler)
        m_changeHandler();
}

void SimHotKeys::takeByOtherProgram(int keyCode, quint32 modifiers)
{
    m_taken.insert(combination(keyCode, modifiers));
}

} // namespace qv
