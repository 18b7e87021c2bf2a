#include "platform/sim/SimBundle.h"

#include "runtime/Version.h"

namespace qv {

SimBundle::SimBundle()
{
    m_info.insert(QStringLiteral("CFBundleShortVersionString"), applicationVersion());
    m_info.insert(QStringLiteral("CFBundleVersion"), QStringLiteral("1"));
}

void SimBundle::setInfoValue(const QString &key, const QVariant &value)
{
    if (value.isValid())
        m_info.insert(key, value);
    else
        m_info.remove(key);
}

void SimUpdater::checkForUpdates()
{
    if (canCheckForUpdates())
        ++m_checks;
}

void SimUpdater::setAllowsChecks(bool allows)
{
    m_allowsChecks = allows;
    if (m_observer)
        m_observer();
}

} // namespace qv
