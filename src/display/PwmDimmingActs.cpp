#include "display/PwmDimmingActs.h"

#include "display/DisplayTuning.h"

namespace qv {

PwmDimmingActs::PwmDimmingActs(DisplayTuning &tuning, QObject *parent)
    : QObject(parent), m_tuning(tuning), m_acts(of(tuning))
{
    for (auto signal : {&DisplayTuning::enabledChanged, &DisplayTuning::brightnessChanged})
        connect(&tuning, signal, this, [this] {
            if (of(m_tuning) == m_acts)
                return;
            m_acts = !m_acts;
            emit changed();
        });
}

bool PwmDimmingActs::of(const DisplayTuning &tuning)
{
    return tuning.enabled() && tuning.brightness() < 1.0;
}

} // namespace qv
