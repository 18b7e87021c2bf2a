#include "platform/HotKeyAvailability.h"

#include "platform/KeyCodes.h"
#include "runtime/Shared.h"

namespace qv {

HotKeyAvailability &HotKeyAvailability::shared()
{
    return sharedInstance<HotKeyAvailability>();
}

void HotKeyAvailability::publish(HotKeyWay way, const QMap<int, ResultCode> &unavailable)
{
    if (way == m_way && unavailable == m_unavailable)
        return;
    m_way = way;
    m_unavailable = unavailable;
    emit changed();
}

QString HotKeyAvailability::hint(quint32 modifiers, int keyCode) const
{
    const QString text = hotKeyText(modifiers, characterForKeyCode(keyCode));
    return isAvailable(keyCode) ? text : text + QStringLiteral(" not available");
}

} // namespace qv
