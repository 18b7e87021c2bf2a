#include "pages/display_comfort/DisplayTuningPanelModel.h"

#include "runtime/ShownText.h"

#include "design/Theme.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayTuning.h"
#include "platform/Displays.h"
#include "platform/Panels.h"
#include "platform/Platform.h"
#include "runtime/Clamp.h"

#include <QVariantMap>

namespace qv {

QString DisplayTuningPanelModel::formulaNote()
{
    QString note;
    if (Displays *displays = platform().displays)
        note = displays->transferFormulaNote();
    if (DisplayTuning::formulasReachScreens())
        return note;
    if (note.isEmpty())
        note = QStringLiteral("The display's formula cannot be applied here: this desktop gives no way to set it.");
    // What is left where the formula reaches no screen: the comfort veil, where this
    // desktop shows it (panels that can draw over other windows, and a screen to cover).
    const bool veilShown = platform().panels && platform().panels->overlayLimitation().isEmpty()
                           && !ComfortVeilController::screensByDisplayID().isEmpty();
    return note + (veilShown ? QStringLiteral(" The comfort veil can still soften the screen.")
                             : QStringLiteral(" Nothing carries the tuning here: this desktop does not show the "
                                              "comfort veil either."));
}

// ---- one row ----

TuningRowModel::TuningRowModel(TuningRow row, DisplayTuningPanelModel *panel)
    : QObject(panel), m_row(row), m_info(tuningRowInfo(row)), m_panel(panel),
      m_coalescer([this](double v) { write(v); })
{
}

double TuningRowModel::value() const
{
    const DisplayTuning &t = m_panel->tuning();
    const ComfortVeilController &v = m_panel->veil();
    double raw = 0;
    switch (m_row) {
    case TuningRow::brightness: raw = t.brightness(); break;
    case TuningRow::warmth: raw = t.warmth(); break;
    case TuningRow::blackLift: raw = t.contrastReduction(); break;
    case TuningRow::softWhites: raw = t.softWhite(); break;
    case TuningRow::highlightCompression: raw = t.highlightCompression(); break;
    case TuningRow::colorCalm: raw = v.colorCalm(); break;
    case TuningRow::peripheralSoftening: raw = v.peripheralSoftening(); break;
    case TuningRow::screenUniformity: raw = v.highlightDampening(); break;
    }
    return sliderValue(m_row, raw);
}

QString TuningRowModel::valueText() const
{
    return tuningValueText(m_row, value());
}

QColor TuningRowModel::accent() const
{
    return tuningAccent(m_row, value(), m_panel->tuning().noBlueModeEnabled(), m_panel->palette());
}

QColor TuningRowModel::symbolColor() const
{
    if (m_info.veil && veilAmountIsOn(value()))
        return accent();
    return m_panel->palette().textSecondary;
}

QColor TuningRowModel::valueColor() const
{
    if (m_info.veil && !veilAmountIsOn(value()))
        return m_panel->palette().textTertiary;
    return accent();
}

void TuningRowModel::move(double value)
{
    m_coalescer.submit(sliderValue(m_row, value));
}

void TuningRowModel::setDragging(bool dragging)
{
    m_coalescer.setDragging(dragging);
}

void TuningRowModel::write(double value)
{
    DisplayTuning &t = m_panel->tuning();
    ComfortVeilController &v = m_panel->veil();
    if (!m_info.veil) {
        // Tuning switches itself on before the value arrives (and stays on at the
        // slider's lowest position).
        if (!t.enabled())
            t.setEnabled(true);
        switch (m_row) {
        case TuningRow::brightness: t.setBrightness(value); break;
        case TuningRow::warmth: t.setWarmth(value); break;
        case TuningRow::blackLift: t.setContrastReduction(value); break;
        case TuningRow::softWhites: t.setSoftWhite(value); break;
        case TuningRow::highlightCompression: t.setHighlightCompression(value); break;
        default: break;
        }
        return;
    }
    // The amount, then its effect switch, then the veil's master switch (only ever on).
    const bool on = veilAmountIsOn(value);
    switch (m_row) {
    case TuningRow::colorCalm:
        v.setColorCalm(value);
        v.setColorCalmEnabled(on);
        break;
    case TuningRow::peripheralSoftening:
        v.setPeripheralSoftening(value);
        v.setPeripheralSofteningEnabled(on);
        break;
    case TuningRow::screenUniformity:
        v.setHighlightDampening(value);
        v.setHighlightDampeningEnabled(on);
        break;
    default: break;
    }
    if (on)
        v.setEnabled(true);
}

// ---- the panel ----

DisplayTuningPanelModel::DisplayTuningPanelModel(QObject *parent)
    : DisplayTuningPanelModel(DisplayTuning::shared(), ComfortVeilController::shared(), parent)
{
}

DisplayTuningPanelModel::DisplayTuningPanelModel(DisplayTuning &tuning, ComfortVeilController &veil, QObject *parent)
    : QObject(parent), m_tuning(&tuning), m_veil(&veil),
      m_palette(TuningPalette::current()),
      m_redCoalescer([this](double v) { m_tuning->setNoBlueIntensity(v); })
{
    for (TuningRow r : kTuningRows)
        m_rows << new TuningRowModel(r, this);
    // A change of a value shows in its row.
    auto follow = [this](auto *sender, auto signal, TuningRow r) {
        connect(sender, signal, this, [this, r] { emit row(r)->changed(); });
    };
    follow(m_tuning, &DisplayTuning::brightnessChanged, TuningRow::brightness);
    follow(m_tuning, &DisplayTuning::warmthChanged, TuningRow::warmth);
    follow(m_tuning, &DisplayTuning::contrastReductionChanged, TuningRow::blackLift);
    follow(m_tuning, &DisplayTuning::softWhiteChanged, TuningRow::softWhites);
    follow(m_tuning, &DisplayTuning::highlightCompressionChanged, TuningRow::highlightCompression);
    follow(m_tuning, &DisplayTuning::noBlueModeEnabledChanged, TuningRow::warmth);
    follow(m_veil, &ComfortVeilController::colorCalmChanged, TuningRow::colorCalm);
    follow(m_veil, &ComfortVeilController::peripheralSofteningChanged, TuningRow::peripheralSoftening);
    follow(m_veil, &ComfortVeilController::highlightDampeningChanged, TuningRow::screenUniformity);
    connect(m_tuning, &DisplayTuning::noBlueModeEnabledChanged, this, &DisplayTuningPanelModel::redChanged);
    connect(m_tuning, &DisplayTuning::redModeIntensityChanged, this, &DisplayTuningPanelModel::redChanged);
    connect(m_tuning, &DisplayTuning::selectedDisplayIDChanged, this, &DisplayTuningPanelModel::targetsChanged);
    connect(m_tuning, &DisplayTuning::targetsChanged, this, &DisplayTuningPanelModel::targetsChanged);
    // The formulas are applied after the change that asks for them: the note is read then.
    for (auto signal : {&DisplayTuning::enabledChanged, &DisplayTuning::brightnessChanged, &DisplayTuning::warmthChanged,
                        &DisplayTuning::selectedDisplayIDChanged})
        connect(m_tuning, signal, this, &DisplayTuningPanelModel::formulaNoteChanged, Qt::QueuedConnection);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &DisplayTuningPanelModel::appearanceChanged);
    // A back-end whose note changes by itself (a compositor's answer, the desktop's night
    // light) says so.
    if (auto *displays = dynamic_cast<QObject *>(platform().displays)) {
        if (displays->metaObject()->indexOfSignal("transferFormulaNoteChanged()") >= 0)
            connect(displays, SIGNAL(transferFormulaNoteChanged()), this, SIGNAL(formulaNoteChanged()));
    }
}

DisplayTuningPanelModel::~DisplayTuningPanelModel()
{
    // The rows hand a value still waiting on to the models while the panel is whole.
    qDeleteAll(m_rows);
}

void DisplayTuningPanelModel::appearanceChanged()
{
    m_palette = TuningPalette::current();
    rowsChanged();
    emit redChanged();
}

void DisplayTuningPanelModel::rowsChanged()
{
    for (TuningRowModel *r : m_rows)
        emit r->changed();
}

QVariantList DisplayTuningPanelModel::targets() const
{
    QVariantList list;
    for (const DisplayTuningTarget &target : m_tuning->availableTargets())
        list << QVariantMap{{QStringLiteral("action"), target.id},
                            {QStringLiteral("text"), showntext::inert(target.name)},
                            {QStringLiteral("symbol"), target.iconName}};
    return list;
}

QString DisplayTuningPanelModel::selectedTargetId() const
{
    return m_tuning->selectedTargetId();
}

QString DisplayTuningPanelModel::selectedTargetName() const
{
    return showntext::inert(m_tuning->selectedTargetName());
}

QString DisplayTuningPanelModel::selectedTargetSymbol() const
{
    const QString id = m_tuning->selectedTargetId();
    for (const DisplayTuningTarget &target : m_tuning->availableTargets())
        if (target.id == id)
            return target.iconName;
    return DisplayTuningTarget::all().iconName;
}

QString DisplayTuningPanelModel::pickerSymbol() const
{
    return m_tuning->selectedDisplayID() ? QStringLiteral("display") : QStringLiteral("rectangle.stack");
}

QString DisplayTuningPanelModel::scopeText() const
{
    return m_tuning->selectedDisplayID() ? QStringLiteral("Only this display") : QStringLiteral("Every connected display");
}

void DisplayTuningPanelModel::selectTarget(const QString &id)
{
    m_tuning->selectTarget(id);
    // A choice that changed nothing still shows the entry the model holds.
    emit targetsChanged();
}

void DisplayTuningPanelModel::refreshTargets()
{
    emit targetsChanged();
}

RedModeLook DisplayTuningPanelModel::redLook() const
{
    return redModeLook(m_tuning->noBlueModeEnabled(), m_tuning->redModeIntensity(), m_palette);
}

double DisplayTuningPanelModel::redSliderValue() const
{
    return redLook().sliderValue;
}

QString DisplayTuningPanelModel::redValueText() const
{
    return redLook().valueText;
}

QColor DisplayTuningPanelModel::redValueColor() const
{
    return redLook().valueColor;
}

QString DisplayTuningPanelModel::redAccessibleValue() const
{
    return redLook().accessibleValue;
}

void DisplayTuningPanelModel::moveRed(double value)
{
    m_redCoalescer.submit(clamp01(value));
}

void DisplayTuningPanelModel::setRedDragging(bool dragging)
{
    m_redCoalescer.setDragging(dragging);
}

} // namespace qv
