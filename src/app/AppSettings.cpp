#include "app/AppSettings.h"

#include "runtime/Settings.h"
#include "runtime/StoredSetting.h"

namespace qv {

const QList<ApplicationSetting> &applicationSettings()
{
    const auto row = [](const auto &setting) {
        return ApplicationSetting{setting.name(), settings::defaultOf(setting)};
    };
    static const QList<ApplicationSetting> protections{
        row(settings::disableDithering),
        row(settings::disableUniformity2D),
        row(settings::pwmAvoidanceEnabled),
        row(settings::pwmThreshold),
    };
    return protections;
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
