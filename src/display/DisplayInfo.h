#pragma once

#include "display/ChipFamily.h"
#include "platform/Types.h"

#include <QHashFunctions>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <algorithm>
#include <optional>

namespace qv {

// One display framebuffer service as the display engine publishes it. Two infos are the
// same display when their `id` is the same: the registry entry identifier, which stays
// valid across enumerations (the service handle `ioService` only names the entry in the
// enumeration that produced it).
struct DisplayInfo {
    Q_GADGET
    Q_PROPERTY(quint64 id MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(bool isExternal MEMBER isExternal CONSTANT)
    Q_PROPERTY(bool isBuiltIn MEMBER isBuiltIn CONSTANT)
    Q_PROPERTY(QString typeLabel MEMBER typeLabel CONSTANT)
    Q_PROPERTY(QString connection READ connectionText CONSTANT)
    Q_PROPERTY(QString resolution READ resolutionText CONSTANT)
    Q_PROPERTY(QString detailLine MEMBER detailLine CONSTANT)
    Q_PROPERTY(QString iconName MEMBER iconName CONSTANT)
    Q_PROPERTY(bool isVirtual MEMBER isVirtual CONSTANT)
    Q_PROPERTY(bool ditherEnabled MEMBER ditherEnabled CONSTANT)
    Q_PROPERTY(bool uniformity2DEnabled MEMBER uniformity2DEnabled CONSTANT)
    Q_PROPERTY(float currentBrightness MEMBER currentBrightness CONSTANT)
    Q_PROPERTY(QString chipFamily READ chipFamilyText CONSTANT)
public:
    quint64 id = 0;
    QString name;
    bool isExternal = false;
    bool isBuiltIn = true;
    QString typeLabel;
    std::optional<QString> connection;
    std::optional<QString> resolution;
    QString detailLine;
    QString iconName;
    bool isVirtual = false;
    ServiceHandle ioService = 0;
    bool ditherEnabled = true;
    bool uniformity2DEnabled = true;
    float currentBrightness = 1.0f;
    ChipFamily chipFamily = ChipFamily::unknown;

    bool operator==(const DisplayInfo &other) const { return id == other.id; }

    QString connectionText() const { return connection.value_or(QString()); }
    QString resolutionText() const { return resolution.value_or(QString()); }
    QString chipFamilyText() const { return chipFamilyRawValue(chipFamily); }
};

// Whether two infos say the same about their display in every published field (equality
// compares only the identity). The service handle is left out: it names the entry only
// in the enumeration that produced it, so a new enumeration may give another handle.
inline bool sameContent(const DisplayInfo &a, const DisplayInfo &b)
{
    return a.id == b.id && a.name == b.name && a.isExternal == b.isExternal && a.isBuiltIn == b.isBuiltIn
        && a.typeLabel == b.typeLabel && a.connection == b.connection && a.resolution == b.resolution
        && a.detailLine == b.detailLine && a.iconName == b.iconName && a.isVirtual == b.isVirtual
        && a.ditherEnabled == b.ditherEnabled && a.uniformity2DEnabled == b.uniformity2DEnabled
        && a.currentBrightness == b.currentBrightness && a.chipFamily == b.chipFamily;
}

inline bool sameContent(const QList<DisplayInfo> &a, const QList<DisplayInfo> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const DisplayInfo &x, const DisplayInfo &y) { return sameContent(x, y); });
}

inline size_t qHash(const DisplayInfo &info, size_t seed = 0)
{
    return ::qHash(info.id, seed);
}

} // namespace qv

Q_DECLARE_METATYPE(qv::DisplayInfo)
