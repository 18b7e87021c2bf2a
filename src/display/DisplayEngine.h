#pragma once

#include "display/ChipFamily.h"
#include "display/DisplayInfo.h"
#include "platform/RegistryValue.h"
#include "runtime/Logging.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QVariantList>

#include <optional>

namespace qv {

class Registry;

// The single owner of the hardware-level display protections: finds the display
// framebuffer services ("IOMobileFramebufferAP"), pairs them with the display identities,
// publishes them as DisplayInfo, writes `enableDither` and `uniformity2D`, and switches
// PWM avoidance by handing a brightness floor to display tuning. Lives on the main thread.
class DisplayEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList connectedDisplays READ connectedDisplaysList NOTIFY connectedDisplaysChanged)
    Q_PROPERTY(bool ditherGloballyDisabled READ ditherGloballyDisabled NOTIFY ditherGloballyDisabledChanged)
    Q_PROPERTY(double pwmThresholdPercent READ pwmThresholdPercent WRITE setPwmThresholdPercent NOTIFY
                   pwmThresholdPercentChanged)
    Q_PROPERTY(bool pwmAvoidanceEnabled READ pwmAvoidanceEnabled WRITE setPwmAvoidanceEnabled NOTIFY
                   pwmAvoidanceEnabledChanged)
    Q_PROPERTY(QString chipFamily READ chipFamilyText CONSTANT)
    Q_PROPERTY(bool framebufferProtectionsAvailable READ framebufferProtectionsAvailable CONSTANT)
public:
    // Which framebuffer services a property write reaches.
    class Target {
    public:
        enum class Kind { service, all, builtIn, external };

        // The one service whose registry entry identifier (DisplayInfo::id) is given.
        static Target service(quint64 entryID) { return Target(Kind::service, entryID); }
        static Target all() { return Target(Kind::all); }
        // Services whose `external` property is not true.
        static Target builtIn() { return Target(Kind::builtIn); }
        // Services whose `external` property is true.
        static Target external() { return Target(Kind::external); }

        Kind kind() const { return m_kind; }
        quint64 entryID() const { return m_entryID; }
        bool selects(quint64 entryID, bool isExternal) const;
        bool operator==(const Target &) const = default;

    private:
        explicit Target(Kind kind, quint64 entryID = 0) : m_kind(kind), m_entryID(entryID) {}
        Kind m_kind;
        quint64 m_entryID;
    };

    struct VerificationResult {
        QDateTime timestamp;
        QString displayName;
        bool ditherDisabled = false;
        QString rawIORegValue;
    };

    using Properties = QMap<QString, RegistryValue>;

    // Detects the chip family and lists the displays (published one turn later).
    DisplayEngine();
    ~DisplayEngine() override;

    static DisplayEngine &shared();

    const QList<DisplayInfo> &connectedDisplays() const { return m_connectedDisplays; }
    QVariantList connectedDisplaysList() const;
    bool ditherGloballyDisabled() const { return m_ditherGloballyDisabled; }
    const std::optional<VerificationResult> &lastVerificationResult() const { return m_lastVerificationResult; }
    double pwmThresholdPercent() const { return m_pwmThresholdPercent; }
    void setPwmThresholdPercent(double percent);
    bool pwmAvoidanceEnabled() const { return m_pwmAvoidanceEnabled; }
    void setPwmAvoidanceEnabled(bool enabled);
    ChipFamily chipFamily() const { return m_chipFamily; }
    QString chipFamilyText() const { return chipFamilyRawValue(m_chipFamily); }

    // Rebuilds the display list from the registry and publishes it on a later turn of the
    // main loop. When the services cannot be matched the list is left as it is.
    Q_INVOKABLE void refreshDisplays();

    // Writes every property to the services the target selects, skipping values equal to
    // the current ones, then refreshes the list. True when every write succeeded and at
    // least one framebuffer service was found (and, for one service, that service).
    // Where framebuffer protections are not available nothing is tried: false, quietly.
    bool applyProperties(const Properties &properties, const Target &target);

    // `enableDither` on (true) or off for the target. Afterwards ditherGloballyDisabled says
    // whether every framebuffer now holds dithering off.
    void setDither(bool enabled, const Target &target);

    // PWM avoidance: the software brightness floor (a fraction of full brightness) goes to
    // display tuning on a later turn.
    Q_INVOKABLE void enablePWMAvoidance(double floor);
    Q_INVOKABLE void disablePWMAvoidance();

    // Dithering and uniformity back on everywhere, PWM avoidance off, tuning reset.
    Q_INVOKABLE void resetToDefaults();

    // Whether dithering and uniformity can be switched on this machine; where they cannot,
    // only PWM-safe dimming protects, and only it is counted.
    static bool framebufferProtectionsAvailable();
    // The protections that can act here: PWM-safe dimming, and dithering and uniformity
    // where framebuffers hold them.
    static int availableProtectionCount() { return framebufferProtectionsAvailable() ? 3 : 1; }

    // The processor family named by the host's brand string.
    static ChipFamily detectChipFamily();

signals:
    void connectedDisplaysChanged();
    void ditherGloballyDisabledChanged();
    void pwmThresholdPercentChanged();
    void pwmAvoidanceEnabledChanged();

private:
    void setDitherGloballyDisabled(bool disabled);
    // True when framebuffer services exist and every one holds `enableDither` off.
    bool registryHoldsDitherOff(Registry &registry) const;

    Logger m_log{"DisplayEngine"};
    // Writes that failed, by service, key and code: each is logged once, not at every
    // re-apply after a reconfiguration.
    QSet<QString> m_reportedWriteFailures;
    QList<DisplayInfo> m_connectedDisplays;
    bool m_ditherGloballyDisabled = true;
    std::optional<VerificationResult> m_lastVerificationResult;
    double m_pwmThresholdPercent = 40.0;
    bool m_pwmAvoidanceEnabled = false;
    ChipFamily m_chipFamily = ChipFamily::unknown;
};

} // namespace qv
