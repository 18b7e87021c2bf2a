#pragma once

#include "platform/RegistryValue.h"
#include "platform/Types.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace qv {

// The outcome of a property write: written, or why not.
struct RegistryWrite {
    enum class Result {
        written,
        noSuchService, // the service is not (or no longer) in the registry
        notHeld,       // the service keeps no property of that kind
        refused,       // the system refused the write
    };
    Result result = Result::written;
    // Why it was not written, in the system's words; empty when written.
    QString reason;

    bool written() const { return result == Result::written; }
};

// The I/O registry: services matched by class name, with typed properties.
class Registry {
public:
    virtual ~Registry() = default;

    // The services of a class, in registry order; nothing when matching failed.
    virtual std::optional<QList<ServiceHandle>> matchingServices(const QString &className) = 0;
    // The registry entry name; nothing when it cannot be read.
    virtual std::optional<QString> entryName(ServiceHandle service) = 0;
    // The registry entry's identifier: unique and stable for the life of the entry, unlike
    // a service handle, which only names the entry in one enumeration. Nothing when the
    // entry is gone.
    virtual std::optional<quint64> entryID(ServiceHandle service) = 0;
    // A property looked up on the service itself (no parents or children); Absent when
    // the service does not hold it.
    virtual RegistryValue property(ServiceHandle service, const QString &key) = 0;
    // Every property of the service (diagnostics).
    virtual QMap<QString, RegistryValue> properties(ServiceHandle service) = 0;
    virtual RegistryWrite setProperty(ServiceHandle service, const QString &key, const RegistryValue &value) = 0;
    // Whether framebuffers can hold the protection properties (temporal dithering, panel
    // uniformity) on this machine at all; a desktop without such a registry answers false.
    virtual bool framebufferProtectionsAvailable() { return true; }
};

} // namespace qv
