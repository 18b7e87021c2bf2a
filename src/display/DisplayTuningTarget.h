#pragma once

#include "display/DisplayIdentity.h"
#include "platform/Types.h"

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <optional>

namespace qv {

// One entry of the tuning target picker: every display at once ("all") or one display.
struct DisplayTuningTarget {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(QString subtitle MEMBER subtitle CONSTANT)
    Q_PROPERTY(QString iconName MEMBER iconName CONSTANT)
public:
    QString id;
    std::optional<DisplayId> displayID;
    QString name;
    QString subtitle;
    QString iconName;

    bool operator==(const DisplayTuningTarget &) const = default;

    static DisplayTuningTarget all();
    // The entry for one identity; nothing when it has no display ID.
    static std::optional<DisplayTuningTarget> fromIdentity(const DisplayIdentity &identity);
    // "all" is no display; otherwise a decimal 32-bit number (an optional leading "+",
    // "-" only before zero). Anything else is no display too.
    static std::optional<DisplayId> parseTargetId(const QString &id);
};

size_t qHash(const DisplayTuningTarget &target, size_t seed = 0);

} // namespace qv

Q_DECLARE_METATYPE(qv::DisplayTuningTarget)
