#pragma once

#include "platform/Types.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <optional>

namespace qv {

// What one display is: its name, kind, connection, mode and numbers.
struct DisplayIdentity {
    enum class Kind { builtIn, sidecar, projector, television, external, virtualDisplay, unknown };

    std::optional<DisplayId> cgDisplayID;
    QString name;
    Kind kind = Kind::unknown;
    std::optional<QString> connection;
    std::optional<QString> resolution;
    std::optional<QString> refreshRate;
    std::optional<QString> pixels;
    std::optional<QString> vendorID;
    std::optional<QString> productID;
    std::optional<QString> serialNumber;
    bool isMain = false;
    bool isMirrored = false;
    bool isVirtual = false;

    bool operator==(const DisplayIdentity &) const = default;

    // "Main - Native 3456 x 2234 - Vendor 610 / Product a050" and the like.
    QString detailText() const;
    bool isLikelyMiniLED() const;
    // Of the Sidecar kind, or named "Sidecar" or "iPad" (in any case).
    bool looksLikeSidecar() const;

    static QString label(Kind kind);
    static QString symbolName(Kind kind);
    // The raw value: the case name ("builtIn", ..., "virtual", "unknown").
    static QString rawValue(Kind kind);

    // The classification shared by the screen and profiler paths.
    static Kind classify(const QString &name, const std::optional<QString> &connection, bool builtIn, bool isVirtual);
    // True when name + connection names a Sidecar, AirPlay or virtual display.
    static bool looksVirtual(const QString &name, const std::optional<QString> &connection);
    // The profiler's connection value as shown ("spdisplays_hdmi" -> "HDMI").
    static QString connectionText(const QString &profilerValue);
    // A mode's refresh rate as shown ("120 Hz", "59.9 Hz"); nothing at or below 1 or above
    // kMaxRefreshRate.
    static std::optional<QString> refreshRateText(double rate);
};

// Builds the display identities from the screens and, off the main thread, the system
// display profiler; caches them for 20 s.
class DisplayIdentityProvider {
public:
    static DisplayIdentityProvider &shared();

    // The identities, from the cache when it is younger than 20 s and not empty.
    QList<DisplayIdentity> identities(bool forceRefresh = false);
    // The displays changed: the next read builds the identities afresh.
    void invalidate();

    // The pieces, for tests.
    static QList<DisplayIdentity> screenIdentities();
    static QList<DisplayIdentity> profilerIdentities();
    static QList<DisplayIdentity> parseProfilerOutput(const QByteArray &json, QString *fault = nullptr);
    static QList<DisplayIdentity> merge(const QList<DisplayIdentity> &profiler, const QList<DisplayIdentity> &screens);

    static constexpr double cacheDuration = 20.0;

private:
    QMutex m_mutex; // the cache is shared between main-thread and worker callers
    QList<DisplayIdentity> m_cachedIdentities;
    qint64 m_lastRefreshMs = 0;
    bool m_everRefreshed = false;
};

// The identities as the framebuffers are matched to them: the first built-in one, and all
// the others (a second built-in one included), in their order.
struct BuiltInAndExternalIdentities {
    std::optional<DisplayIdentity> builtIn;
    QList<DisplayIdentity> external;
};
BuiltInAndExternalIdentities splitBuiltInAndExternal(const QList<DisplayIdentity> &identities);

} // namespace qv
