#include "display/PwmDimmingActs.h"

#include "display/DisplayTuning.h"
#include "platform/Displays.h"
#include "platform/Platform.h"

#include <algorithm>

namespace qv {

PwmDimmingActs::PwmDimmingActs(DisplayTuning &tuning, QObject *parent)
    : QObject(parent), m_tuning(tuning), m_acts(of(tuning))
{
    for (auto signal : {&DisplayTuning::enabledChanged, &DisplayTuning::brightnessChanged})
        connect(&tuning, signal, this, &PwmDimmingActs::check);
    // A back-end that hears later whether a screen took its formula (a compositor's answer)
    // says so.
    if (auto *displays = dynamic_cast<QObject *>(platform().displays)) {
        if (displays->metaObject()->indexOfSignal("transferFormulaNoteChanged()") >= 0)
            connect(displays, SIGNAL(transferFormulaNoteChanged()), this, SIGNAL(formulaNoteChanged()));
    }
    connect(this, &PwmDimmingActs::formulaNoteChanged, this, &PwmDimmingActs::check);
}

void PwmDimmingActs::check()
{
    if (of(m_tuning) == m_acts)
        return;
    m_acts = !m_acts;
    emit changed();
}

bool PwmDimmingActs::of(const DisplayTuning &tuning)
{
    return tuning.enabled() && tuning.brightness() < 1.0 && aScreenTakesFormula();
}

bool PwmDimmingActs::aScreenTakesFormula()
{
    Displays *displays = platform().displays;
    if (!displays)
        return false;
    const QList<DisplayId> active = displays->activeDisplays();
    return std::any_of(active.cbegin(), active.cend(),
                       [displays](DisplayId display) { return displays->takesTransferFormula(display); });
}

} // namespace qv
