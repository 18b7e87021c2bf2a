#pragma once

#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace qv::bus {

// How long a call to a system service may take before it counts as not answering.
inline constexpr int kCallTimeoutMs = 1000;

// How long a service that holds its name but let a call go unanswered is left before it
// is asked again (it may be busy, or stopped for a while).
inline constexpr qint64 kRetryMs = 10'000;

// Whether a call's error says its answer did not come in time.
bool timedOut(const QString &errorName);

// The value inside a variant, however deeply the sender wrapped it.
QVariant unwrapped(QVariant value);

// The D-Bus type of a value for a log line ("uint32", "string", "nothing").
QString typeText(const QVariant &value);

// A number held by an integer or floating-point value; nothing for any other type.
std::optional<double> number(const QVariant &value);

// A dictionary of properties sent inside a message (a{sv}); nothing for another shape.
std::optional<QVariantMap> propertyMap(const QVariant &argument);

// Logs a condition once: a line when the text differs from the last one noted, nothing
// while it stays the same; an empty text clears it silently.
class Note {
public:
    void operator()(const Logger &logger, const QString &text);

private:
    QString m_last;
};

} // namespace qv::bus
