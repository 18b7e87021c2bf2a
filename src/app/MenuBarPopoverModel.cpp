#include "app/MenuBarPopoverModel.h"

#include "app/AppUpdater.h"
#include "app/CheckableMenuEntries.h"
#include "app/GlobalShortcuts.h"
#include "app/QuellvistaApp.h"
#include "comfort/PresetManager.h"
#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/IORegistryPropertyHelper.h"
#include "display/ProtectionStatus.h"
#include "platform/HotKeyAvailability.h"
#include "platform/MachineWords.h"
#include "runtime/StoredSetting.h"
#include "wellness/BreakReminder.h"

#include <QApplication>
#include <QMenu>

namespace qv {

namespace {

bool settingOn(StoredSetting *setting)
{
    return setting->value().toBool();
}

QVariantMap gearToggle(const QString &id, const QString &title, bool checked, bool enabled = true)
{
    return {{QStringLiteral("kind"), QStringLiteral("toggle")}, {QStringLiteral("id"), id},
            {QStringLiteral("title"), title}, {QStringLiteral("checked"), checked && enabled},
            {QStringLiteral("enabled"), enabled}};
}

QVariantMap gearButton(const QString &id, const QString &title, bool enabled = true)
{
    return {{QStringLiteral("kind"), QStringLiteral("button")}, {QStringLiteral("id"), id},
            {QStringLiteral("title"), title}, {QStringLiteral("checked"), false},
            {QStringLiteral("enabled"), enabled}};
}

QVariantMap gearDivider()
{
    return {{QStringLiteral("kind"), QStringLiteral("divider")}};
}

} // namespace

QString favoriteSymbol(ComfortPreset preset)
{
    switch (preset) {
    case ComfortPreset::neutral:
        return QStringLiteral("circle");
    case ComfortPreset::reading:
        return QStringLiteral("book");
    case ComfortPreset::focus:
        return QStringLiteral("brain.head.profile");
    case ComfortPreset::evening:
        return QStringLiteral("moon.stars");
    case ComfortPreset::lowStimulus:
        return QStringLiteral("eye.trianglebadge.exclamationmark");
    case ComfortPreset::colorWork:
        return QStringLiteral("paintpalette");
    case ComfortPreset::pwmSafe:
        return QStringLiteral("waveform.path.ecg");
    }
    return QStringLiteral("circle");
}

MenuBarPopoverModel::MenuBarPopoverModel(QObject *parent) : MenuBarPopoverModel(nullptr, parent) {}

MenuBarPopoverModel::MenuBarPopoverModel(QuellvistaApp *app, QObject *parent) : QObject(parent)
{
    watch(app ? app : QuellvistaApp::current());
}

QuellvistaApp *MenuBarPopoverModel::app() const
{
    return m_app.data();
}

void MenuBarPopoverModel::watch(QuellvistaApp *app)
{
    m_app = app;
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &MenuBarPopoverModel::changed);
    // The favourites' hot keys say when they cannot be pressed.
    connect(&HotKeyAvailability::shared(), &HotKeyAvailability::changed, this, &MenuBarPopoverModel::changed);
    if (!app)
        return;
    m_protections = std::make_unique<ProtectionStatus>(DisplayTuning::shared(), nullptr);
    connect(m_protections.get(), &ProtectionStatus::changed, this, &MenuBarPopoverModel::changed);
    for (StoredSetting *setting : {app->disableDithering(), app->disableUniformity2D(), app->pwmAvoidanceEnabled(),
                                   app->showBreakTimer()})
        connect(setting, &StoredSetting::valueChanged, this, &MenuBarPopoverModel::changed);
    PresetManager &presets = app->presets();
    for (auto signal : {&PresetManager::activePresetChanged, &PresetManager::activeSavedProfileIDChanged,
                        &PresetManager::savedProfilesChanged, &PresetManager::favoritePresetIDsChanged,
                        &PresetManager::favoriteSavedProfileIDsChanged, &PresetManager::activeSelectionNameChanged,
                        &PresetManager::renamedPresetNamesChanged})
        connect(&presets, signal, this, &MenuBarPopoverModel::changed);
    connect(&app->appUpdater(), &AppUpdater::canCheckForUpdatesChanged, this, &MenuBarPopoverModel::changed);
    BreakReminder &reminder = app->breakReminder();
    connect(&reminder, &BreakReminder::isEnabledChanged, this, &MenuBarPopoverModel::changed);
    for (auto signal : {&BreakReminder::secondsUntilBreakChanged, &BreakReminder::totalBreaksTakenTodayChanged,
                        &BreakReminder::totalScreenTimeTodayChanged})
        connect(&reminder, signal, this, &MenuBarPopoverModel::breakFiguresChanged);
}

// ---- status header ----

int MenuBarPopoverModel::activeProtectionCount() const
{
    // Only protections that act on the screen count (ProtectionStatus).
    return m_protections ? m_protections->activeCount() : 0;
}

QString MenuBarPopoverModel::statusTitle() const
{
    return m_protections ? m_protections->title() : tr("Protection off");
}

QString MenuBarPopoverModel::statusSubtitle() const
{
    return m_protections ? m_protections->countLine() : QString();
}

double MenuBarPopoverModel::logoOpacity() const
{
    return m_protections && m_protections->anyActs() ? 1.0 : 0.55;
}

// ---- comfort switch ----

bool MenuBarPopoverModel::isComfortTuningOn() const
{
    QuellvistaApp *a = app();
    if (!a)
        return false;
    return a->presets().activeSavedProfileID().has_value() || a->presets().activePreset() != ComfortPreset::neutral;
}

QString MenuBarPopoverModel::comfortLabel() const
{
    return isComfortTuningOn() ? tr("On") : tr("Off");
}

QColor MenuBarPopoverModel::comfortLabelColor() const
{
    return isComfortTuningOn() ? Theme::shared().accent() : Theme::shared().textSecondary();
}

QString MenuBarPopoverModel::comfortToolTip() const
{
    return isComfortTuningOn() ? tr("Turn comfort tuning off") : tr("Turn comfort tuning on");
}

void MenuBarPopoverModel::setComfortTuning(bool on)
{
    QuellvistaApp *a = app();
    if (!a)
        return;
    PresetManager &presets = a->presets();
    if (!on) {
        if (presets.activeSavedProfileID()) {
            m_lastEnabledSavedProfileID = presets.activeSavedProfileID();
        } else if (presets.activePreset() != ComfortPreset::neutral) {
            m_lastEnabledPreset = presets.activePreset();
            m_lastEnabledSavedProfileID.reset();
        }
        presets.applyPreset(ComfortPreset::neutral, true);
        return;
    }
    if (m_lastEnabledSavedProfileID) {
        if (const auto profile = presets.savedProfile(*m_lastEnabledSavedProfileID)) {
            presets.applySavedProfile(*profile, true);
            return;
        }
    }
    presets.applyPreset(m_lastEnabledPreset == ComfortPreset::neutral ? ComfortPreset::focus : m_lastEnabledPreset,
                        true);
}

// ---- "Mode" and favourites ----

QString MenuBarPopoverModel::modeText() const
{
    QuellvistaApp *a = app();
    return a ? SavedComfortProfile::shownName(a->presets().activeSelectionName()) : QString();
}

QVariantList MenuBarPopoverModel::favorites() const
{
    QuellvistaApp *a = app();
    if (!a)
        return {};
    const Theme &theme = Theme::shared();
    const PresetManager &presets = a->presets();
    const auto row = [&theme](const QString &kind, const QString &key, const QString &symbol, const QString &name,
                              const QString &hint, bool active) {
        return QVariantMap{
            {QStringLiteral("kind"), kind},
            {QStringLiteral("key"), key},
            {QStringLiteral("symbol"), symbol},
            {QStringLiteral("name"), name},
            {QStringLiteral("hint"), hint},
            {QStringLiteral("active"), active},
            {QStringLiteral("fillColor"),
             active ? Theme::withOpacity(theme.accentSoft(), 0.58) : QColor::fromRgbF(0, 0, 0, theme.isDark() ? 0.2f : 0.05f)},
            {QStringLiteral("outlineColor"), QColor::fromRgbF(1, 1, 1, active ? 0.22f : 0.12f)},
            {QStringLiteral("symbolColor"),
             active ? theme.accent() : Theme::withOpacity(theme.textPrimary(), 0.86)},
            {QStringLiteral("leadingPadding"), active ? 13 : 10},
            {QStringLiteral("fillRadius"), kind == QLatin1String("profile") ? 6 : 7},
        };
    };
    QVariantList rows;
    const std::optional<QUuid> activeProfile = presets.activeSavedProfileID();
    for (ComfortPreset preset : presets.menuBarPresets())
        rows << row(QStringLiteral("preset"), rawValue(preset), favoriteSymbol(preset),
                    SavedComfortProfile::shownName(presets.displayName(preset)), GlobalShortcuts::hint(preset),
                    !activeProfile && presets.activePreset() == preset);
    for (const SavedComfortProfile &profile : presets.menuBarSavedProfiles())
        rows << row(QStringLiteral("profile"), profile.id.toString(QUuid::WithoutBraces),
                    QStringLiteral("slider.horizontal.3"), SavedComfortProfile::shownName(profile.name), QString(), activeProfile == profile.id);
    return rows;
}

bool MenuBarPopoverModel::showsFavoritesHint() const
{
    QuellvistaApp *a = app();
    return !a || (a->presets().menuBarPresets().isEmpty() && a->presets().menuBarSavedProfiles().isEmpty());
}

double MenuBarPopoverModel::favoritesHeight() const
{
    QuellvistaApp *a = app();
    const qsizetype count = a ? a->presets().menuBarPresets().size() + a->presets().menuBarSavedProfiles().size() : 0;
    return count == 0 ? 0 : count * favoriteRowPitch() - kFavoriteRowSpacing;
}

void MenuBarPopoverModel::activateFavorite(int index)
{
    QuellvistaApp *a = app();
    if (!a)
        return;
    PresetManager &presets = a->presets();
    const QList<ComfortPreset> favouritePresets = presets.menuBarPresets();
    if (index >= 0 && index < favouritePresets.size()) {
        presets.applyPreset(favouritePresets.at(index), true);
        return;
    }
    const QList<SavedComfortProfile> profiles = presets.menuBarSavedProfiles();
    index -= int(favouritePresets.size());
    if (index >= 0 && index < profiles.size())
        presets.applySavedProfile(profiles.at(index), true);
}

// ---- break section ----

bool MenuBarPopoverModel::breakRemindersOn() const
{
    QuellvistaApp *a = app();
    return a && a->breakReminder().isEnabled();
}

QString MenuBarPopoverModel::nextBreakText() const
{
    QuellvistaApp *a = app();
    return a ? tr("%1 min").arg(a->breakReminder().secondsUntilBreak() / 60) : QString();
}

QString MenuBarPopoverModel::breaksTodayText() const
{
    QuellvistaApp *a = app();
    return a ? QString::number(a->breakReminder().totalBreaksTakenToday()) : QString();
}

QString MenuBarPopoverModel::screenTimeText() const
{
    QuellvistaApp *a = app();
    return a ? a->breakReminder().formattedScreenTimeToday() : QString();
}

void MenuBarPopoverModel::resetTimer()
{
    if (QuellvistaApp *a = app())
        a->breakReminder().setSecondsUntilBreak(a->breakReminder().workIntervalMinutes() * 60);
}

void MenuBarPopoverModel::pauseForOneHour()
{
    if (QuellvistaApp *a = app())
        a->breakReminder().setSecondsUntilBreak(a->breakReminder().secondsUntilBreak() + 3600);
}

void MenuBarPopoverModel::setBreakRemindersOn(bool on)
{
    if (QuellvistaApp *a = app())
        a->breakReminder().setIsEnabled(on);
}

// ---- gear menu ----

QVariantList MenuBarPopoverModel::gearMenuItems() const
{
    QuellvistaApp *a = app();
    if (!a)
        return {};
    QVariantList items{
        // Ticked while it acts on the screen, as the status header counts it.
        gearToggle(QStringLiteral("dithering"), tr("Dithering protection"), m_protections->ditheringActs(),
                   DisplayEngine::framebufferProtectionsAvailable()),
        gearToggle(QStringLiteral("pwm"), tr("PWM avoidance"), m_protections->pwmActs()),
        gearToggle(QStringLiteral("uniformity"), tr("Edge uniformity"), m_protections->uniformityActs(),
                   DisplayEngine::framebufferProtectionsAvailable()),
        gearDivider(),
    };
    if (breakRemindersOn()) {
        items << gearToggle(QStringLiteral("breakReminders"), tr("Break reminders"), true)
              << gearToggle(QStringLiteral("showBreakTimer"), machineWords().say(MacText::showTimerInMenuBar, tr("Show timer in menu bar")),
                            settingOn(a->showBreakTimer()));
    } else {
        items << gearButton(QStringLiteral("turnOnBreakReminders"), turnOnRemindersTitle());
    }
    items << gearDivider() << gearButton(QStringLiteral("checkForUpdates"), tr("Check for Updates..."),
                                         canCheckForUpdates())
          << gearDivider() << gearButton(QStringLiteral("quit"), tr("Quit Quellvista"));
    return items;
}

void MenuBarPopoverModel::setDitheringProtection(bool on)
{
    QuellvistaApp *a = app();
    if (!a)
        return;
    a->disableDithering()->setValue(on);
    a->engine().setDither(!on, DisplayEngine::Target::all());
}

void MenuBarPopoverModel::setPwmAvoidance(bool on)
{
    QuellvistaApp *a = app();
    if (!a)
        return;
    a->pwmAvoidanceEnabled()->setValue(on);
    if (on)
        a->engine().enablePWMAvoidance(0.55);
    else
        a->engine().disablePWMAvoidance();
}

void MenuBarPopoverModel::setEdgeUniformity(bool on)
{
    QuellvistaApp *a = app();
    if (!a)
        return;
    a->disableUniformity2D()->setValue(on);
    a->engine().applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(!on)}},
                                DisplayEngine::Target::builtIn());
}

void MenuBarPopoverModel::setShowBreakTimer(bool on)
{
    if (QuellvistaApp *a = app())
        a->showBreakTimer()->setValue(on);
}

bool MenuBarPopoverModel::canCheckForUpdates() const
{
    QuellvistaApp *a = app();
    return a && a->appUpdater().canCheckForUpdates() && !a->appUpdater().usesPlaceholderFeed();
}

void MenuBarPopoverModel::checkForUpdates()
{
    // The updater ignores a press while its check runs.
    if (QuellvistaApp *a = app())
        a->appUpdater().checkForUpdates();
}

void MenuBarPopoverModel::triggerGearItem(const QString &id, bool checked)
{
    if (id == QLatin1String("dithering"))
        setDitheringProtection(checked);
    else if (id == QLatin1String("pwm"))
        setPwmAvoidance(checked);
    else if (id == QLatin1String("uniformity"))
        setEdgeUniformity(checked);
    else if (id == QLatin1String("breakReminders"))
        setBreakRemindersOn(checked);
    else if (id == QLatin1String("turnOnBreakReminders"))
        setBreakRemindersOn(true);
    else if (id == QLatin1String("showBreakTimer"))
        setShowBreakTimer(checked);
    else if (id == QLatin1String("checkForUpdates"))
        checkForUpdates();
    else if (id == QLatin1String("quit"))
        quit();
}

void MenuBarPopoverModel::popUpGearMenu(qreal globalX, qreal globalY)
{
    // Menus of the desktop need the widgets application; without it there is no menu.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    installCheckableMenuEntries();
    auto *menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<MenuBarPopoverModel> self(this);
    for (const QVariant &entry : gearMenuItems()) {
        const QVariantMap item = entry.toMap();
        if (item.value(QStringLiteral("kind")) == QLatin1String("divider")) {
            menu->addSeparator();
            continue;
        }
        // Made whole before the menu holds it: assistive technology reads it as it is then.
        auto *action = new QAction(item.value(QStringLiteral("title")).toString(), menu);
        action->setEnabled(item.value(QStringLiteral("enabled")).toBool());
        if (item.value(QStringLiteral("kind")) == QLatin1String("toggle")) {
            action->setCheckable(true);
            action->setChecked(item.value(QStringLiteral("checked")).toBool());
        }
        menu->addAction(action);
        const QString id = item.value(QStringLiteral("id")).toString();
        connect(action, &QAction::triggered, this, [self, id](bool checked) {
            if (self)
                self->triggerGearItem(id, checked);
        });
    }
    menu->popup(QPoint(qRound(globalX), qRound(globalY)));
    // The keyboard and assistive technology start on the first entry it can choose.
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator() && action->isEnabled()) {
            menu->setActiveAction(action);
            break;
        }
    }
}

void MenuBarPopoverModel::quit()
{
    if (QuellvistaApp *a = app())
        a->quit();
}

QColor MenuBarPopoverModel::panelVeil() const
{
    return QColor::fromRgbF(0, 0, 0, Theme::shared().isDark() ? 0.36f : 0.05f);
}

QColor MenuBarPopoverModel::actionButtonFill(bool pressed)
{
    // As with the panel's veil, the light appearance takes a lighter plate.
    const float scale = Theme::shared().isDark() ? 1.0f : 0.3f;
    return QColor::fromRgbF(0, 0, 0, (pressed ? 0.16f : 0.22f) * scale);
}

QColor MenuBarPopoverModel::actionButtonStroke(bool pressed)
{
    return QColor::fromRgbF(1, 1, 1, pressed ? 0.1f : 0.16f);
}

void MenuBarPopoverModel::openMainWindow()
{
    if (QuellvistaApp *a = app())
        a->openMainWindow();
}

} // namespace qv
