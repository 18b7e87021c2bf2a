#pragma once

#include "platform/AmbientLight.h"
#include "platform/RegistryValue.h"
#include "platform/Types.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace qv {

// The Mac's ambient-light sensor as display tuning reads it: the sensor services and
// their properties, the raw value scaled to lux, and what the lux mean for comfort.
namespace ambientLight {

// Sensor service classes, tried in this order.
QStringList serviceClasses();
// Properties tried on each service, in this order.
QStringList propertyNames();
// Keys tried when a property holds a dictionary, in this order.
QStringList dictionaryKeys();

// The first reading of the first sensor service that gives one; nothing when none does.
// A host sensor outside the registry, when installed, is the only one read.
std::optional<double> readLux();
// A host sensor's reading in lux: lux as they are, a raw figure scaled as a registry
// value is; negative, NaN or infinite values are unusable.
std::optional<double> luxFromReading(const AmbientLightReading &reading);
// The first usable property of one service.
std::optional<double> luxFromService(ServiceHandle service);
// A raw property value in lux: a number, the first element of an array of numbers, or
// the number under the first known dictionary key; negative, NaN or infinite values are
// unusable. Raw values above 10000 are thousandths of a lux, above 1000 tenths.
std::optional<double> normalizedLux(const RegistryValue &value);

// 1 at 8 lux and below, 0 at 80 lux and above, linear between.
double comfortLevel(double lux);
// The reading in whole lux (halves away from zero) followed by " lux".
QString statusText(double lux);
// "Dark room", "Dim room" or "Bright room" for a comfort level.
QString roomLabel(double level);

} // namespace ambientLight

} // namespace qv
