#include "runtime/Version.h"

#include "QvVersion.h"

namespace qv {

QString applicationVersion()
{
    return QStringLiteral(QV_PROJECT_VERSION);
}

} // namespace qv
