#include "pages/display_comfort/DisplayComfortPageModel.h"

#include "comfort/PresetManager.h"
#include "design/Theme.h"
#include "display/DisplayTuning.h"
#include "pages/display_comfort/DisplayComfortGuideStep.h"

namespace qv {

DisplayComfortPageModel::DisplayComfortPageModel(QObject *parent)
    : DisplayComfortPageModel(DisplayTuning::shared(), PresetManager::shared(), parent)
{
}

DisplayComfortPageModel::DisplayComfortPageModel(DisplayTuning &tuning, PresetManager &presets, QObject *parent)
    : QObject(parent),
      m_tuning(tuning),
      m_presets(presets),
      m_tour(displayComfortGuide::tourSteps(), displayComfortGuide::kCompletedKey, displayComfortGuide::kAnchorPrefix)
{
    connect(&m_tuning, &DisplayTuning::enabledChanged, this, [this] {
        emit comfortTuningEnabledChanged();
        emit stateColorChanged();
    });
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &DisplayComfortPageModel::stateColorChanged);
}

// The page goes with the tour open: it closes without counting as finished.
DisplayComfortPageModel::~DisplayComfortPageModel() = default;

bool DisplayComfortPageModel::comfortTuningEnabled() const
{
    return m_tuning.enabled();
}

QString DisplayComfortPageModel::stateText() const
{
    return comfortTuningEnabled() ? QStringLiteral("On") : QStringLiteral("Off");
}

QColor DisplayComfortPageModel::stateColor() const
{
    return comfortTuningEnabled() ? Theme::shared().accent() : Theme::shared().textSecondary();
}

void DisplayComfortPageModel::setComfortTuningEnabled(bool on)
{
    if (!on) {
        if (const auto saved = m_presets.activeSavedProfileID()) {
            m_lastEnabledSavedProfileID = *saved;
            emit rememberedChanged();
        } else if (m_presets.activePreset() != ComfortPreset::neutral) {
            m_lastEnabledPreset = m_presets.activePreset();
            m_lastEnabledSavedProfileID.reset();
            emit rememberedChanged();
        }
        m_presets.applyPreset(ComfortPreset::neutral, true);
        return;
    }
    // A selection is active (tuning was turned off elsewhere): turn tuning back on only.
    if (m_presets.activePreset() != ComfortPreset::neutral || m_presets.activeSavedProfileID()) {
        m_tuning.setEnabled(true);
        return;
    }
    if (m_lastEnabledSavedProfileID) {
        if (const auto profile = m_presets.savedProfile(*m_lastEnabledSavedProfileID)) {
            m_presets.applySavedProfile(*profile, true);
            return;
        }
    }
    m_presets.applyPreset(m_lastEnabledPreset, true);
}

} // namespace qv
