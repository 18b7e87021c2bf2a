#pragma once

#include "comfort/ComfortPreset.h"
#include "runtime/Logging.h"
#include "runtime/Settings.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace qv {

// Chooses a comfort preset for the front application: the user's own assignments
// (stored under "appAware.customProfiles", read once at construction and never written
// here) first, then a built-in table of well-known applications, else Neutral.
//
// Construction evaluates the front application once; every activation of an application
// schedules a new evaluation on a later turn of the main loop. Each evaluation publishes
// its result and, when the application or its preset changed (or when forced), hands
// the choice to `onProfileChange`. Nothing is applied here: the owner applies the preset
// through the preset manager and keeps what it applied in `lastAppliedPreset`.
class AppAwareComfort : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString currentAppBundleID READ currentAppBundleID NOTIFY currentAppBundleIDChanged)
    Q_PROPERTY(QString currentAppName READ currentAppName NOTIFY currentAppNameChanged)
    Q_PROPERTY(QString currentProfile READ currentProfileRawValue NOTIFY currentProfileChanged)
    Q_PROPERTY(QString lastSwitchMessage READ lastSwitchMessage NOTIFY lastSwitchMessageChanged)
    Q_PROPERTY(QVariantMap customProfiles READ customProfileMap NOTIFY customProfilesChanged)
public:
    static constexpr const char *storageKey = settings::appAwareCustomProfiles.key;

    // Bundle identifier of the front application and the preset chosen for it.
    using ProfileChangeHandler = std::function<void(const QString &bundleID, ComfortPreset preset)>;

    // Loads the stored assignments, starts listening for application activation on the
    // installed workspace and evaluates the front application (not forced). The
    // listening ends with the object.
    explicit AppAwareComfort(QObject *parent = nullptr);
    ~AppAwareComfort() override;

    // The built-in assignments by bundle identifier (on a Linux desktop, by desktop-entry
    // id without ".desktop").
    static const QHash<QString, ComfortPreset> &defaultProfiles();

    // Evaluates the front application. Without a front application, or one without a
    // bundle identifier, nothing changes. `onProfileChange` is called after the published
    // values are set, when the bundle identifier or the preset changed, or always when
    // `force` is true.
    void refresh(bool force = false);
    // The user's assignment, else the built-in one, else Neutral; identifiers compared
    // exactly (case matters).
    ComfortPreset profile(const QString &bundleID) const;
    // An application became active: a refresh (not forced) runs on a later turn; the
    // front application is read anew then.
    void activeAppChanged();

    const QString &currentAppBundleID() const { return m_currentAppBundleID; }
    const QString &currentAppName() const { return m_currentAppName; }
    ComfortPreset currentProfile() const { return m_currentProfile; }
    const QString &lastSwitchMessage() const { return m_lastSwitchMessage; }
    const QHash<QString, ComfortPreset> &customProfiles() const { return m_customProfiles; }

    // Set by the owner.
    ProfileChangeHandler onProfileChange;
    // The preset the owner last applied on behalf of app-aware comfort.
    std::optional<ComfortPreset> lastAppliedPreset;

signals:
    void currentAppBundleIDChanged();
    void currentAppNameChanged();
    void currentProfileChanged();
    void lastSwitchMessageChanged();
    void customProfilesChanged();

private:
    void loadCustomProfiles();
    QString currentProfileRawValue() const { return rawValue(m_currentProfile); }
    QVariantMap customProfileMap() const;

    QString m_currentAppBundleID;
    QString m_currentAppName;
    ComfortPreset m_currentProfile = ComfortPreset::neutral;
    QString m_lastSwitchMessage;
    QHash<QString, ComfortPreset> m_customProfiles;
    Logger m_log{"AppAware"};
};

} // namespace qv
