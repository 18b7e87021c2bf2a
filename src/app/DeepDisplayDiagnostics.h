#pragma once

#include "display/DisplayIdentity.h"
#include "platform/Registry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

namespace qv {

// One registry property of a framebuffer as the diagnostics show it.
struct DeepDisplayDiagnosticProperty {
    QString key;
    QString label;
    QString value;    // formatted (see format())
    bool isExposed = false;

    // Reads key on the service itself; "Not exposed" when the service does not hold it.
    static DeepDisplayDiagnosticProperty read(Registry &registry, ServiceHandle service, const QString &key,
                                              const QString &label);
    // The text of a value: "Yes"/"No" for Booleans and the numbers 0 and 1, other numbers
    // in decimal, text itself ("Empty" when empty), "N bytes", "N item(s)", "N field(s)".
    static QString format(const RegistryValue &value);
};

// One framebuffer of a capture, with its twenty properties in table order.
struct DeepDisplayDiagnosticDisplay {
    QUuid id;
    QString name;
    QString subtitle;
    bool isExternal = false;
    QList<DeepDisplayDiagnosticProperty> properties;

    static QString kindLabel(DisplayIdentity::Kind kind) { return DisplayIdentity::label(kind); }
    // With an identity: kind label, connection and mode ("3456 x 2234 @ 120 Hz"), each left
    // out when absent or empty, joined by " - ". Without one: "External display" or
    // "Built-in display", " - " and the service name.
    static QString composeSubtitle(const std::optional<DisplayIdentity> &identity, bool isExternal,
                                   const QString &serviceName);
};

// The read-only snapshot of the display pipeline's registry properties, one entry per
// framebuffer service in registry order. Nothing is ever written to the registry.
struct DeepDisplayDiagnosticsSnapshot {
    QDateTime capturedAt;
    QList<DeepDisplayDiagnosticDisplay> displays;

    // Reads every framebuffer now; an unavailable registry gives no displays.
    static DeepDisplayDiagnosticsSnapshot capture();
    // The same from the given registry and identities (in the identity provider's order).
    static DeepDisplayDiagnosticsSnapshot capture(Registry &registry, const QList<DisplayIdentity> &identities);
};

// The twenty (key, label) pairs, in display order.
struct DeepDisplayDiagnosticKey {
    const char *key;
    const char *label;
};
const std::array<DeepDisplayDiagnosticKey, 20> &deepDisplayDiagnosticKeys();

} // namespace qv
