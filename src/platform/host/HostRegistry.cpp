#include "platform/host/HostRegistry.h"

namespace qv {

QString HostRegistry::errorText(ResultCode code)
{
    if (code == kNotFound)
        return QStringLiteral("(iokit/common) not found");
    return QStringLiteral("(iokit/common) unknown error 0x%1").arg(quint32(code), 8, 16, QLatin1Char('0'));
}

} // namespace qv
