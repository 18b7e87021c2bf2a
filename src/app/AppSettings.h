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
// A default lives with the view's stored setting, never in the store: a key the user never
// set stays absent, because its readers treat an absent key in their own ways (the screen
// detector takes a missing "pwmAvoidanceEnabled" as off, start-up stores the PWM switch
// and threshold when they are missing, a captured profile takes the live brightness for a
// missing threshold).
struct ApplicationSetting {
    QString key;
    QVariant defaultValue;
};
const QList<ApplicationSetting> &applicationSettings();

// A stored setting for a view to bind to: one of the keys above with its default; nothing
// for any other key.
StoredSetting *makeApplicationSetting(const QString &key, QObject *parent = nullptr);

} // namespace qv
