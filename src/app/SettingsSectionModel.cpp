#include "app/SettingsSectionModel.h"

#include "platform/HotKeyAvailability.h"
#include "runtime/ShownText.h"

#include "app/QuellvistaApp.h"
#include "comfort/BatteryMonitor.h"
#include "design/AppAppearanceMode.h"
#include "design/Theme.h"
#include "app/GlobalShortcuts.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/FontSmoothingController.h"
#include "platform/Panels.h"
#include "platform/Platform.h"

#include <QLocale>
#include <QVariantMap>

namespace qv {

namespace {
constexpr double kSurfaceTextureAmount = 0.55;
// Longer values keep their two ends; the cell elides the middle of what is left.
constexpr qsizetype kMaxShownValueLength = 240;

// A registry text as one line of plain text of bounded length.
QString shownValue(QString value)
{
    value = showntext::inert(value);
    for (QChar &c : value)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    if (value.size() > kMaxShownValueLength) {
        const qsizetype half = kMaxShownValueLength / 2;
        value = value.left(half) + QStringLiteral("\u2026") + value.right(half);
    }
    return value;
}
} // namespace

// ---- SettingsToggleRow ----

SettingsToggleRow::SettingsToggleRow(Behaviour behaviour, QObject *parent)
    : QObject(parent), m_behaviour(std::move(behaviour))
{
    update();
}

QColor SettingsToggleRow::symbolColor() const
{
    return m_isOn ? m_tint : Theme::shared().textTertiary();
}

QColor SettingsToggleRow::fillColor() const
{
    return m_isOn ? Theme::withOpacity(m_tint, 0.1) : Theme::withOpacity(Qt::white, 0.035);
}

QColor SettingsToggleRow::strokeColor() const
{
    return m_isOn ? Theme::withOpacity(m_tint, 0.22) : Theme::withOpacity(Theme::shared().divider(), 0.45);
}

void SettingsToggleRow::setOn(bool on)
{
    if (m_switchable && m_behaviour.write)
        m_behaviour.write(on);
    update();
}

void SettingsToggleRow::update()
{
    const QString symbol = m_behaviour.symbol();
    const QString detail = m_behaviour.detail();
    const QColor tint = m_behaviour.tint();
    const bool isOn = m_behaviour.read();
    const bool shown = !m_behaviour.shown || m_behaviour.shown();
    const bool switchable = !m_behaviour.switchable || m_behaviour.switchable();
    // The appearance changes the colours the row derives from the tokens.
    const bool dark = Theme::shared().isDark();
    if (symbol == m_symbol && detail == m_detail && tint == m_tint && isOn == m_isOn && shown == m_shown &&
        switchable == m_switchable && dark == m_dark)
        return;
    m_switchable = switchable;
    m_dark = dark;
    m_symbol = symbol;
    m_detail = detail;
    m_tint = tint;
    m_isOn = isOn;
    m_shown = shown;
    emit changed();
}

// ---- SettingsSectionModel ----

SettingsSectionModel::SettingsSectionModel(QObject *parent)
    : QObject(parent), m_appearanceRaw(settings::appAppearanceMode)
{
    // The application's models; a page shown without an application object (a render of
    // the view alone) uses models of its own.
    if (QuellvistaApp *app = QuellvistaApp::current()) {
        m_fontSmoothing = &app->fontSmoothing();
        m_batteryMonitor = &app->battery();
        m_batteryAwareDim = app->batteryAwareDimEnabled();
    } else {
        m_ownFontSmoothing = std::make_unique<FontSmoothingController>();
        m_ownBattery = std::make_unique<BatteryMonitor>();
        m_ownBatteryAwareDim = std::make_unique<StoredSetting>(settings::batteryAwareDimEnabled);
        m_fontSmoothing = m_ownFontSmoothing.get();
        m_batteryMonitor = m_ownBattery.get();
        m_batteryAwareDim = m_ownBatteryAwareDim.get();
    }
    DisplayTuning &tuning = DisplayTuning::shared();
    ComfortVeilController &veil = ComfortVeilController::shared();
    Theme &theme = Theme::shared();
    FontSmoothingController *fontSmoothing = m_fontSmoothing;
    BatteryMonitor *battery = m_batteryMonitor;
    StoredSetting *dim = m_batteryAwareDim;
    const auto onOff = [](bool on) { return on ? QStringLiteral("On") : QStringLiteral("Off"); };
    const auto fixed = [](const char *text) { return [text] { return QString::fromLatin1(text); }; };
    const auto accent = [&theme] { return theme.accent(); };

    m_ambient = new SettingsToggleRow(
        {QStringLiteral("Adapt to room light"), fixed("sensor.tag.radiowaves.forward"), accent,
         [&tuning] { return tuning.ambientAwareComfortEnabled(); }, [&tuning] { return tuning.ambientComfortLabel(); },
         [&tuning](bool on) { tuning.setAmbientAwareComfortEnabled(on); }, {}, {}},
        this);
    // Where the desktop does not let overlays draw over other windows, the veil's rows say so.
    const auto overlayLimitation = [] {
        return platform().panels ? platform().panels->overlayLimitation() : QString();
    };
    m_texture = new SettingsToggleRow({QStringLiteral("Surface texture"), fixed("square.grid.3x3.fill"),
                                       [] { return Theme::brandTeal(); },
                                       [&veil] { return veil.microtextureEnabled(); },
                                       [&veil, onOff, overlayLimitation] {
                                           const QString limitation = overlayLimitation();
                                           return limitation.isEmpty() ? onOff(veil.microtextureEnabled()) : limitation;
                                       },
                                       [](bool on) { applySurfaceTexture(on); }, {},
                                       [overlayLimitation] { return overlayLimitation().isEmpty(); }},
                                      this);
    m_crisperText = new SettingsToggleRow(
        {QStringLiteral("Crisper text"), fixed("textformat"), accent, [fontSmoothing] { return fontSmoothing->isDisabled(); },
         [fontSmoothing] {
             return fontSmoothingStatus(fontSmoothing->lastToggleTime().isValid(), fontSmoothing->isDisabled(),
                                        fontSmoothing->isAvailable(), fontSmoothing->failure());
         },
         [fontSmoothing](bool on) { fontSmoothing->setDisabled(on); }, {},
         [fontSmoothing] { return fontSmoothing->isAvailable(); }},
        this);
    m_battery = new SettingsToggleRow(
        {QStringLiteral("Battery-aware dimming"),
         [battery] { return battery->isOnBattery() ? QStringLiteral("battery.50") : QStringLiteral("bolt.fill"); },
         [&theme] { return theme.accentTint(); }, [dim] { return dim->value().toBool(); },
         [dim, battery] { return batteryDetail(dim->value().toBool(), battery->isOnBattery(), battery->percentRemaining()); },
         [dim](bool on) { dim->setValue(on); }, {}, {}},
        this);
    m_sidecar = new SettingsToggleRow({QStringLiteral("Sidecar comfort fallback"), fixed("ipad.landscape"), accent,
                                       [&tuning] { return tuning.sidecarOverlayEnabled(); },
                                       [&tuning, onOff, overlayLimitation] {
                                           const QString limitation = overlayLimitation();
                                           return limitation.isEmpty() ? onOff(tuning.sidecarOverlayEnabled())
                                                                       : limitation;
                                       },
                                       [&tuning](bool on) { tuning.setSidecarOverlayEnabled(on); },
                                       [&tuning] { return tuning.hasSidecarDisplay(); },
                                       [overlayLimitation] { return overlayLimitation().isEmpty(); }},
                                      this);

    // Each published change of the models redraws the rows.
    for (auto signal : {&DisplayTuning::ambientAwareComfortEnabledChanged, &DisplayTuning::ambientComfortLevelChanged,
                        &DisplayTuning::ambientLightStatusChanged, &DisplayTuning::sidecarOverlayEnabledChanged})
        connect(&tuning, signal, this, &SettingsSectionModel::updateRows);
    connect(&veil, &ComfortVeilController::microtextureEnabledChanged, this, &SettingsSectionModel::updateRows);
    connect(fontSmoothing, &FontSmoothingController::isDisabledChanged, this, &SettingsSectionModel::updateRows);
    connect(fontSmoothing, &FontSmoothingController::lastToggleTimeChanged, this, &SettingsSectionModel::updateRows);
    connect(fontSmoothing, &FontSmoothingController::isAvailableChanged, this, &SettingsSectionModel::updateRows);
    connect(fontSmoothing, &FontSmoothingController::failureChanged, this, &SettingsSectionModel::updateRows);
    connect(battery, &BatteryMonitor::isOnBatteryChanged, this, &SettingsSectionModel::updateRows);
    connect(battery, &BatteryMonitor::percentRemainingChanged, this, &SettingsSectionModel::updateRows);
    connect(dim, &StoredSetting::valueChanged, this, &SettingsSectionModel::updateRows);
    // A display that comes or goes may be a Sidecar display.
    connect(&DisplayEngine::shared(), &DisplayEngine::connectedDisplaysChanged, this, &SettingsSectionModel::updateRows);
    connect(&theme, &Theme::appearanceChanged, this, [this] {
        updateRows();
        emit diagnosticsChanged(); // the dimmed value colour
    });
    connect(&m_appearanceRaw, &StoredSetting::valueChanged, this, &SettingsSectionModel::appearanceChanged);
    connect(&HotKeyAvailability::shared(), &HotKeyAvailability::changed, this, &SettingsSectionModel::hotKeysChanged);
}

QString SettingsSectionModel::hotKeysDetail() const
{
    const HotKeyAvailability &keys = HotKeyAvailability::shared();
    return hotKeysDetail(keys.way(), keys.unavailable());
}

QString SettingsSectionModel::hotKeysDetail(HotKeyWay way, const QMap<int, ResultCode> &unavailable)
{
    QString text;
    switch (way) {
    case HotKeyWay::pending: text = QStringLiteral("Asking the desktop how it passes hot keys on"); break;
    case HotKeyWay::systemWide: text = QStringLiteral("They work whichever app is in front"); break;
    case HotKeyWay::portal:
        text = QStringLiteral("Through the desktop portal's global shortcuts, whichever app is in front");
        break;
    case HotKeyWay::keyGrabs: text = QStringLiteral("Key grabs of the X server, whichever app is in front"); break;
    case HotKeyWay::xwaylandKeyGrabs:
        text = QStringLiteral("Key grabs of XWayland: they act only while an X11 window has the keyboard");
        break;
    case HotKeyWay::none: return QStringLiteral("This desktop passes no hot keys to applications");
    }
    const QString missing = GlobalShortcuts::unavailableSummary(unavailable);
    return missing.isEmpty() ? text : text + QStringLiteral(". ") + missing;
}

SettingsSectionModel::~SettingsSectionModel() = default;

QStringList SettingsSectionModel::appearanceOptions()
{
    return {QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark")};
}

int SettingsSectionModel::appearanceIndex() const
{
    return int(allAppAppearanceModes().indexOf(Theme::appearanceModeFromStored(m_appearanceRaw.value())));
}

QString SettingsSectionModel::appearanceSymbol() const
{
    return Theme::appearanceModeFromStored(m_appearanceRaw.value()) == AppAppearanceMode::dark
               ? QStringLiteral("moon.fill")
               : QStringLiteral("sun.max.fill");
}

void SettingsSectionModel::chooseAppearance(int index)
{
    const QList<AppAppearanceMode> modes = allAppAppearanceModes();
    if (index < 0 || index >= modes.size())
        return;
    m_appearanceRaw.setValue(appAppearanceModeRawValue(modes.at(index)));
}

QString SettingsSectionModel::fontSmoothingStatus(bool changedThisRun, bool isDisabled, bool isAvailable,
                                                  const QString &failure)
{
    if (!isAvailable)
        return QStringLiteral("Not available on this desktop");
    if (!failure.isEmpty())
        return failure;
    if (changedThisRun)
        return QStringLiteral("Restart apps to see change");
    if (isDisabled)
        return QStringLiteral("Applies to newly opened apps");
    return QStringLiteral("System default");
}

QString SettingsSectionModel::batteryDetail(bool dimEnabled, bool onBattery, int percent)
{
    if (dimEnabled)
        return QStringLiteral("Dim on low battery");
    if (onBattery)
        return QStringLiteral("%1% battery").arg(percent);
    return QStringLiteral("Off");
}

void SettingsSectionModel::applySurfaceTexture(bool on)
{
    ComfortVeilController &veil = ComfortVeilController::shared();
    veil.setMicrotextureEnabled(on);
    if (!on)
        return;
    veil.setMicrotexture(kSurfaceTextureAmount);
    veil.setEnabled(true);
}

void SettingsSectionModel::updateRows()
{
    for (SettingsToggleRow *row : {m_ambient, m_texture, m_crisperText, m_battery, m_sidecar})
        row->update();
}

QString SettingsSectionModel::capturedTime() const
{
    if (!m_snapshot.capturedAt.isValid())
        return {};
    return QLocale().toString(m_snapshot.capturedAt.toLocalTime().time(), QLocale::ShortFormat);
}

QVariantList SettingsSectionModel::summaryTiles() const
{
    const auto tile = [](const QString &label, const QString &value) {
        return QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("value"), value}};
    };
    return {tile(QStringLiteral("Framebuffers"), framebufferCount()), tile(QStringLiteral("Captured"), capturedTime()),
            tile(QStringLiteral("Mode"), modeText())};
}

QVariantList SettingsSectionModel::diagnosticDisplays() const
{
    const Theme &theme = Theme::shared();
    const QColor exposed = theme.textSecondary();
    const QColor hidden = Theme::withOpacity(theme.textTertiary(), 0.72);
    QVariantList displays;
    for (const DeepDisplayDiagnosticDisplay &display : m_snapshot.displays) {
        QVariantList properties;
        for (const DeepDisplayDiagnosticProperty &property : display.properties)
            properties << QVariantMap{{QStringLiteral("key"), property.key},
                                      {QStringLiteral("label"), property.label},
                                      {QStringLiteral("value"), shownValue(property.value)},
                                      {QStringLiteral("valueColor"), property.isExposed ? exposed : hidden}};
        displays << QVariantMap{
            {QStringLiteral("id"), display.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("name"), shownValue(display.name)},
            {QStringLiteral("subtitle"), display.subtitle},
            {QStringLiteral("symbol"), display.isExternal ? QStringLiteral("display") : QStringLiteral("laptopcomputer")},
            {QStringLiteral("properties"), properties},
        };
    }
    return displays;
}

void SettingsSectionModel::pageShown()
{
    m_fontSmoothing->refresh();
    refreshDiagnostics();
}

void SettingsSectionModel::refreshDiagnostics()
{
    m_snapshot = DeepDisplayDiagnosticsSnapshot::capture();
    emit diagnosticsChanged();
    // The capture refreshed the display identities: a Sidecar display may have come or gone.
    updateRows();
}

} // namespace qv
