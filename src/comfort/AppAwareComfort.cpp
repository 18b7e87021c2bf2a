#include "comfort/AppAwareComfort.h"

#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "runtime/Scheduler.h"
#include "runtime/UserDefaults.h"

namespace qv {

const QHash<QString, ComfortPreset> &AppAwareComfort::defaultProfiles()
{
    static const QHash<QString, ComfortPreset> table = {
        {"com.figma.Desktop", ComfortPreset::colorWork},
        {"com.adobe.Photoshop", ComfortPreset::colorWork},
        {"com.adobe.illustrator", ComfortPreset::colorWork},
        {"com.adobe.Lightroom7", ComfortPreset::colorWork},
        {"com.adobe.LightroomClassicCC7", ComfortPreset::colorWork},
        {"com.apple.dt.Xcode", ComfortPreset::focus},
        {"com.microsoft.VSCode", ComfortPreset::focus},
        {"com.todesktop.230313mzl4w4u92", ComfortPreset::focus},
        {"com.apple.Terminal", ComfortPreset::focus},
        {"com.googlecode.iterm2", ComfortPreset::focus},
        {"com.microsoft.Word", ComfortPreset::reading},
        {"com.google.Chrome", ComfortPreset::reading},
        {"com.apple.Safari", ComfortPreset::reading},
        {"company.thebrowser.Browser", ComfortPreset::reading},
        {"com.apple.mail", ComfortPreset::reading},
        {"com.apple.Notes", ComfortPreset::reading},
        {"notion.id", ComfortPreset::reading},
        {"obsidian.md", ComfortPreset::reading},
        // The same applications on a Linux desktop, by their desktop-entry ids.
        {"code", ComfortPreset::focus},
        {"cursor", ComfortPreset::focus},
        {"org.gnome.Terminal", ComfortPreset::focus},
        {"google-chrome", ComfortPreset::reading},
        {"obsidian", ComfortPreset::reading},
    };
    return table;
}

AppAwareComfort::AppAwareComfort(QObject *parent) : QObject(parent)
{
    loadCustomProfiles();
    if (Workspace *workspace = platform().workspace)
        connect(workspace, &Workspace::applicationActivated, this, [this] { activeAppChanged(); });
    refresh(false);
}

AppAwareComfort::~AppAwareComfort() = default;

// The stored dictionary maps bundle identifiers to preset identifiers (earlier ones
// included). A value that is not text makes the whole dictionary unusable; an identifier
// that names no preset drops its entry. The stored value itself is left as it is.
void AppAwareComfort::loadCustomProfiles()
{
    const QString key = QString::fromLatin1(storageKey);
    const UserDefaults &defaults = UserDefaults::standard();
    const std::optional<QVariantMap> stored = defaults.dictionaryValue(key);
    if (!stored) {
        if (defaults.object(key).isValid())
            m_log.error("Ignoring app assignments: the stored value is not a dictionary");
        return;
    }
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        if (it.value().typeId() != QMetaType::QString) {
            m_log.error("Ignoring all app assignments: the value for \"%s\" is not text", qUtf8Printable(it.key()));
            return;
        }
    }
    QHash<QString, ComfortPreset> loaded;
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        const QString text = it.value().toString();
        // A desktop-entry id may be given with its file name's ending; the front
        // application's id comes without it.
        QString identifier = it.key();
        if (identifier.endsWith(QLatin1String(".desktop")) && identifier.size() > 8)
            identifier.chop(8);
        if (const std::optional<ComfortPreset> preset = resolvePresetIdentifier(text))
            loaded.insert(identifier, *preset);
        else
            m_log.error("Ignoring the app assignment for \"%s\": \"%s\" names no preset", qUtf8Printable(it.key()),
                        qUtf8Printable(text));
    }
    if (loaded != m_customProfiles) {
        m_customProfiles = loaded;
        emit customProfilesChanged();
    }
}

QVariantMap AppAwareComfort::customProfileMap() const
{
    QVariantMap map;
    for (auto it = m_customProfiles.cbegin(); it != m_customProfiles.cend(); ++it)
        map.insert(it.key(), rawValue(it.value()));
    return map;
}

ComfortPreset AppAwareComfort::profile(const QString &bundleID) const
{
    if (const auto custom = m_customProfiles.constFind(bundleID); custom != m_customProfiles.cend())
        return custom.value();
    return defaultProfiles().value(bundleID, ComfortPreset::neutral);
}

void AppAwareComfort::activeAppChanged()
{
    scheduler().post(this, [this] { refresh(false); });
}

namespace {

// Sets a published field and notifies when the value is new.
template <typename T>
void publish(AppAwareComfort *owner, T &field, const T &value, void (AppAwareComfort::*changed)())
{
    if (field == value)
        return;
    field = value;
    (owner->*changed)();
}

} // namespace

void AppAwareComfort::refresh(bool force)
{
    Workspace *workspace = platform().workspace;
    if (!workspace)
        return;
    const std::optional<RunningApplication> front = workspace->frontmostApplication();
    if (!front || !front->bundleIdentifier)
        return;
    const QString bundleID = *front->bundleIdentifier;
    const QString previousBundleID = m_currentAppBundleID;
    const ComfortPreset previousProfile = m_currentProfile;

    const QString name = front->localizedName.value_or(bundleID);
    const ComfortPreset preset = profile(bundleID);
    const QString message = preset == ComfortPreset::neutral ? name + QStringLiteral(": no automatic profile")
                                                             : name + QStringLiteral(": ") + rawValue(preset);
    publish(this, m_currentAppBundleID, bundleID, &AppAwareComfort::currentAppBundleIDChanged);
    publish(this, m_currentAppName, name, &AppAwareComfort::currentAppNameChanged);
    publish(this, m_currentProfile, preset, &AppAwareComfort::currentProfileChanged);
    publish(this, m_lastSwitchMessage, message, &AppAwareComfort::lastSwitchMessageChanged);

    if (!force && bundleID == previousBundleID && preset == previousProfile)
        return;
    if (onProfileChange)
        onProfileChange(bundleID, preset);
}

} // namespace qv
