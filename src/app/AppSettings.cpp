#include "app/AppSettings.h"

#include "display/ProtectionSettings.h"
#include "runtime/StoredSetting.h"

namespace qv {

const QList<ApplicationSetting> &applicationSettings()
{
    using namespace protection;
    static const QList<ApplicationSetting> settings{
        {kDisableDithering, kDefaultDisableDithering},
        {kDisableUniformity2D, kDefaultDisableUniformity2D},
        {kPwmAvoidanceEnabled, kDefaultPwmAvoidanceEnabled},
        {kPwmThreshold, kDefaultPwmThreshold},
    };
    return settings;
}

StoredSetting *makeApplicationSetting(const QString &key, QObject *parent)
{
    for (const ApplicationSetting &setting : applicationSettings()) {
        if (setting.key == key)
            return new StoredSetting(setting.key, setting.defaultValue, parent);
    }
    return nullptr;
}

} // namespace qv
