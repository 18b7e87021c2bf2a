#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class QObject;

namespace qv {

class StoredSetting;

// The application's own stored switches, with the defaults the settings views show while
// the user has not set them: "disableDithering" true, "disableUniformity2D" false,
// "pwmAvoidanceEnabled" true and "pwmThreshold" 0.85 (a fraction of full brightness).
//
// Keys and defaults are the settings table's (runtime/Settings.h); as there, a default
// lives with the view's stored setting, never in the store.
struct ApplicationSetting {
    QString key;
    QVariant defaultValue;
};
const QList<ApplicationSetting> &applicationSettings();

// A stored setting for a view to bind to: one of the keys above with its default; nothing
// for any other key.
StoredSetting *makeApplicationSetting(const QString &key, QObject *parent = nullptr);

} // namespace qv
